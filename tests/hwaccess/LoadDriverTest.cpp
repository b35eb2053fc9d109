// The loader's steps against a recording Windows host (every call and its arguments, in
// order), and against the in-process host on a virtual board.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "diag/ProcessState.h"
#include "host/DriverHost.h"
#include "hwaccess/DriverProtocol.h"
#include "hwaccess/InProcessDriverHost.h"
#include "hwaccess/LoadDriver.h"
#include "hwaccess/OsVersion.h"
#include "hwaccess/ReadWrite.h"
#include "sim/VirtualBoard.h"

namespace {

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

// A Windows system as the loader sees it: a file system of driver files, a service manager,
// and a kernel where a started OrvDrv101 service makes "\\.\OrvDrv101" open-able.
class TRecordingHost : public host::TDriverHost {
 public:
  std::vector<std::string> Calls;
  std::vector<std::string> Dialogs;
  std::map<std::string, std::vector<std::uint8_t>> Files;
  std::map<std::string, std::string> Services;  // name -> binary path
  bool DriverRunning = false;
  std::string SystemDir = "C:\\Windows\\system32";
  std::string WindowsDir = "C:\\Windows";
  // Faults.
  bool ManagerFails = false;
  std::uint32_t CreateServiceError = 0;  // besides the service-exists error
  std::uint32_t ProbeError = 0;          // a probe open failing with this instead
  bool CreateFileFails = false;          // creating (CREATE_ALWAYS) fails
  std::uint32_t ShortWriteBy = 0;
  bool StartFails = false;

  std::string SystemDirectory() override { return SystemDir; }
  std::string WindowsDirectory() override { return WindowsDir; }

  host::DeviceHandle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                                 std::uint32_t disposition, std::uint32_t flags) override {
    Calls.push_back("CreateFileA " + path + " " + Hex(access) + " " + Hex(share) + " " +
                    Hex(disposition) + " " + Hex(flags));
    if (path.rfind("\\\\.\\", 0) == 0) {
      const bool open = path == "\\\\.\\OrvDrv101" ? DriverRunning : path.size() > 4;
      if (!open) return Fail<host::DeviceHandle>(host::kErrorFileNotFound, host::kInvalidDeviceHandle);
      return NewHandle(path);
    }
    if (disposition == host::kCreateAlways) {
      if (CreateFileFails) return Fail<host::DeviceHandle>(5, host::kInvalidDeviceHandle);
      Files[path].clear();
      return NewHandle(path);
    }
    if (ProbeError != 0) return Fail<host::DeviceHandle>(ProbeError, host::kInvalidDeviceHandle);
    if (Files.count(path) == 0) {
      return Fail<host::DeviceHandle>(host::kErrorFileNotFound, host::kInvalidDeviceHandle);
    }
    return NewHandle(path);
  }
  bool WriteFile(host::DeviceHandle file, const void* data, std::uint32_t length,
                 std::uint32_t& written) override {
    Calls.push_back("WriteFile " + Hex(length));
    written = length - ShortWriteBy;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    Files[m_Handles.at(file)].assign(bytes, bytes + written);
    return true;
  }
  bool CloseHandle(host::DeviceHandle handle) override {
    Calls.push_back("CloseHandle " + m_Handles.at(handle));
    m_Handles.erase(handle);
    return true;
  }
  host::ServiceHandle OpenSCManagerA(std::uint32_t access) override {
    Calls.push_back("OpenSCManagerA " + Hex(access));
    if (ManagerFails) return Fail<host::ServiceHandle>(5, host::kNullServiceHandle);
    return NewService("manager");
  }
  host::ServiceHandle CreateServiceA(host::ServiceHandle, const std::string& name,
                                     const std::string& display, std::uint32_t access,
                                     std::uint32_t type, std::uint32_t start,
                                     std::uint32_t errorControl, const std::string& binary) override {
    Calls.push_back("CreateServiceA " + name + " " + display + " " + Hex(access) + " " + Hex(type) +
                    " " + Hex(start) + " " + Hex(errorControl) + " " + binary);
    if (CreateServiceError != 0) return Fail<host::ServiceHandle>(CreateServiceError, 0);
    if (Services.count(name) != 0) return Fail<host::ServiceHandle>(host::kErrorServiceExists, 0);
    Services[name] = binary;
    return NewService(name);
  }
  host::ServiceHandle OpenServiceA(host::ServiceHandle, const std::string& name,
                                   std::uint32_t access) override {
    Calls.push_back("OpenServiceA " + name + " " + Hex(access));
    if (Services.count(name) == 0) return Fail<host::ServiceHandle>(host::kErrorServiceDoesNotExist, 0);
    return NewService(name);
  }
  bool StartServiceA(host::ServiceHandle service) override {
    Calls.push_back("StartServiceA " + m_Services.at(service));
    if (DriverRunning) return Fail<bool>(host::kErrorServiceAlreadyRunning, false);
    if (StartFails) return Fail<bool>(2, false);
    DriverRunning = true;
    return true;
  }
  bool ControlService(host::ServiceHandle service, std::uint32_t control) override {
    Calls.push_back("ControlService " + m_Services.at(service) + " " + Hex(control));
    DriverRunning = false;
    return true;
  }
  bool DeleteService(host::ServiceHandle service) override {
    Calls.push_back("DeleteService " + m_Services.at(service));
    Services.erase(m_Services.at(service));
    return true;
  }
  bool CloseServiceHandle(host::ServiceHandle handle) override {
    Calls.push_back("CloseServiceHandle " + m_Services.at(handle));
    m_Services.erase(handle);
    return true;
  }
  std::uint32_t GetLastError() override { return m_LastError; }
  void ShowErrorDialog(const std::string& text) override { Dialogs.push_back(text); }

