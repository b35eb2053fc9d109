#include "app/StartupServices.h"

#include "gpio/GpioBase.h"
#include "host/Process.h"
#include "hwaccess/ReadWrite.h"
#include "platform/OrvModelConfig.h"
#include "platform/OrvSpec.h"
#include "sio/SioBuilder.h"

namespace {

class TToolStartupServices : public TStartupServices {
 public:
  void RequestModelConfiguration() override { TOrvModelConfig::Instance(); }

  std::wstring RequestModelName() override { return TOrvSpec::Instance().ModelName; }

  void RequestReadWrite() override { TReadWrite::Instance(); }

  TGpioBase* BuildSuperIo(std::uint16_t configPort) override {
    // Configuration ports are 0x2E and 0x4E: the builder takes them as one byte.
    return TSioBuilder::Instance().Build(static_cast<std::uint8_t>(configPort));
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
