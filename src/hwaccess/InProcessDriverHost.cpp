#include "hwaccess/InProcessDriverHost.h"

#include <string_view>

#include "host/MessageDialog.h"
#include "hwaccess/DriverProtocol.h"

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// "\\.\<directory>\OrvDrv101.vxd": the device path of the Windows 9x dynamic driver (file
// names on that system are not case-sensitive).
bool IsDynamicDriverPath(std::string_view path) {
  if (path.substr(0, kDevicePrefix.size()) != kDevicePrefix) return false;
  std::string_view file = path.substr(kDevicePrefix.size());
  if (const auto slash = file.rfind('\\'); slash != std::string_view::npos) {
    file.remove_prefix(slash + 1);
  }
  return EqualsNoCase(file, std::string(drv::kDeviceName) + ".vxd");
}

}  // namespace

TInProcessDriverHost::TInProcessDriverHost(TMachineSource machine, TAccessDriver::TBuild ntBuild)
    : m_Machine(std::move(machine)), m_NtBuild(ntBuild) {}

TInProcessDriverHost::~TInProcessDriverHost() {
  for (auto& [name, service] : m_Services) {
    if (service.Driver) host::UnregisterDevice(name);
  }
  for (auto& [handle, load] : m_Dynamic) host::UnregisterDevice(load.Name);
}

bool TInProcessDriverHost::Fail(std::uint32_t error) {
  m_LastError = error;
  return false;
}

std::unique_ptr<TAccessDriver> TInProcessDriverHost::StartDriver(TAccessDriver::TBuild build) {
  m_StartFailure.clear();
  std::string error;
  TMachine* machine = m_Machine ? m_Machine(error) : nullptr;
  if (machine == nullptr) {
    m_StartFailure = error.empty() ? "no machine back end" : error;
    return nullptr;
  }
  return std::make_unique<TAccessDriver>(*machine, build);
}

host::DeviceHandle TInProcessDriverHost::CreateFileA(const std::string& path, std::uint32_t,
                                                     std::uint32_t, std::uint32_t disposition,
                                                     std::uint32_t flagsAndAttributes) {
  if (path.substr(0, kDevicePrefix.size()) != kDevicePrefix) {
    // No driver directory: nothing to open, nowhere to create.
    m_LastError = disposition == host::kOpenExisting ? host::kErrorFileNotFound
                                                     : host::kErrorPathNotFound;
    return host::kInvalidDeviceHandle;
  }
  const std::string name = path.substr(kDevicePrefix.size());
  if ((flagsAndAttributes & host::kFileFlagDeleteOnClose) != 0 && IsDynamicDriverPath(path)) {
    // Loading the dynamic driver: one load per open, gone with its handle.
    auto driver = StartDriver(TAccessDriver::TBuild::Win9x);
    if (!driver) {
      m_LastError = host::kErrorFileNotFound;
      return host::kInvalidDeviceHandle;
    }
    host::RegisterDevice(name, driver.get());
    const host::DeviceHandle handle = host::OpenDevice(path);
    if (handle == host::kInvalidDeviceHandle) {
      host::UnregisterDevice(name);
      m_LastError = host::LastError();
      return handle;
    }
    m_Dynamic[handle] = TDynamicLoad{name, std::move(driver)};
    return handle;
  }
  const host::DeviceHandle handle = host::OpenDevice(path);
  if (handle == host::kInvalidDeviceHandle) m_LastError = host::LastError();
  return handle;
}

bool TInProcessDriverHost::WriteFile(host::DeviceHandle, const void*, std::uint32_t,
                                     std::uint32_t& written) {
  written = 0;
  return Fail(host::kErrorInvalidHandle);  // no file can be opened for writing here
}

bool TInProcessDriverHost::CloseHandle(host::DeviceHandle handle) {
  auto load = m_Dynamic.find(handle);
  const bool closed = host::CloseDevice(handle);
  if (load != m_Dynamic.end()) {
    host::UnregisterDevice(load->second.Name);
    m_Dynamic.erase(load);
  }
  return closed ? true : Fail(host::LastError());
}

host::ServiceHandle TInProcessDriverHost::OpenSCManagerA(std::uint32_t) {
  const host::ServiceHandle handle = m_NextScHandle;
  m_NextScHandle += 4;
  m_ScOpen[handle] = TScOpen{true, ""};
  return handle;
}

