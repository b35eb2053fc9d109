#pragma once
// TInProcessDriverHost: the loader's Windows facilities for a driver that runs inside this
// process (the Linux build, and any build running on a virtual board).
//
// It keeps a service manager of its own, with the same answers the Windows one gives:
// services are created once (a second CreateServiceA reports the service-exists error
// 1073), opened by name (1060 when there is none), started once (1056 when running) and
// stopped (1062 when not active). Starting the service OrvDrv101 is what loading its
// kernel driver is on Windows: the access driver is started on the machine back end and
// its device registered, so "\\.\OrvDrv101" opens from then on; stopping it takes the
// device away again. The Windows 9x dynamic driver is loaded the way that system does it:
// opening "\\.\<path>\OrvDrv101.vxd" with the delete-on-close flag starts the driver,
// closing that handle unloads it.
//
// The in-process driver is part of the executable and has no file: both directories are
// empty, a driver file is never found (error 2) and cannot be created (error 3), so the
// loader writes nothing (the process loader hands it no driver image).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "host/DriverHost.h"
#include "host/Machine.h"
#include "hwaccess/AccessDriver.h"

class TInProcessDriverHost final : public host::TDriverHost {
 public:
  // Gives the back end the driver runs on, or null with the reason in `error`.
  using TMachineSource = std::function<TMachine*(std::string& error)>;

  // `ntBuild` is the build a started service behaves as (the 9x driver is always the
  // Windows 9x build).
  TInProcessDriverHost(TMachineSource machine, TAccessDriver::TBuild ntBuild);
  ~TInProcessDriverHost() override;  // stops whatever still runs
  TInProcessDriverHost(const TInProcessDriverHost&) = delete;
  TInProcessDriverHost& operator=(const TInProcessDriverHost&) = delete;

  std::string SystemDirectory() override { return ""; }
  std::string WindowsDirectory() override { return ""; }
  host::DeviceHandle CreateFileA(const std::string& path, std::uint32_t access,
                                 std::uint32_t share, std::uint32_t disposition,
                                 std::uint32_t flagsAndAttributes) override;
  bool WriteFile(host::DeviceHandle file, const void* data, std::uint32_t length,
                 std::uint32_t& written) override;
  bool CloseHandle(host::DeviceHandle handle) override;
  host::ServiceHandle OpenSCManagerA(std::uint32_t access) override;
  host::ServiceHandle CreateServiceA(host::ServiceHandle manager, const std::string& name,
                                     const std::string& displayName, std::uint32_t access,
                                     std::uint32_t serviceType, std::uint32_t startType,
                                     std::uint32_t errorControl,
                                     const std::string& binaryPath) override;
  host::ServiceHandle OpenServiceA(host::ServiceHandle manager, const std::string& name,
                                   std::uint32_t access) override;
  bool StartServiceA(host::ServiceHandle service) override;
  bool ControlService(host::ServiceHandle service, std::uint32_t control) override;
  bool DeleteService(host::ServiceHandle service) override;
  bool CloseServiceHandle(host::ServiceHandle handle) override;
  std::uint32_t GetLastError() override { return m_LastError; }
  void ShowErrorDialog(const std::string& text) override;

  // Why the last driver start failed ("" when none did): the back end's own reason.
  const std::string& StartFailure() const { return m_StartFailure; }
  // The binary path a service was registered with ("" when there is no such service).
  std::string ServiceBinaryPath(const std::string& name) const;
  bool ServiceRunning(const std::string& name) const;

 private:
  struct TService {
    std::string BinaryPath;
    bool MarkedForDelete = false;
    std::unique_ptr<TAccessDriver> Driver;  // set while the service runs
  };
  // An open service-manager handle: the manager itself (Service empty) or one service.
  struct TScOpen {
    bool Manager = false;
    std::string Service;
  };

  TService* ServiceOf(host::ServiceHandle handle);
  std::unique_ptr<TAccessDriver> StartDriver(TAccessDriver::TBuild build);
  void Stop(const std::string& name, TService& service);
  bool Fail(std::uint32_t error);

  TMachineSource m_Machine;
  TAccessDriver::TBuild m_NtBuild;
  std::map<std::string, TService> m_Services;
  std::map<host::ServiceHandle, TScOpen> m_ScOpen;
  host::ServiceHandle m_NextScHandle = 0x1000;
  // Windows 9x dynamic loads: the delete-on-close handle and the driver it keeps loaded,
  // registered under the device name `Name`.
  struct TDynamicLoad {
    std::string Name;
    std::unique_ptr<TAccessDriver> Driver;
  };
  std::map<host::DeviceHandle, TDynamicLoad> m_Dynamic;
  std::uint32_t m_LastError = host::kErrorSuccess;
  std::string m_StartFailure;
};
