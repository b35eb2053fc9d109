// CtlRequireHardwareAccess (CtlCommand.h): the one place where gavreloctl finds out whether
// it can reach the hardware, and why not.

#include <string>

#include "diag/DebugConsole.h"
#ifndef _WIN32
#include "host/LinuxMachine.h"
#endif
#include "host/Process.h"
#include "hwaccess/LoadDriver.h"
#include "hwaccess/ReadWrite.h"
#include "tools/gavreloctl/CtlCommand.h"

namespace {

#ifndef _WIN32
// Under --debug on real hardware, the command's last trace line: every request it put to
// the hardware, by kind. It is how a command shows on a real board that it left a block
// alone (the ICH owner without a GPIO base: no port cycle at all).
void LogLinuxAccesses(int) {
  auto* native = dynamic_cast<TLinuxMachine*>(TLoadDriver::Machine());
  TDebugConsole& console = TDebugConsole::Instance();
  if (native != nullptr && console.Enabled())
    console.LogValue("TLinuxMachine::Accesses", native->AccessSummary(), 9);
}
#endif

}  // namespace

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
  static bool logged = false;
  if (!logged && TDebugConsole::Instance().Enabled()) {
    logged = true;
#ifndef _WIN32
    // Windows reaches the hardware through the kernel driver: no Linux request counts.
    host::AddExitHook(&LogLinuxAccesses);
#endif
  }
}
