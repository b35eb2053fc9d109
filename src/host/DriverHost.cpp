#include "host/DriverHost.h"

#ifdef _WIN32

#include <windows.h>

#include "host/MessageDialog.h"

namespace host {
namespace {

// Path buffers of the driver directories: MAX_PATH characters, as the loader's own.
std::string DirectoryOf(UINT (WINAPI* query)(LPSTR, UINT)) {
  char buffer[MAX_PATH] = {};
  const UINT length = query(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  return std::string(buffer, length);
}

HANDLE AsHandle(DeviceHandle handle) { return reinterpret_cast<HANDLE>(handle); }
SC_HANDLE AsService(ServiceHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }
ServiceHandle FromService(SC_HANDLE handle) { return reinterpret_cast<ServiceHandle>(handle); }

class TWindowsDriverHost final : public TDriverHost {
 public:
  std::string SystemDirectory() override { return DirectoryOf(&::GetSystemDirectoryA); }
  std::string WindowsDirectory() override { return DirectoryOf(&::GetWindowsDirectoryA); }

  DeviceHandle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                           std::uint32_t disposition, std::uint32_t flagsAndAttributes) override {
    HANDLE handle = ::CreateFileA(path.c_str(), access, share, nullptr, disposition,
                                  flagsAndAttributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return kInvalidDeviceHandle;
    return reinterpret_cast<DeviceHandle>(handle);
  }

  bool WriteFile(DeviceHandle file, const void* data, std::uint32_t length,
                 std::uint32_t& written) override {
    DWORD count = 0;
    const BOOL ok = ::WriteFile(AsHandle(file), data, length, &count, nullptr);
    written = count;
    return ok != FALSE;
  }

  bool CloseHandle(DeviceHandle handle) override { return ::CloseHandle(AsHandle(handle)) != FALSE; }

  ServiceHandle OpenSCManagerA(std::uint32_t access) override {
    return FromService(::OpenSCManagerA(nullptr, nullptr, access));
  }

  ServiceHandle CreateServiceA(ServiceHandle manager, const std::string& name,
                               const std::string& displayName, std::uint32_t access,
                               std::uint32_t serviceType, std::uint32_t startType,
                               std::uint32_t errorControl, const std::string& binaryPath) override {
    return FromService(::CreateServiceA(AsService(manager), name.c_str(), displayName.c_str(),
                                        access, serviceType, startType, errorControl,
                                        binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr,
                                        nullptr));
  }

  ServiceHandle OpenServiceA(ServiceHandle manager, const std::string& name,
                             std::uint32_t access) override {
    return FromService(::OpenServiceA(AsService(manager), name.c_str(), access));
  }

  bool StartServiceA(ServiceHandle service) override {
    return ::StartServiceA(AsService(service), 0, nullptr) != FALSE;
  }

  bool ControlService(ServiceHandle service, std::uint32_t control) override {
    SERVICE_STATUS status = {};
    return ::ControlService(AsService(service), control, &status) != FALSE;
  }

  bool DeleteService(ServiceHandle service) override {
    return ::DeleteService(AsService(service)) != FALSE;
  }

  bool CloseServiceHandle(ServiceHandle handle) override {
    return ::CloseServiceHandle(AsService(handle)) != FALSE;
  }

  std::uint32_t GetLastError() override { return ::GetLastError(); }

  void ShowErrorDialog(const std::string& text) override { host::ShowErrorDialog(text); }
};

}  // namespace

TDriverHost* SystemDriverHost() {
  static TDriverHost* host = new TWindowsDriverHost();  // lives until the process ends
  return host;
}

bool RunsUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace host

#else

namespace host {

TDriverHost* SystemDriverHost() { return nullptr; }

bool RunsUnderWine() { return false; }

}  // namespace host

#endif
