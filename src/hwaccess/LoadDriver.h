#pragma once
// TLoadDriver: places, registers, starts and opens the access driver OrvDrv101 for the
// access service, and tells the user once when that fails.
//
// The steps are those of a kernel-driver loader on Windows, run against the loader's host
// facilities (host/DriverHost.h):
//   - an OS class below 0x10: no driver, no message;
//   - the driver file (NT: <system>\Drivers\OrvDrv101.sys, or <windows>\SysWOW64\Drivers
//     under the 32-bit emulation layer; 9x: <system>\OrvDrv101.vxd) is written from the
//     image when it is missing, or every time with AlwaysWriteImage; a file that exists is
//     never replaced otherwise. A failed write ends loading without a message;
//   - 9x: the dynamic driver is loaded by opening its device path with delete-on-close;
//   - NT: when "\\.\OrvDrv101" opens, the driver runs already: the existing service is
//     started again (a harmless no-op) and the device reopened; otherwise the service is
//     created (or, when it exists, opened), started, and the device opened;
//   - an invalid handle at the end shows kDriverLoadError once; with /DEBUG the console
//     also logs the step that failed, its error code and, for the in-process driver, why
//     the back end could not be opened.
//
// Which host the process's loader uses, and the back end its driver runs on (Machine()),
// is chosen once per process:
//   1. the virtual board a test installed (TVirtualBoard::Install, sim/VirtualBoard.h);
//   2. the board file named by the environment variable GAVRELO_BOARD (gavreloctl --board
//      FILE sets it); GAVRELO_TRACE=FILE then makes the board write its access trace to
//      FILE as JSON lines;
//   3. otherwise the system's own driver host where the build has one (Windows), else the
//      Linux back end (host/LinuxMachine.h).
// For 1, 2 and the Linux back end the driver runs in this process behind the in-process
// host (hwaccess/InProcessDriverHost.h); it behaves as the x64 kernel driver on a 64-bit
// Windows class (architecture bit set), as the 32-bit one otherwise, and as the 9x driver
// on class 0x10. With /DEBUG the loader also warns about kernel Super I/O and
// hardware-monitor drivers, which use the same configuration ports without any lock shared
// with this tool.
//
// Release (the destructor; nothing in the tool releases the process's loader): when the
// handle is valid it is closed and then, on the NT family, the service is stopped if
// StopOnRelease and deleted if DeleteOnRelease. A loader whose loading failed leaves the
// service as it found it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/Device.h"
#include "host/DriverHost.h"
#include "host/Machine.h"
#include "hwaccess/RwDrvData.h"

inline constexpr char kDriverLoadError[] =
    "Driver cannot be loaded, re-install the program may fix the issue, if it happens again, "
    "report the problem with your system configuration as detail as possible.";

class TLoadDriver {
 public:
  // Created on the first call with these flags, loading at once; later calls ignore them.
  static TLoadDriver& Instance(bool alwaysWriteImage, bool stopOnRelease, bool deleteOnRelease);

  // A loader of its own on `host` for an OS of class `osFlags` (TOsVersion::Flags(0xFFFF))
  // with `image`; Load() performs the steps. Instance() is this with the process's host,
  // its OS probe and TRwDrvData::Choose.
  TLoadDriver(bool alwaysWriteImage, bool stopOnRelease, bool deleteOnRelease,
              host::TDriverHost& driverHost, std::uint32_t osFlags, bool nativeProcess,
              TRwDrvData image);
  virtual ~TLoadDriver();
  TLoadDriver(const TLoadDriver&) = delete;
  TLoadDriver& operator=(const TLoadDriver&) = delete;

  void Load();

  host::DeviceHandle DeviceHandle() const { return Handle; }
  const std::string& DriverFilePath() const { return m_DriverFilePath; }
  const std::string& DevicePath() const { return m_DevicePath; }
  // The step that failed and its error code ("" when loading succeeded or did not run).
  const std::string& FailureDetail() const { return m_FailureDetail; }

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
  static void ResetInstance();
  bool PlaceImage();
  bool WriteImage();
  host::DeviceHandle OpenDeviceNt();
  host::DeviceHandle OpenDevicePath();
  void Failed(const std::string& step);
  // Opens the service manager and the service OrvDrv101, hands the service to `action`,
  // and closes both; nothing happens when either cannot be opened.
  void OnExistingService(const std::function<void(host::ServiceHandle)>& action);

  host::TDriverHost& m_Host;
  std::uint32_t m_OsFlags;
  bool m_NativeProcess;
  std::string m_DriverFilePath;
  std::string m_DevicePath;
  std::string m_FailureDetail;
};
