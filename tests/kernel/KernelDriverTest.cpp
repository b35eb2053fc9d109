// OrvDrv101.sys under Wine: the loader's steps on the system's own service manager and
// driver directory, and the driver's answers to requests that must fail before any port,
// register or memory is touched. (Wine cannot execute IN, OUT, RDMSR or control-register
// moves; those paths are the shared dispatcher's, tested on the virtual board.)

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "diag/ProcessState.h"
#include "host/DriverHost.h"
#include "hwaccess/DriverImages.h"
#include "hwaccess/DriverProtocol.h"
#include "hwaccess/LoadDriver.h"
#include "hwaccess/RwDrvData.h"

namespace {

constexpr std::uint32_t kWindows10X64 = 0x4C1;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The system's driver host, with every service-manager call and dialog noted.
class TNotingHost : public host::TDriverHost {
 public:
  std::vector<std::string> Calls;
  std::vector<std::string> Dialogs;

  std::string SystemDirectory() override { return m_System.SystemDirectory(); }
  std::string WindowsDirectory() override { return m_System.WindowsDirectory(); }
  host::DeviceHandle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                                 std::uint32_t disposition, std::uint32_t flags) override {
    const host::DeviceHandle handle = m_System.CreateFileA(path, access, share, disposition, flags);
    if (disposition == host::kCreateAlways) Calls.push_back("write " + path);
    return handle;
  }
  bool WriteFile(host::DeviceHandle file, const void* data, std::uint32_t length,
                 std::uint32_t& written) override {
    return m_System.WriteFile(file, data, length, written);
  }
  bool CloseHandle(host::DeviceHandle handle) override { return m_System.CloseHandle(handle); }
  host::ServiceHandle OpenSCManagerA(std::uint32_t access) override {
    return m_System.OpenSCManagerA(access);
  }
  host::ServiceHandle CreateServiceA(host::ServiceHandle manager, const std::string& name,
                                     const std::string& displayName, std::uint32_t access,
                                     std::uint32_t type, std::uint32_t start, std::uint32_t error,
                                     const std::string& binaryPath) override {
    const host::ServiceHandle service =
        m_System.CreateServiceA(manager, name, displayName, access, type, start, error, binaryPath);
    Calls.push_back(service != host::kNullServiceHandle
                        ? "created " + name + " " + binaryPath
                        : "create failed " + std::to_string(m_System.GetLastError()));
    return service;
  }
  host::ServiceHandle OpenServiceA(host::ServiceHandle manager, const std::string& name,
                                   std::uint32_t access) override {
    const host::ServiceHandle service = m_System.OpenServiceA(manager, name, access);
    Calls.push_back(service != host::kNullServiceHandle ? "opened " + name : "open failed");
    return service;
  }
  bool StartServiceA(host::ServiceHandle service) override {
    const bool started = m_System.StartServiceA(service);
    Calls.push_back(started ? "started" : "start failed");
    return started;
  }
  bool ControlService(host::ServiceHandle service, std::uint32_t control) override {
    return m_System.ControlService(service, control);
  }
  bool DeleteService(host::ServiceHandle service) override { return m_System.DeleteService(service); }
  bool CloseServiceHandle(host::ServiceHandle handle) override {
    return m_System.CloseServiceHandle(handle);
  }
  std::uint32_t GetLastError() override { return m_System.GetLastError(); }
  // The real message box too: the test's dialog watch reads and closes it, as nobody
  // would on a headless machine.
  void ShowErrorDialog(const std::string& text) override {
    Dialogs.push_back(text);
    m_System.ShowErrorDialog(text);
  }

 private:
  host::TDriverHost& m_System = *host::SystemDriverHost();
};

// Every test starts and ends with no service OrvDrv101 and no driver file: stopping the
// service unloads the driver, whose unload routine removes its device and link.
class KernelDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_DriverFile = m_Host.SystemDirectory() + "\\Drivers\\OrvDrv101.sys";
    RemoveDriver();
  }
  void TearDown() override { RemoveDriver(); }

  void RemoveDriver() {
    SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    if (SC_HANDLE service = ::OpenServiceA(manager, "OrvDrv101", SERVICE_ALL_ACCESS)) {
      SERVICE_STATUS status = {};
      ::ControlService(service, SERVICE_CONTROL_STOP, &status);
      ::DeleteService(service);
      ::CloseServiceHandle(service);
    }
    ::CloseServiceHandle(manager);
    ::DeleteFileA(m_DriverFile.c_str());
  }

  static TRwDrvData X64Image() {
    TRwDrvData data;
    data.Kind = TRwDrvData::TKind::X64;
    const TDriverImage image = EmbeddedDriverImage(data.Kind);
    data.Image = image.Image;
    data.Length = image.Length;
    return data;
  }

  TNotingHost m_Host;
  std::string m_DriverFile;
};

