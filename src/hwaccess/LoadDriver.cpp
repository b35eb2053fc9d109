#include "hwaccess/LoadDriver.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>

#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "host/LinuxMachine.h"
#include "hwaccess/AccessDriver.h"
#include "hwaccess/DriverProtocol.h"
#include "hwaccess/InProcessDriverHost.h"
#include "hwaccess/OsVersion.h"
#include "sim/BoardRunTrace.h"
#include "sim/VirtualBoard.h"

namespace {

// The back end of this process and the in-process driver host on it: chosen on first use,
// kept until the process ends. The host goes before the machine its driver refers to.
struct TBackEnd {
  bool Chosen = false;
  bool Virtual = false;
  TMachine* Machine = nullptr;
  std::unique_ptr<TMachine> Owned;
  // The run's own account in the board's trace file; goes before the board it writes to.
  std::unique_ptr<TBoardRunTrace> RunTrace;
  std::string Error;
  std::unique_ptr<TInProcessDriverHost> InProcess;
};

TBackEnd* g_backEnd = nullptr;

void ResetBackEnd() {
  delete g_backEnd;
  g_backEnd = nullptr;
}

TBackEnd& BackEnd() {
  if (g_backEnd == nullptr) {
    g_backEnd = new TBackEnd();
    gavrelo::RegisterProcessReset(&ResetBackEnd);
  }
  return *g_backEnd;
}

void ChooseBackEnd(TBackEnd& backEnd) {
  backEnd.Chosen = true;
  if (TVirtualBoard* board = TVirtualBoard::Installed()) {
    backEnd.Virtual = true;
    backEnd.Machine = board;
    return;
  }
  const char* env = std::getenv("GAVRELO_BOARD");
  const std::string boardFile = env != nullptr ? env : "";
  if (!boardFile.empty()) {
    backEnd.Virtual = true;
    try {
      auto board = TVirtualBoard::FromFile(boardFile);
      if (const char* trace = std::getenv("GAVRELO_TRACE"); trace != nullptr && *trace != 0) {
        if (!board->Trace().OpenLog(trace)) {
          std::fprintf(stderr, "GAVRELO_TRACE: cannot create %s\n", trace);
        } else {
          backEnd.RunTrace = std::make_unique<TBoardRunTrace>(*board, boardFile);
        }
      }
      backEnd.Machine = board.get();
      backEnd.Owned = std::move(board);
    } catch (const std::exception& e) {
      backEnd.Error = e.what();
    }
    return;
  }
  if (host::SystemDriverHost() != nullptr) return;  // the system loads its kernel driver
#ifndef _WIN32
  auto native = TLinuxMachine::Open(backEnd.Error);
  TDebugConsole& console = TDebugConsole::Instance(false);
  if (native && console.Enabled()) {
    console.LogValue("TLinuxMachine::PortAccess", native->PortAccessMode(), 9);
    native->Notice = [&console](const std::string& text) {
      console.LogValue("TLinuxMachine", text, 12);
    };
  }
  backEnd.Machine = native.get();
  backEnd.Owned = std::move(native);
#endif
}

TBackEnd& ChosenBackEnd() {
  TBackEnd& backEnd = BackEnd();
  if (!backEnd.Chosen) ChooseBackEnd(backEnd);
  return backEnd;
}

// The host the process's loader runs its steps on (see LoadDriver.h).
host::TDriverHost& ProcessDriverHost(std::uint32_t osFlags) {
  TBackEnd& backEnd = ChosenBackEnd();
  if (!backEnd.Virtual) {
    if (host::TDriverHost* system = host::SystemDriverHost()) return *system;
  }
  if (!backEnd.InProcess) {
    const TAccessDriver::TBuild ntBuild =
        (osFlags & 3) != 0 ? TAccessDriver::TBuild::Nt64 : TAccessDriver::TBuild::Nt32;
    backEnd.InProcess = std::make_unique<TInProcessDriverHost>(
        [](std::string& error) {
          TMachine* machine = TLoadDriver::Machine();
          if (machine == nullptr) error = TLoadDriver::MachineError();
          return machine;
        },
        ntBuild);
  }
  return *backEnd.InProcess;
}

TLoadDriver* g_instance = nullptr;

// CreateFileA arguments of the device opens on the NT family.
constexpr std::uint32_t kReadWrite = host::kGenericRead | host::kGenericWrite;
constexpr std::uint32_t kShareReadWrite = host::kFileShareRead | host::kFileShareWrite;

}  // namespace

TMachine* TLoadDriver::Machine() { return ChosenBackEnd().Machine; }

const std::string& TLoadDriver::MachineError() { return BackEnd().Error; }