  std::size_t OpenHandles() const { return m_Handles.size() + m_Services.size(); }

 private:
  template <typename T>
  T Fail(std::uint32_t error, T value) {
    m_LastError = error;
    return value;
  }
  host::DeviceHandle NewHandle(const std::string& what) {
    m_Handles[m_Next] = what;
    return m_Next++;
  }
  host::ServiceHandle NewService(const std::string& what) {
    m_Services[m_Next] = what;
    return m_Next++;
  }
  std::map<host::DeviceHandle, std::string> m_Handles;
  std::map<host::ServiceHandle, std::string> m_Services;
  std::intptr_t m_Next = 0x40;
  std::uint32_t m_LastError = 0;
};

const std::vector<std::uint8_t> kImage = {0x4D, 0x5A, 0x90, 0x00, 0x03};

TRwDrvData ImageFor(std::uint32_t flags, bool native, const std::vector<std::uint8_t>& bytes) {
  TRwDrvData data = TRwDrvData::Choose(flags, native);
  data.Image = bytes.data();
  data.Length = static_cast<std::uint32_t>(bytes.size());
  return data;
}

const char kSysWow[] = "C:\\Windows\\SysWOW64\\Drivers\\OrvDrv101.sys";
const char kDevice[] = "\\\\.\\OrvDrv101";

}  // namespace

TEST(LoadDriver, FirstRunOn64BitWindowsWritesTheX64ImageUnderSysWow64AndRegistersIt) {
  TRecordingHost host;
  TLoadDriver loader(false, false, false, host, 0xC1, false, ImageFor(0xC1, false, kImage));
  loader.Load();
  const std::vector<std::string> expected = {
      std::string("CreateFileA ") + kSysWow + " 80000000 0 3 80",
      std::string("CreateFileA ") + kSysWow + " C0000000 3 2 80",
      "WriteFile 5",
      std::string("CloseHandle ") + kSysWow,
      std::string("CreateFileA ") + kDevice + " C0000000 3 3 80",
      "OpenSCManagerA F003F",
      std::string("CreateServiceA OrvDrv101 OrvDrv101 F01FF 1 3 1 ") + kSysWow,
      "StartServiceA OrvDrv101",
      "CloseServiceHandle OrvDrv101",
      "CloseServiceHandle manager",
      std::string("CreateFileA ") + kDevice + " C0000000 3 3 80",
  };
  EXPECT_EQ(host.Calls, expected);
  EXPECT_EQ(host.Files[kSysWow], kImage);
  EXPECT_EQ(loader.Image.Kind, TRwDrvData::TKind::X64);
  EXPECT_NE(loader.DeviceHandle(), host::kInvalidDeviceHandle);
  EXPECT_TRUE(host.Dialogs.empty());
  EXPECT_EQ(loader.FailureDetail(), "");
  EXPECT_EQ(host.OpenHandles(), 1u);  // only the device handle the loader keeps
}