HANDLE AsHandle(host::DeviceHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// DeviceIoControl's outcome: 0 on success, else the Windows error the driver's status
// became (0xC000000D -> 87 invalid parameter, 0xC0000001 -> 31 general failure).
DWORD Control(HANDLE device, std::uint32_t code, void* buffer, DWORD in, DWORD out) {
  DWORD information = 0;
  if (::DeviceIoControl(device, code, buffer, in, buffer, out, &information, nullptr)) return 0;
  return ::GetLastError();
}

}  // namespace

TEST_F(KernelDriverTest, TheExecutableCarriesBothNtImagesWithTheirExactLengths) {
  const std::pair<TRwDrvData::TKind, std::string> images[] = {
      {TRwDrvData::TKind::X64, "OrvDrv101-x64.sys"},
      {TRwDrvData::TKind::Nt32, "OrvDrv101-x86.sys"},
  };
  for (const auto& [kind, file] : images) {
    const auto built = ReadFile(std::string(GAVRELO_DRIVER_DIR) + "/" + file);
    ASSERT_GT(built.size(), 4096u) << file;
    const TDriverImage image = EmbeddedDriverImage(kind);
    ASSERT_NE(image.Image, nullptr) << file;
    EXPECT_EQ(std::vector<std::uint8_t>(image.Image, image.Image + image.Length), built) << file;
  }
  // The loader's choice: a native 64-bit process on 64-bit Windows takes the x64 image
  // (the 32-bit one could not load into a 64-bit kernel), as does a 32-bit process under
  // the emulation layer; a 32-bit process on 32-bit Windows takes the 32-bit one.
  EXPECT_EQ(TRwDrvData::Choose(kWindows10X64, true, 64).Image, EmbeddedDriverImage(TRwDrvData::TKind::X64).Image);
  EXPECT_EQ(TRwDrvData::Choose(kWindows10X64, false, 32).Image, EmbeddedDriverImage(TRwDrvData::TKind::X64).Image);
  EXPECT_EQ(TRwDrvData::Choose(0x4C0, true, 32).Image, EmbeddedDriverImage(TRwDrvData::TKind::Nt32).Image);
  // No Itanium or Windows 9x image in this build.
  EXPECT_EQ(EmbeddedDriverImage(TRwDrvData::TKind::Itanium).Image, nullptr);
  EXPECT_EQ(EmbeddedDriverImage(TRwDrvData::TKind::Win9x).Length, 0u);
}

// The process's own loader without a board, as every test of the suite that runs the tool
// without one: under Wine it places no driver (the driver's first port instruction would
// end Wine's driver process, and every later run would hang opening its device), so the
// service cannot start and the run goes on without hardware, with the loader's dialog.
TEST_F(KernelDriverTest, UnderWineTheProcessLoaderPlacesNoDriver) {
  ASSERT_TRUE(host::RunsUnderWine());
  ASSERT_EQ(std::getenv("GAVRELO_BOARD"), nullptr);
  TLoadDriver& loader = TLoadDriver::Instance(false, false, false);
  EXPECT_EQ(loader.Image.Image, nullptr);
  EXPECT_EQ(loader.DeviceHandle(), host::kInvalidDeviceHandle);
  EXPECT_EQ(::GetFileAttributesA(m_DriverFile.c_str()), INVALID_FILE_ATTRIBUTES) << m_DriverFile;
  gavrelo::ResetProcessStateForTests();
}

TEST_F(KernelDriverTest, LoaderKeepsAPresentFileCreatesTheServiceAndTellsWhenItCannotStart) {
  // A driver file that is present but no driver: left alone, so the service cannot start.
  const std::string notADriver = "not a driver";
  std::ofstream(m_DriverFile, std::ios::binary) << notADriver;
  {
    TLoadDriver loader(false, false, false, m_Host, kWindows10X64, true, X64Image());
    loader.Load();
    EXPECT_EQ(loader.DeviceHandle(), host::kInvalidDeviceHandle);
    EXPECT_EQ(m_Host.Calls, (std::vector<std::string>{"created OrvDrv101 " + m_DriverFile,
                                                      "start failed"}));
    EXPECT_EQ(m_Host.Dialogs, std::vector<std::string>{kDriverLoadError});
  }
  const auto kept = ReadFile(m_DriverFile);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), notADriver);

  // AlwaysWriteImage rewrites the file; the service registered above is found and started.
  m_Host.Calls.clear();
  m_Host.Dialogs.clear();
  const TRwDrvData image = X64Image();
  TLoadDriver loader(true, false, false, m_Host, kWindows10X64, true, image);
  loader.Load();
  ASSERT_NE(loader.DeviceHandle(), host::kInvalidDeviceHandle);
  EXPECT_EQ(m_Host.Calls, (std::vector<std::string>{"write " + m_DriverFile,
                                                    "create failed 1073", "opened OrvDrv101",
                                                    "started"}));
  EXPECT_TRUE(m_Host.Dialogs.empty());
  EXPECT_EQ(ReadFile(m_DriverFile), std::vector<std::uint8_t>(image.Image, image.Image + image.Length));
}