TLoadDriver& TLoadDriver::Instance(bool alwaysWriteImage, bool stopOnRelease,
                                   bool deleteOnRelease) {
  if (g_instance == nullptr) {
    // The probe and the back end first, so a reset of process state releases the loader
    // before the host and machine it loaded on.
    TOsVersion& os = TOsVersion::Instance();
    const std::uint32_t flags = os.Flags(0xFFFF);
    host::TDriverHost& driverHost = ProcessDriverHost(flags);
    TRwDrvData image = TRwDrvData::Choose(flags, os.IsNativeProcess());
    if (&driverHost != host::SystemDriverHost() || host::RunsUnderWine()) {
      // The in-process driver (a virtual board) has no file to place: the kernel driver's
      // image is for the system's own loader only. Under Wine the driver cannot run (its
      // first port instruction ends Wine's driver process, and every later run then hangs
      // opening the device): the loader places no image there, so a run without a board
      // finds no driver and ends as without hardware. A driver file put there on purpose
      // is still used.
      image.Image = nullptr;
      image.Length = 0;
    }
    g_instance = new TLoadDriver(alwaysWriteImage, stopOnRelease, deleteOnRelease, driverHost,
                                 flags, os.IsNativeProcess(), image);
    gavrelo::RegisterProcessReset(&TLoadDriver::ResetInstance);

    TDebugConsole& console = TDebugConsole::Instance(false);
    if (flags >= 0x10 && console.Enabled()) {
      for (const auto& module : ConflictingModules(host::KernelDrivers())) {
        console.LogValue("Kernel driver loaded, shares the Super I/O ports without a lock",
                         module, 14);
      }
    }
    g_instance->Load();
    if (!g_instance->FailureDetail().empty()) {
      std::string detail = g_instance->FailureDetail();
      if (!MachineError().empty()) detail += "; back end: " + MachineError();
      console.LogValue("TLoadDriver::Load", detail, 12);
    }
  }
  return *g_instance;
}

void TLoadDriver::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

TLoadDriver::TLoadDriver(bool alwaysWriteImage, bool stopOnRelease, bool deleteOnRelease,
                         host::TDriverHost& driverHost, std::uint32_t osFlags,
                         bool nativeProcess, TRwDrvData image)
    : AlwaysWriteImage(alwaysWriteImage),
      StopOnRelease(stopOnRelease),
      DeleteOnRelease(deleteOnRelease),
      Image(image),
      m_Host(driverHost),
      m_OsFlags(osFlags & 0xFFFF),
      m_NativeProcess(nativeProcess) {}

TLoadDriver::~TLoadDriver() {
  if (Handle == host::kInvalidDeviceHandle) return;
  m_Host.CloseHandle(Handle);
  Handle = host::kInvalidDeviceHandle;
  if (m_OsFlags <= 0x10) return;  // the 9x driver went with its handle
  if (StopOnRelease) {
    OnExistingService([&](host::ServiceHandle service) {
      m_Host.ControlService(service, host::kServiceControlStop);
    });
  }
  if (DeleteOnRelease) {
    OnExistingService([&](host::ServiceHandle service) { m_Host.DeleteService(service); });
  }
}

void TLoadDriver::OnExistingService(const std::function<void(host::ServiceHandle)>& action) {
  const host::ServiceHandle manager = m_Host.OpenSCManagerA(host::kScManagerAllAccess);
  if (manager == host::kNullServiceHandle) return;
  const host::ServiceHandle service =
      m_Host.OpenServiceA(manager, drv::kDeviceName, host::kServiceAllAccess);
  if (service != host::kNullServiceHandle) {
    action(service);
    m_Host.CloseServiceHandle(service);
  }
  m_Host.CloseServiceHandle(manager);
}

std::vector<std::string> TLoadDriver::ConflictingModules(const std::vector<std::string>& loaded) {
  // Kernel drivers of Winbond, Nuvoton, ITE, Fintek and SMSC Super I/O chips: hardware
  // monitors, GPIO and watchdogs. Each enters the chip's configuration mode at 0x2E/0x4E on
  // its own.
  static const char* const kModules[] = {
      "w83627ehf", "w83627hf", "w83793", "w83795", "w83781d", "nct6775", "nct6775_core",
      "nct6775_platform", "nct6683", "it87", "f71805f", "f71882fg", "gpio_winbond",
      "gpio_f7188x", "gpio_it87", "sch5627", "sch5636", "sch56xx_common",
      "w83627hf_wdt", "f71808e_wdt", "it87_wdt", "sch311x_wdt",
  };
  std::vector<std::string> found;
  for (const auto& name : loaded) {
    for (const char* module : kModules) {
      if (name == module) found.push_back(name);
    }
  }
  return found;
}

void TLoadDriver::Failed(const std::string& step) {
  if (!m_FailureDetail.empty()) m_FailureDetail += "; ";
  m_FailureDetail += step + ": error " + std::to_string(m_Host.GetLastError());
}

