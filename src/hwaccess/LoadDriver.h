#pragma once
// TLoadDriver: opens the access driver for the access service.
//
// The driver runs on one machine back end, chosen once per process (Machine()):
//   1. the virtual board a test installed (TVirtualBoard::Install, sim/VirtualBoard.h);
//   2. the board file named by the environment variable GAVRELO_BOARD (gavreloctl --board
//      FILE sets it); GAVRELO_TRACE=FILE then makes the board write its access trace to
//      FILE as JSON lines;
//   3. the Linux back end (host/LinuxMachine.h).
//
// Loading: with an OS class below 0x10 there is no driver and no message. Otherwise the
// driver (hwaccess/AccessDriver.h) is started on the back end as the build the OS class
// calls for, registered as the device OrvDrv101 and opened through "\\.\OrvDrv101". When the
// back end or the device cannot be opened, the loader's error text is shown once and the
// handle stays invalid; with /DEBUG the console also says which interface failed and why.
// With /DEBUG it also warns about kernel Super I/O and hardware-monitor drivers, which use
// the same configuration ports without any lock shared with this tool.

#include <cstdint>
#include <string>
#include <vector>

#include "host/Device.h"
#include "host/Machine.h"
#include "hwaccess/RwDrvData.h"

class TAccessDriver;

inline constexpr char kDriverLoadError[] =
    "Driver cannot be loaded, re-install the program may fix the issue, if it happens again, "
    "report the problem with your system configuration as detail as possible.";

class TLoadDriver {
 public:
  // Created on the first call with these flags, loading at once; later calls ignore them.
  static TLoadDriver& Instance(bool alwaysWriteImage, bool stopOnRelease, bool deleteOnRelease);
  // Closes the handle (nothing in the tool releases the loader).
  virtual ~TLoadDriver();

  host::DeviceHandle DeviceHandle() const { return Handle; }

  bool AlwaysWriteImage;
  bool StopOnRelease;
  bool DeleteOnRelease;
  TRwDrvData Image;
  host::DeviceHandle Handle = host::kInvalidDeviceHandle;

  // The back end (see above), opened on first use; null when it cannot be opened.
  static TMachine* Machine();
  // Why Machine() is null ("board file x.json: ...", "iopl(3): ...; /dev/mem: ...").
  static const std::string& MachineError();

  // Kernel modules that drive Super I/O or hardware-monitor chips, among `loaded`.
  static std::vector<std::string> ConflictingModules(const std::vector<std::string>& loaded);

 private:
  TLoadDriver(bool alwaysWriteImage, bool stopOnRelease, bool deleteOnRelease);
  static void ResetInstance();
  void Load();
  void ReportFailure(const std::string& detail);

  TAccessDriver* m_Driver = nullptr;
};