TEST_F(KernelDriverTest, LoaderWritesAMissingFileAndReusesARunningDriver) {
  const TRwDrvData image = X64Image();
  {
    TLoadDriver loader(false, false, false, m_Host, kWindows10X64, true, image);
    loader.Load();
    ASSERT_NE(loader.DeviceHandle(), host::kInvalidDeviceHandle);
    EXPECT_EQ(m_Host.Calls, (std::vector<std::string>{"write " + m_DriverFile,
                                                      "created OrvDrv101 " + m_DriverFile,
                                                      "started"}));
  }
  EXPECT_EQ(ReadFile(m_DriverFile), std::vector<std::uint8_t>(image.Image, image.Image + image.Length));

  // Second run: the device opens at once; the service is started again (which fails
  // harmlessly) and the device reopened. Nothing is written.
  m_Host.Calls.clear();
  TLoadDriver again(false, false, false, m_Host, kWindows10X64, true, image);
  again.Load();
  EXPECT_NE(again.DeviceHandle(), host::kInvalidDeviceHandle);
  EXPECT_EQ(m_Host.Calls, (std::vector<std::string>{"opened OrvDrv101", "start failed"}));
  EXPECT_TRUE(m_Host.Dialogs.empty());
}

TEST_F(KernelDriverTest, DriverRefusesMalformedRequestsBeforeTouchingHardware) {
  TLoadDriver loader(false, false, false, m_Host, kWindows10X64, true, X64Image());
  loader.Load();
  ASSERT_NE(loader.DeviceHandle(), host::kInvalidDeviceHandle);
  const HANDLE device = AsHandle(loader.DeviceHandle());
  unsigned char buffer[32] = {};

  // Codes outside the protocol, including the Windows 9x page mapping.
  for (std::uint32_t code : {0x2228A8u, 0x222850u, 0x222800u, 0x222804u, 0x222000u}) {
    EXPECT_EQ(Control(device, code, buffer, 32, 32), ERROR_INVALID_PARAMETER) << std::hex << code;
  }
  // One byte short of the record, in or out.
  struct TShort {
    std::uint32_t Code;
    DWORD In, Out;
  };
  const TShort shortBuffers[] = {
      {drv::kReadPortByte, 7, 8},  {drv::kReadPortDword, 8, 7}, {drv::kWritePortWord, 7, 0},
      {drv::kReadPciByte, 11, 12}, {drv::kReadPciDword, 12, 11}, {drv::kWritePciDword, 11, 0},
      {drv::kReadMemory, 23, 24},  {drv::kReadMemory, 24, 23},  {drv::kWriteMemory, 23, 0},
      {drv::kReadMsr, 16, 15},     {drv::kWriteMsr, 15, 0},     {drv::kReadTsc, 8, 7},
      {drv::kReadPmc, 15, 16},     {drv::kReadCr, 16, 15},      {drv::kWriteCr, 15, 0},
  };
  for (const auto& [code, in, out] : shortBuffers) {
    EXPECT_EQ(Control(device, code, buffer, in, out), ERROR_INVALID_PARAMETER)
        << std::hex << code << " " << in << "/" << out;
  }
  // Control registers: reads of 1, 5, 6, 7, 9 and above, writes of these and of CR2.
  for (std::uint32_t index : {1u, 5u, 6u, 7u, 9u, 16u, 0xFFFFFFFFu}) {
    RegisterRequest cr{index, 0, 0};
    EXPECT_EQ(Control(device, drv::kReadCr, &cr, 16, 16), ERROR_GEN_FAILURE) << index;
    EXPECT_EQ(Control(device, drv::kWriteCr, &cr, 16, 0), ERROR_GEN_FAILURE) << index;
  }
  RegisterRequest cr2{2, 0, 0};
  EXPECT_EQ(Control(device, drv::kWriteCr, &cr2, 16, 0), ERROR_GEN_FAILURE);
  // Memory requests: Unit beyond dwords, a Length not of whole units, no Buffer, a range
  // past the top of the physical address space, and a Buffer outside the caller's user
  // space (the kernel's own addresses).
  std::uint8_t data[16] = {};
  const auto mine = reinterpret_cast<std::uintptr_t>(data);
  const MemoryRequest bad[] = {
      {0xF0000, 4, 3, mine},
      {0xF0000, 4, 0xFFFFFFFF, mine},
      {0xF0000, 6, 2, mine},
      {0xF0000, 3, 1, mine},
      {0xF0000, 4, 0, 0},
      {0xFFFFFFFFFFFFFFF8ull, 16, 0, mine},
      {0xF0000, 16, 0, 0xFFFF800000000000ull},
      {0xF0000, 16, 0, 0xFFFFFFFFFFFFFFF8ull},
  };
  for (const MemoryRequest& request : bad) {
    for (std::uint32_t code : {drv::kReadMemory, drv::kWriteMemory}) {
      MemoryRequest copy = request;
      EXPECT_EQ(Control(device, code, &copy, 24, code == drv::kReadMemory ? 24 : 0),
                ERROR_INVALID_PARAMETER)
          << std::hex << code << " unit " << request.Unit << " length " << request.Length
          << " buffer " << request.Buffer;
    }
  }
}