host::ServiceHandle TInProcessDriverHost::CreateServiceA(host::ServiceHandle manager,
                                                         const std::string& name,
                                                         const std::string&, std::uint32_t,
                                                         std::uint32_t, std::uint32_t,
                                                         std::uint32_t,
                                                         const std::string& binaryPath) {
  auto open = m_ScOpen.find(manager);
  if (open == m_ScOpen.end() || !open->second.Manager) {
    Fail(host::kErrorInvalidHandle);
    return host::kNullServiceHandle;
  }
  auto [it, inserted] = m_Services.try_emplace(name);
  if (!inserted) {
    Fail(it->second.MarkedForDelete ? host::kErrorServiceMarkedForDelete
                                    : host::kErrorServiceExists);
    return host::kNullServiceHandle;
  }
  it->second.BinaryPath = binaryPath;
  const host::ServiceHandle handle = m_NextScHandle;
  m_NextScHandle += 4;
  m_ScOpen[handle] = TScOpen{false, name};
  return handle;
}

host::ServiceHandle TInProcessDriverHost::OpenServiceA(host::ServiceHandle manager,
                                                       const std::string& name,
                                                       std::uint32_t) {
  auto open = m_ScOpen.find(manager);
  if (open == m_ScOpen.end() || !open->second.Manager) {
    Fail(host::kErrorInvalidHandle);
    return host::kNullServiceHandle;
  }
  if (m_Services.count(name) == 0) {
    Fail(host::kErrorServiceDoesNotExist);
    return host::kNullServiceHandle;
  }
  const host::ServiceHandle handle = m_NextScHandle;
  m_NextScHandle += 4;
  m_ScOpen[handle] = TScOpen{false, name};
  return handle;
}

TInProcessDriverHost::TService* TInProcessDriverHost::ServiceOf(host::ServiceHandle handle) {
  auto open = m_ScOpen.find(handle);
  if (open == m_ScOpen.end() || open->second.Manager) return nullptr;
  auto service = m_Services.find(open->second.Service);
  return service == m_Services.end() ? nullptr : &service->second;
}

bool TInProcessDriverHost::StartServiceA(host::ServiceHandle handle) {
  TService* service = ServiceOf(handle);
  if (service == nullptr) return Fail(host::kErrorInvalidHandle);
  if (service->Driver) return Fail(host::kErrorServiceAlreadyRunning);
  if (service->MarkedForDelete) return Fail(host::kErrorServiceMarkedForDelete);
  const std::string& name = m_ScOpen[handle].Service;
  // The one driver this executable carries; any other service has no image to run.
  if (name != drv::kDeviceName) return Fail(host::kErrorFileNotFound);
  service->Driver = StartDriver(m_NtBuild);
  if (!service->Driver) return Fail(host::kErrorGenFailure);
  host::RegisterDevice(name, service->Driver.get());
  return true;
}

void TInProcessDriverHost::Stop(const std::string& name, TService& service) {
  host::UnregisterDevice(name);
  service.Driver.reset();
}

bool TInProcessDriverHost::ControlService(host::ServiceHandle handle, std::uint32_t control) {
  TService* service = ServiceOf(handle);
  if (service == nullptr) return Fail(host::kErrorInvalidHandle);
  if (control != host::kServiceControlStop) return Fail(host::kErrorInvalidServiceControl);
  if (!service->Driver) return Fail(host::kErrorServiceNotActive);
  const std::string name = m_ScOpen[handle].Service;
  Stop(name, *service);
  if (service->MarkedForDelete) m_Services.erase(name);
  return true;
}

bool TInProcessDriverHost::DeleteService(host::ServiceHandle handle) {
  TService* service = ServiceOf(handle);
  if (service == nullptr) return Fail(host::kErrorInvalidHandle);
  if (service->MarkedForDelete) return Fail(host::kErrorServiceMarkedForDelete);
  // As on Windows, a running service is only marked: it goes when it is stopped.
  if (service->Driver) {
    service->MarkedForDelete = true;
  } else {
    m_Services.erase(m_ScOpen[handle].Service);
  }
  return true;
}

bool TInProcessDriverHost::CloseServiceHandle(host::ServiceHandle handle) {
  if (m_ScOpen.erase(handle) == 0) return Fail(host::kErrorInvalidHandle);
  return true;
}

void TInProcessDriverHost::ShowErrorDialog(const std::string& text) {
  host::ShowErrorDialog(text);
}

std::string TInProcessDriverHost::ServiceBinaryPath(const std::string& name) const {
  auto it = m_Services.find(name);
  return it == m_Services.end() ? "" : it->second.BinaryPath;
}

bool TInProcessDriverHost::ServiceRunning(const std::string& name) const {
  auto it = m_Services.find(name);
  return it != m_Services.end() && it->second.Driver != nullptr;
}