void TLoadDriver::Load() {
  m_FailureDetail.clear();
  if (m_OsFlags < 0x10) return;  // no driver for this OS, and nothing to tell

  m_DriverFilePath = TRwDrvData::DriverFilePath(m_OsFlags, m_NativeProcess,
                                                m_Host.SystemDirectory(),
                                                m_Host.WindowsDirectory());
  m_DevicePath = TRwDrvData::DevicePath(m_OsFlags, m_DriverFilePath);
  if (!PlaceImage()) return;  // the driver file could not be written: no driver, no message

  host::DeviceHandle result = host::kInvalidDeviceHandle;
  if (m_OsFlags == 0x10) {
    // Opening the device path with delete-on-close loads the dynamic driver; closing the
    // handle unloads it again.
    result = m_Host.CreateFileA(m_DevicePath, 0, 0, 0, host::kFileFlagDeleteOnClose);
    if (result == host::kInvalidDeviceHandle) Failed("CreateFileA " + m_DevicePath);
  } else {
    result = OpenDeviceNt();
  }
  if (result == host::kInvalidDeviceHandle) {
    m_Host.ShowErrorDialog(kDriverLoadError);
  } else {
    m_FailureDetail.clear();
  }
  Handle = result;
}

bool TLoadDriver::PlaceImage() {
  const bool haveImage = Image.Image != nullptr;
  if (AlwaysWriteImage) return !haveImage || WriteImage();
  // A probe open: an existing file is never replaced, whatever it holds.
  const host::DeviceHandle probe = m_Host.CreateFileA(m_DriverFilePath, host::kGenericRead, 0,
                                                      host::kOpenExisting,
                                                      host::kFileAttributeNormal);
  if (probe != host::kInvalidDeviceHandle) {
    m_Host.CloseHandle(probe);
    return true;
  }
  if (m_Host.GetLastError() == host::kErrorFileNotFound && haveImage) return WriteImage();
  return true;
}

bool TLoadDriver::WriteImage() {
  const host::DeviceHandle file =
      m_Host.CreateFileA(m_DriverFilePath, kReadWrite, kShareReadWrite, host::kCreateAlways,
                         host::kFileAttributeNormal);
  if (file == host::kInvalidDeviceHandle) {
    Failed("CreateFileA " + m_DriverFilePath);
    return false;
  }
  std::uint32_t written = 0;
  const bool ok = m_Host.WriteFile(file, Image.Image, Image.Length, written);
  if (!ok) {
    Failed("WriteFile " + m_DriverFilePath);
  } else if (written != Image.Length) {
    if (!m_FailureDetail.empty()) m_FailureDetail += "; ";
    m_FailureDetail += "WriteFile " + m_DriverFilePath + ": wrote " + std::to_string(written) +
                       " of " + std::to_string(Image.Length) + " bytes";
  }
  m_Host.CloseHandle(file);
  return ok && written == Image.Length;
}

host::DeviceHandle TLoadDriver::OpenDevicePath() {
  const host::DeviceHandle handle = m_Host.CreateFileA(
      m_DevicePath, kReadWrite, kShareReadWrite, host::kOpenExisting, host::kFileAttributeNormal);
  if (handle == host::kInvalidDeviceHandle) Failed("CreateFileA " + m_DevicePath);
  return handle;
}

host::DeviceHandle TLoadDriver::OpenDeviceNt() {
  const host::DeviceHandle running = OpenDevicePath();
  if (running != host::kInvalidDeviceHandle) {
    // The driver runs already (an earlier run left it loaded): start its service again,
    // which fails harmlessly, and open the device anew.
    m_Host.CloseHandle(running);
    OnExistingService([&](host::ServiceHandle service) { m_Host.StartServiceA(service); });
    return OpenDevicePath();
  }

  const host::ServiceHandle manager = m_Host.OpenSCManagerA(host::kScManagerAllAccess);
  if (manager == host::kNullServiceHandle) {
    Failed("OpenSCManagerA");
    return host::kInvalidDeviceHandle;
  }
  host::ServiceHandle service = m_Host.CreateServiceA(
      manager, drv::kDeviceName, drv::kDeviceName, host::kServiceAllAccess,
      host::kServiceKernelDriver, host::kServiceDemandStart, host::kServiceErrorNormal,
      m_DriverFilePath);
  if (service == host::kNullServiceHandle) {
    if (m_Host.GetLastError() == host::kErrorServiceExists) {
      service = m_Host.OpenServiceA(manager, drv::kDeviceName, host::kServiceAllAccess);
      if (service == host::kNullServiceHandle) Failed("OpenServiceA " + std::string(drv::kDeviceName));
    } else {
      Failed("CreateServiceA " + std::string(drv::kDeviceName));
    }
  }
  if (service == host::kNullServiceHandle) {
    m_Host.CloseServiceHandle(manager);
    return host::kInvalidDeviceHandle;
  }
  // Its result does not decide anything: the device open below tells whether the driver
  // runs. A failure is kept for the debug log.
  if (!m_Host.StartServiceA(service)) Failed("StartServiceA " + std::string(drv::kDeviceName));
  m_Host.CloseServiceHandle(service);
  m_Host.CloseServiceHandle(manager);
  return OpenDevicePath();
}