TEST(LoadDriver, AnExistingDriverFileIsKeptUnlessEveryRunRewritesIt) {
  const std::string file = "C:\\Windows\\system32\\Drivers\\OrvDrv101.sys";
  TRecordingHost host;
  host.Files[file] = {1, 2, 3};
  {
    TLoadDriver loader(false, false, false, host, 0x4C0, true, ImageFor(0x4C0, true, kImage));
    loader.Load();
    EXPECT_EQ(host.Calls.at(0), "CreateFileA " + file + " 80000000 0 3 80");
    EXPECT_EQ(host.Calls.at(1), "CloseHandle " + file);
    EXPECT_EQ(host.Files[file], (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_NE(loader.DeviceHandle(), host::kInvalidDeviceHandle);
  }
  // A probe that fails for another reason than a missing file writes nothing either.
  host.Files.clear();
  host.ProbeError = 5;
  host.Calls.clear();
  {
    TLoadDriver loader(false, false, false, host, 0x4C0, true, ImageFor(0x4C0, true, kImage));
    loader.Load();
    EXPECT_EQ(host.Files.count(file), 0u);
    EXPECT_EQ(host.Calls.at(1), std::string("CreateFileA ") + kDevice + " C0000000 3 3 80");
  }
  // AlwaysWriteImage: no probe, the file is replaced on every load.
  host.Files[file] = {9, 9};
  for (int run = 0; run < 2; ++run) {
    host.Calls.clear();
    TLoadDriver loader(true, false, false, host, 0x4C0, true, ImageFor(0x4C0, true, kImage));
    loader.Load();
    EXPECT_EQ(host.Calls.at(0), "CreateFileA " + file + " C0000000 3 2 80");
    EXPECT_EQ(host.Calls.at(1), "WriteFile 5");
    EXPECT_EQ(host.Files[file], kImage);
    host.Files[file] = {9, 9};
  }
}

TEST(LoadDriver, ASecondRunStartsTheRunningServiceAgainAndReopensTheDevice) {
  TRecordingHost host;
  host.Files[kSysWow] = kImage;
  host.Services["OrvDrv101"] = kSysWow;
  host.DriverRunning = true;
  TLoadDriver loader(false, false, false, host, 0xC1, false, ImageFor(0xC1, false, kImage));
  loader.Load();
  const std::vector<std::string> expected = {
      std::string("CreateFileA ") + kSysWow + " 80000000 0 3 80",
      std::string("CloseHandle ") + kSysWow,
      std::string("CreateFileA ") + kDevice + " C0000000 3 3 80",
      std::string("CloseHandle ") + kDevice,
      "OpenSCManagerA F003F",
      "OpenServiceA OrvDrv101 F01FF",
      "StartServiceA OrvDrv101",
      "CloseServiceHandle OrvDrv101",
      "CloseServiceHandle manager",
      std::string("CreateFileA ") + kDevice + " C0000000 3 3 80",
  };
  EXPECT_EQ(host.Calls, expected);
  EXPECT_NE(loader.DeviceHandle(), host::kInvalidDeviceHandle);
  EXPECT_TRUE(host.Dialogs.empty());

  // Registered by an earlier run but stopped: creation reports that the service exists,
  // the existing one is opened and started.
  host.DriverRunning = false;
  host.Calls.clear();
  TLoadDriver again(false, false, false, host, 0xC1, false, ImageFor(0xC1, false, kImage));
  again.Load();
  const std::vector<std::string> tail(host.Calls.begin() + 3, host.Calls.end());
  const std::vector<std::string> expectedTail = {
      "OpenSCManagerA F003F",
      std::string("CreateServiceA OrvDrv101 OrvDrv101 F01FF 1 3 1 ") + kSysWow,
      "OpenServiceA OrvDrv101 F01FF",
      "StartServiceA OrvDrv101",
      "CloseServiceHandle OrvDrv101",
      "CloseServiceHandle manager",
      std::string("CreateFileA ") + kDevice + " C0000000 3 3 80",
  };
  EXPECT_EQ(tail, expectedTail);
  EXPECT_NE(again.DeviceHandle(), host::kInvalidDeviceHandle);
}

TEST(LoadDriver, FailuresEndInTheDialogOnceOrSilentlyWhereTheFileCannotBeWritten) {
  // No service manager.
  {
    TRecordingHost host;
    host.ManagerFails = true;
    TLoadDriver loader(false, false, false, host, 0x4C0, true, TRwDrvData{});
    loader.Load();
    EXPECT_EQ(loader.DeviceHandle(), host::kInvalidDeviceHandle);
    EXPECT_EQ(host.Dialogs, std::vector<std::string>{kDriverLoadError});
    EXPECT_NE(loader.FailureDetail().find("OpenSCManagerA: error 5"), std::string::npos);
    EXPECT_EQ(host.OpenHandles(), 0u);
  }
  // Creation fails for another reason: the manager is closed, nothing is opened or started.
  {
    TRecordingHost host;
    host.CreateServiceError = 1078;
    TLoadDriver loader(false, false, false, host, 0x4C0, true, TRwDrvData{});
    loader.Load();
    EXPECT_EQ(host.Calls.back(), "CloseServiceHandle manager");
    EXPECT_EQ(host.Dialogs.size(), 1u);
    EXPECT_EQ(host.OpenHandles(), 0u);
  }
  // The service starts but the device never appears.
  {
    TRecordingHost host;
    host.StartFails = true;
    TLoadDriver loader(false, false, false, host, 0x4C0, true, TRwDrvData{});
    loader.Load();
    EXPECT_EQ(loader.DeviceHandle(), host::kInvalidDeviceHandle);
    EXPECT_EQ(host.Dialogs.size(), 1u);
    EXPECT_NE(loader.FailureDetail().find("StartServiceA OrvDrv101: error 2"), std::string::npos);
  }
  // The image cannot be written, or is written short: no driver and no dialog.
  for (int fault = 0; fault < 2; ++fault) {
    TRecordingHost host;
    host.CreateFileFails = fault == 0;
    host.ShortWriteBy = fault == 1 ? 1 : 0;
    TLoadDriver loader(false, false, false, host, 0x4C0, true, ImageFor(0x4C0, true, kImage));
    loader.Load();
    EXPECT_EQ(loader.DeviceHandle(), host::kInvalidDeviceHandle);
    EXPECT_TRUE(host.Dialogs.empty());
    EXPECT_EQ(host.Services.size(), 0u);
    EXPECT_FALSE(loader.FailureDetail().empty());
  }
  // Below class 0x10 the host is not even asked.
  for (std::uint32_t flags : {0u, 0x1u, 0xFu}) {
    TRecordingHost host;
    TLoadDriver loader(false, false, false, host, flags, true, ImageFor(flags, true, kImage));
    loader.Load();
    EXPECT_TRUE(host.Calls.empty());
    EXPECT_TRUE(host.Dialogs.empty());
    EXPECT_EQ(loader.DeviceHandle(), host::kInvalidDeviceHandle);
  }
}

TEST(LoadDriver, NoFittingImageWritesNothingButUsesWhatIsRegistered) {
  // A 64-bit Windows that is neither x64 nor Itanium, 32-bit process: no image.
  TRecordingHost host;
  TLoadDriver loader(false, false, false, host, 0xC0, false, TRwDrvData::Choose(0xC0, false));
  EXPECT_EQ(loader.Image.Kind, TRwDrvData::TKind::None);
  loader.Load();
  for (const auto& call : host.Calls) EXPECT_EQ(call.find("WriteFile"), std::string::npos) << call;
  EXPECT_TRUE(host.Files.empty());
  // The service is still created and started; this host's kernel has no file check.
  EXPECT_NE(loader.DeviceHandle(), host::kInvalidDeviceHandle);
}

TEST(LoadDriver, Windows9xLoadsTheDynamicDriverThroughItsDevicePathOnly) {
  TRecordingHost host;
  host.SystemDir = "C:\\WINDOWS\\SYSTEM";
  TLoadDriver loader(false, true, true, host, 0x10, true, ImageFor(0x10, true, kImage));
  loader.Load();
  const std::vector<std::string> expected = {
      "CreateFileA C:\\WINDOWS\\SYSTEM\\OrvDrv101.vxd 80000000 0 3 80",
      "CreateFileA C:\\WINDOWS\\SYSTEM\\OrvDrv101.vxd C0000000 3 2 80",
      "WriteFile 5",
      "CloseHandle C:\\WINDOWS\\SYSTEM\\OrvDrv101.vxd",
      "CreateFileA \\\\.\\C:\\WINDOWS\\SYSTEM\\OrvDrv101.vxd 0 0 0 4000000",
  };
  EXPECT_EQ(host.Calls, expected);
  EXPECT_EQ(loader.DevicePath(), "\\\\.\\C:\\WINDOWS\\SYSTEM\\OrvDrv101.vxd");
  EXPECT_NE(loader.DeviceHandle(), host::kInvalidDeviceHandle);
}

TEST(LoadDriver, ReleaseClosesTheHandleAndStopsOrDeletesTheServiceAsAsked) {
  TRecordingHost host;
  {
    TLoadDriver loader(false, true, true, host, 0x4C1, true, TRwDrvData{});
    loader.Load();
    host.Calls.clear();
  }
  const std::vector<std::string> expected = {
      std::string("CloseHandle ") + kDevice,
      "OpenSCManagerA F003F",
      "OpenServiceA OrvDrv101 F01FF",
      "ControlService OrvDrv101 1",
      "CloseServiceHandle OrvDrv101",
      "CloseServiceHandle manager",
      "OpenSCManagerA F003F",
      "OpenServiceA OrvDrv101 F01FF",
      "DeleteService OrvDrv101",
      "CloseServiceHandle OrvDrv101",
      "CloseServiceHandle manager",
  };
  EXPECT_EQ(host.Calls, expected);
  EXPECT_FALSE(host.DriverRunning);
  EXPECT_TRUE(host.Services.empty());
  EXPECT_EQ(host.OpenHandles(), 0u);

  // Without the flags only the handle goes; the driver stays loaded for the next run.
  host.Calls.clear();
  { TLoadDriver(false, false, false, host, 0x4C1, true, TRwDrvData{}).Load(); }
  EXPECT_EQ(host.Calls.back(), std::string("CloseHandle ") + kDevice);
  EXPECT_TRUE(host.DriverRunning);
}

// The in-process host on a virtual board: the same steps start the driver in this process.
TEST(LoadDriver, InProcessHostRunsTheServiceStepsOnTheBoard) {
  gavrelo::ResetProcessStateForTests();
  auto board = TVirtualBoard::FromJson(nlohmann::json::parse(R"({"ports": [{"type": "registers", "first": "0x80", "values": "5A"}]})"));
  TInProcessDriverHost host([&](std::string&) -> TMachine* { return board.get(); },
                            TAccessDriver::TBuild::Nt64);
  auto readPort80 = [](host::DeviceHandle handle) {
    PortRequest request{};
    request.Port = 0x80;
    std::uint32_t size = 0;
    const bool ok = host::DeviceIoControl(handle, drv::kReadPortByte, &request, sizeof request,
                                          &request, sizeof request, &size);
    return ok ? static_cast<int>(request.Value & 0xFF) : -1;
  };
  {
    TLoadDriver first(false, false, false, host, 0x4C1, true, TRwDrvData{});
    first.Load();
    ASSERT_NE(first.DeviceHandle(), host::kInvalidDeviceHandle) << first.FailureDetail();
    EXPECT_TRUE(host.ServiceRunning("OrvDrv101"));
    EXPECT_EQ(host.ServiceBinaryPath("OrvDrv101"), "\\Drivers\\OrvDrv101.sys");
    EXPECT_EQ(readPort80(first.DeviceHandle()), 90);
    // A second loader finds the driver running; its start is refused as "already running".
    TLoadDriver second(false, false, false, host, 0x4C1, true, TRwDrvData{});
    second.Load();
    EXPECT_NE(second.DeviceHandle(), host::kInvalidDeviceHandle);
    EXPECT_EQ(readPort80(second.DeviceHandle()), 90);
  }
  EXPECT_TRUE(host.ServiceRunning("OrvDrv101"));  // released without stop: still loaded
  {
    TLoadDriver stopping(false, true, false, host, 0x4C1, true, TRwDrvData{});
    stopping.Load();
    EXPECT_NE(stopping.DeviceHandle(), host::kInvalidDeviceHandle);
  }
  EXPECT_FALSE(host.ServiceRunning("OrvDrv101"));
  EXPECT_EQ(host::OpenDevice(kDevice), host::kInvalidDeviceHandle);
  EXPECT_EQ(host.ServiceBinaryPath("OrvDrv101"), "\\Drivers\\OrvDrv101.sys");  // still registered
  {
    TLoadDriver removing(false, true, true, host, 0x4C1, true, TRwDrvData{});
    removing.Load();  // service exists: opened and started again
    EXPECT_EQ(readPort80(removing.DeviceHandle()), 90);
  }
  EXPECT_EQ(host.ServiceBinaryPath("OrvDrv101"), "");

  // Windows 9x: the driver lives exactly as long as the delete-on-close handle.
  {
    TLoadDriver dynamic(false, false, false, host, 0x10, true, TRwDrvData{});
    dynamic.Load();
    ASSERT_NE(dynamic.DeviceHandle(), host::kInvalidDeviceHandle);
    EXPECT_EQ(dynamic.DevicePath(), "\\\\.\\\\OrvDrv101.vxd");
    EXPECT_EQ(readPort80(dynamic.DeviceHandle()), 90);
    EXPECT_FALSE(host.ServiceRunning("OrvDrv101"));
  }
  EXPECT_EQ(host::OpenDevice("\\\\.\\\\OrvDrv101.vxd"), host::kInvalidDeviceHandle);
}

TEST(LoadDriver, InProcessStartFailureKeepsTheBackEndsReason) {
  TInProcessDriverHost host(
      [](std::string& error) -> TMachine* {
        error = "/dev/mem: Permission denied";
        return nullptr;
      },
      TAccessDriver::TBuild::Nt64);
  TLoadDriver loader(false, false, false, host, 0x4C1, true, TRwDrvData{});
  loader.Load();
  EXPECT_EQ(loader.DeviceHandle(), host::kInvalidDeviceHandle);
  EXPECT_EQ(host.StartFailure(), "/dev/mem: Permission denied");
  EXPECT_NE(loader.FailureDetail().find("StartServiceA OrvDrv101: error 31"), std::string::npos)
      << loader.FailureDetail();
  EXPECT_FALSE(host.ServiceRunning("OrvDrv101"));
}

// The process's loader on an installed board: the access service works through it, and a
// reset of process state releases it before the board's driver goes.
TEST(LoadDriver, ProcessLoaderOnAnInstalledBoard) {
  gavrelo::ResetProcessStateForTests();
  TVirtualBoard::Install(TVirtualBoard::FromJson(nlohmann::json::parse(
      R"({"ports": [{"type": "registers", "first": "0x80", "values": "11"}], "os": {"platform": 2, "major": 6, "minor": 1, "architecture": 0}})")));
  TLoadDriver& loader = TLoadDriver::Instance(false, false, false);
  EXPECT_NE(loader.DeviceHandle(), host::kInvalidDeviceHandle);
  EXPECT_EQ(loader.Image.Kind, TRwDrvData::TKind::Nt32);
  EXPECT_EQ(&TLoadDriver::Instance(true, true, true), &loader);
  EXPECT_EQ(TReadWrite::Instance().ReadIoByte(0x80), 17);
  gavrelo::ResetProcessStateForTests();
  EXPECT_EQ(host::OpenDevice(kDevice), host::kInvalidDeviceHandle);
}
