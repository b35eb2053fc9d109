#include "hwaccess/LoadDriver.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "host/LinuxMachine.h"
#include "host/MessageDialog.h"
#include "hwaccess/AccessDriver.h"
#include "hwaccess/DriverProtocol.h"
#include "hwaccess/OsVersion.h"
#include "sim/VirtualBoard.h"

namespace {

// The back end of this process: chosen on first use, kept until the process ends.
struct TBackEnd {
  bool Chosen = false;
  TMachine* Machine = nullptr;
  std::unique_ptr<TMachine> Owned;
  std::string Error;
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
    backEnd.Machine = board;
    return;
  }
  const char* env = std::getenv("GAVRELO_BOARD");
  const std::string boardFile = env != nullptr ? env : "";
  if (!boardFile.empty()) {
    try {
      auto board = TVirtualBoard::FromFile(boardFile);
      if (const char* trace = std::getenv("GAVRELO_TRACE"); trace != nullptr && *trace != 0) {
        if (!board->Trace().OpenLog(trace)) {
          std::fprintf(stderr, "GAVRELO_TRACE: cannot create %s\n", trace);
        }
      }
      backEnd.Machine = board.get();
      backEnd.Owned = std::move(board);
    } catch (const std::exception& e) {
      backEnd.Error = e.what();
    }
    return;
  }
  auto native = TLinuxMachine::Open(backEnd.Error);
  backEnd.Machine = native.get();
  backEnd.Owned = std::move(native);
}

TLoadDriver* g_instance = nullptr;

}  // namespace

TMachine* TLoadDriver::Machine() {
  TBackEnd& backEnd = BackEnd();
  if (!backEnd.Chosen) ChooseBackEnd(backEnd);
  return backEnd.Machine;
}

const std::string& TLoadDriver::MachineError() { return BackEnd().Error; }

TLoadDriver& TLoadDriver::Instance(bool alwaysWriteImage, bool stopOnRelease,
                                   bool deleteOnRelease) {
  if (g_instance == nullptr) {
    g_instance = new TLoadDriver(alwaysWriteImage, stopOnRelease, deleteOnRelease);
    gavrelo::RegisterProcessReset(&TLoadDriver::ResetInstance);
    g_instance->Load();
  }
  return *g_instance;
}

void TLoadDriver::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

TLoadDriver::TLoadDriver(bool alwaysWriteImage, bool stopOnRelease, bool deleteOnRelease)
    : AlwaysWriteImage(alwaysWriteImage),
      StopOnRelease(stopOnRelease),
      DeleteOnRelease(deleteOnRelease) {}

// Release: close the handle. The in-process driver is this process's "service": stopping
// it means taking its device name away, which a stop or delete on release asks for; the
// driver object itself goes with the loader, since it refers to the back end.
TLoadDriver::~TLoadDriver() {
  if (Handle != host::kInvalidDeviceHandle) host::CloseDevice(Handle);
  host::UnregisterDevice(drv::kDeviceName);
  delete m_Driver;
}

std::vector<std::string> TLoadDriver::ConflictingModules(const std::vector<std::string>& loaded) {
  // Kernel drivers of Winbond, Nuvoton, ITE and Fintek Super I/O chips: hardware monitors
  // and GPIO. Each enters the chip's configuration mode at 0x2E/0x4E on its own.
  static const char* const kModules[] = {
      "w83627ehf", "w83627hf", "w83793", "w83795", "w83781d", "nct6775", "nct6775_core",
      "nct6775_platform", "nct6683", "it87", "f71805f", "f71882fg", "gpio_winbond",
      "gpio_f7188x", "gpio_it87", "sch5627", "sch5636", "sch56xx_common",
  };
  std::vector<std::string> found;
  for (const auto& name : loaded) {
    for (const char* module : kModules) {
      if (name == module) found.push_back(name);
    }
  }
  return found;
}

void TLoadDriver::ReportFailure(const std::string& detail) {
  TDebugConsole& console = TDebugConsole::Instance(false);
  if (!detail.empty()) console.LogValue("TLoadDriver::Load", detail, 12);
  host::ShowErrorDialog(kDriverLoadError);
}

void TLoadDriver::Load() {
  TOsVersion& os = TOsVersion::Instance();
  const std::uint32_t flags = os.Flags(0xFFFF);
  Image = TRwDrvData::Choose(flags, os.IsNativeProcess());
  if (flags < 0x10) return;  // no driver for this OS, and nothing to tell

  TDebugConsole& console = TDebugConsole::Instance(false);
  if (console.Enabled()) {
    for (const auto& module : ConflictingModules(host::LoadedKernelModules())) {
      console.LogValue("Kernel driver loaded, shares the Super I/O ports without a lock", module, 14);
    }
  }

  TMachine* machine = Machine();
  if (machine == nullptr) {
    ReportFailure(MachineError());
    return;
  }
  const TAccessDriver::TBuild build =
      flags == 0x10 ? TAccessDriver::TBuild::Win9x : TAccessDriver::TBuild::Nt64;
  m_Driver = new TAccessDriver(*machine, build);
  host::RegisterDevice(drv::kDeviceName, m_Driver);
  Handle = host::OpenDevice(drv::kDevicePath);
  if (Handle == host::kInvalidDeviceHandle) {
    ReportFailure(std::string("cannot open ") + drv::kDevicePath);
  }
}
