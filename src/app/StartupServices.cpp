#include "app/StartupServices.h"

#include "gpio/GpioBase.h"
#include "host/Process.h"
#include "hwaccess/ReadWrite.h"
#include "platform/OrvSpec.h"

namespace {

// Stands in for the Super I/O object until the Super I/O builder exists: a pin owner that
// parses settings like every owner but touches no hardware.
class TNoSuperIo : public TGpioBase {
 public:
  void ReadGPIO() override {}
  void WriteGPIO(std::uint8_t, std::uint8_t) override {}
  void EnableGPIOGroup(std::uint8_t) override {}
};

class TToolStartupServices : public TStartupServices {
 public:
  void RequestModelConfiguration() override {
    // Platform identification: TOrvModelConfig::Instance() goes here.
  }

  std::wstring RequestModelName() override { return TOrvSpec::Instance().ModelName; }

  void RequestReadWrite() override { TReadWrite::Instance(); }

  TGpioBase* BuildSuperIo(std::uint16_t /*configPort*/) override {
    // Super I/O: return &TSioBuilder::Instance().Build(configPort) here.
    static TNoSuperIo* none = new TNoSuperIo();  // lives until the process ends
    return none;
  }

  std::string ExecutablePath() override { return host::ExecutablePath(); }

  void Sleep(std::uint32_t milliseconds) override { host::SleepMilliseconds(milliseconds); }

  void EndProcess(int exitCode) override { host::ExitProcess(exitCode); }
};

}  // namespace

TStartupServices& DefaultStartupServices() {
  static TToolStartupServices* services = new TToolStartupServices();
  return *services;
}
