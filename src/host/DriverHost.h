#pragma once
// The Windows facilities a kernel-driver loader uses, as one interface: the system and
// Windows directories, file and device opening (CreateFileA, WriteFile, CloseHandle,
// GetLastError), the service control manager (OpenSCManagerA, CreateServiceA,
// OpenServiceA, StartServiceA, ControlService, DeleteService, CloseServiceHandle) and the
// error message box.
//
// Member names are the ANSI functions' own names (CreateFileA, not the CreateFile macro of
// <windows.h>), so the interface means the same in every translation unit.
//
// The loader (hwaccess/LoadDriver.h) runs its steps against this interface only, so the
// same steps load the kernel driver on Windows and the in-process driver elsewhere
// (hwaccess/InProcessDriverHost.h). SystemDriverHost() is the operating system's own
// implementation where the build has one.

#include <cstdint>
#include <string>

#include "host/Device.h"

namespace host {

using ServiceHandle = std::intptr_t;
inline constexpr ServiceHandle kNullServiceHandle = 0;

// Windows error codes of file and service calls (kErrorFileNotFound is in host/Device.h).
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorInvalidServiceControl = 1052;
inline constexpr std::uint32_t kErrorServiceMarkedForDelete = 1072;
inline constexpr std::uint32_t kErrorServiceExists = 1073;
inline constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
inline constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
inline constexpr std::uint32_t kErrorServiceNotActive = 1062;

// CreateFileA arguments, with their Windows values.
inline constexpr std::uint32_t kGenericRead = 0x80000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
inline constexpr std::uint32_t kFileShareRead = 0x1;
inline constexpr std::uint32_t kFileShareWrite = 0x2;
inline constexpr std::uint32_t kCreateAlways = 2;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
inline constexpr std::uint32_t kFileFlagDeleteOnClose = 0x04000000;

// Service manager arguments.
inline constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
inline constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
inline constexpr std::uint32_t kServiceKernelDriver = 0x1;
inline constexpr std::uint32_t kServiceDemandStart = 0x3;
inline constexpr std::uint32_t kServiceErrorNormal = 0x1;
inline constexpr std::uint32_t kServiceControlStop = 0x1;

class TDriverHost {
 public:
  virtual ~TDriverHost() = default;

  // GetSystemDirectoryA and GetWindowsDirectoryA ("" when the call fails).
  virtual std::string SystemDirectory() = 0;
  virtual std::string WindowsDirectory() = 0;

  // CreateFileA on a file or a device path ("\\.\NAME"); kInvalidDeviceHandle on failure.
  virtual DeviceHandle CreateFileA(const std::string& path, std::uint32_t access,
                                   std::uint32_t share, std::uint32_t disposition,
                                   std::uint32_t flagsAndAttributes) = 0;
  // One WriteFile call; `written` receives the byte count it reports.
  virtual bool WriteFile(DeviceHandle file, const void* data, std::uint32_t length,
                         std::uint32_t& written) = 0;
  virtual bool CloseHandle(DeviceHandle handle) = 0;

  virtual ServiceHandle OpenSCManagerA(std::uint32_t access) = 0;
  // CreateServiceA with no load-order group, tag, dependencies or account.
  virtual ServiceHandle CreateServiceA(ServiceHandle manager, const std::string& name,
                                       const std::string& displayName, std::uint32_t access,
                                       std::uint32_t serviceType, std::uint32_t startType,
                                       std::uint32_t errorControl,
                                       const std::string& binaryPath) = 0;
  virtual ServiceHandle OpenServiceA(ServiceHandle manager, const std::string& name,
                                     std::uint32_t access) = 0;
  // StartServiceA with no arguments.
  virtual bool StartServiceA(ServiceHandle service) = 0;
  virtual bool ControlService(ServiceHandle service, std::uint32_t control) = 0;
  virtual bool DeleteService(ServiceHandle service) = 0;
  virtual bool CloseServiceHandle(ServiceHandle handle) = 0;

  // The error code of the last failed call above.
  virtual std::uint32_t GetLastError() = 0;

  // A modal message box with the error icon and one OK button.
  virtual void ShowErrorDialog(const std::string& text) = 0;
};

// The operating system's driver facilities; null where the build has none (on Linux the
// access driver runs in-process and never needs a service manager of the system).
TDriverHost* SystemDriverHost();

// Whether this Windows process runs under Wine (its ntdll exports wine_get_version). Wine
// runs a kernel driver in a user process of its own, where the access driver's first port
// instruction faults and ends that process; its device stays named, and a later open of
// it never completes. False on Linux.
bool RunsUnderWine();

}  // namespace host
