// CtlRequireHardwareAccess (CtlCommand.h): the one place where gavreloctl finds out whether
// it can reach the hardware, and why not.

#include <string>

#include "hwaccess/LoadDriver.h"
#include "hwaccess/ReadWrite.h"
#include "tools/gavreloctl/CtlCommand.h"

void CtlRequireHardwareAccess() {
  // The back end first, before the driver loader runs: a board file that cannot be loaded,
  // or a Linux machine whose interfaces cannot be opened, is reported as it is, not as the
  // loader's "re-install the program" text. (Where the system's own driver host loads the
  // driver there is no back end of this process, and no error.)
  if (TLoadDriver::Machine() == nullptr && !TLoadDriver::MachineError().empty())
    throw TCtlFailure("no hardware access: " + TLoadDriver::MachineError());
  if (!TReadWrite::Instance().HasDriver()) {
    const std::string& detail = TLoadDriver::Instance(false, false, false).FailureDetail();
    throw TCtlFailure("the access driver could not be opened" +
                      (detail.empty() ? std::string() : ": " + detail));
  }
}
