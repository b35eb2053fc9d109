// gavrelo_flowprobe: the real start-up flow (single-instance mutex, INI beside the
// executable, exit paths, exception dialog) as a process of its own, with a recording pin
// owner in place of the Super I/O object. Every request and pin write is appended to the
// file named by GAVRELO_PROBE_RECORD as it happens, with the milliseconds since start, so
// the record is complete even when the flow ends the process from inside. The model name
// is GAVRELO_PROBE_MODEL (default GavreloDemo).

#include <chrono>
#include <cstdio>
#include <string>

#include "app/Application.h"
#include "app/StartupServices.h"
#include "gpio/GpioBase.h"
#include "host/Process.h"

namespace {

const auto g_start = std::chrono::steady_clock::now();

void Record(const std::string& event) {
  static std::FILE* file = [] {
    std::string path = host::GetEnvironmentVariable("GAVRELO_PROBE_RECORD");
    return path.empty() ? nullptr : std::fopen(path.c_str(), "ab");
  }();
  if (file == nullptr) return;
  long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - g_start)
                     .count();
  std::fprintf(file, "%lld %s\n", ms, event.c_str());
  std::fflush(file);
}

class TProbeOwner : public TGpioBase {
 public:
  void ReadGPIO() override { Record("ReadGPIO"); }
  void WriteGPIO(std::uint8_t pin, std::uint8_t mode) override {
    char text[48];
    std::snprintf(text, sizeof text, "WriteGPIO %u 0x%02X", pin, mode);
    Record(text);
  }
  void EnableGPIOGroup(std::uint8_t) override {}
};

class TProbeServices : public TStartupServices {
 public:
  void RequestModelConfiguration() override { Record("ModelConfiguration"); }
  std::wstring RequestModelName() override {
    Record("ModelName");
    std::string model = host::GetEnvironmentVariable("GAVRELO_PROBE_MODEL");
    return model.empty() ? L"GavreloDemo" : std::wstring(model.begin(), model.end());
  }
  void RequestReadWrite() override { Record("ReadWrite"); }
  TGpioBase* BuildSuperIo(std::uint16_t) override {
    Record("BuildSuperIo");
    return &m_Owner;
  }
  std::string ExecutablePath() override { return host::ExecutablePath(); }
  void Sleep(std::uint32_t milliseconds) override {
    Record("Sleep " + std::to_string(milliseconds));
    host::SleepMilliseconds(milliseconds);
  }
  void EndProcess(int exitCode) override {
    Record("EndProcess " + std::to_string(exitCode));
    host::ExitProcess(exitCode);
  }

 private:
  TProbeOwner m_Owner;
};

}  // namespace

int main() {
  TProbeServices services;
  return RunGavrelo(services, host::CommandLine());
}
