#include "sio/NuvotonSio.h"

#include "diag/DebugConsole.h"
#include "host/Process.h"

namespace {
constexpr int kLogColour = 10;
constexpr int kNoTime = 0;
}  // namespace

TNuvotonSio::TNuvotonSio(std::uint16_t requestedPort) : TWinbondSio(requestedPort) {}

TNuvotonSio::~TNuvotonSio() = default;

void TNuvotonSio::WriteGPIOBankWithPinSteps(std::span<const gpio_table::TWriteBank> banks,
                                            std::span<const gpio_table::TPinSteps> pinSteps,
                                            std::uint8_t Pin, std::uint8_t Mode) {
  const std::uint8_t bank = Pin / 8;
  const auto mask = static_cast<std::uint8_t>(1u << (Pin % 8));
  for (const gpio_table::TWriteBank& row : banks) {
    if (row.Bank != bank) continue;
    RunGPIOSteps(row.Steps, mask);
    for (const gpio_table::TPinSteps& steps : pinSteps)
      if (steps.Bank == bank && (steps.Bits & mask) != 0) RunGPIOSteps(steps.Steps, mask);
    WriteGPIOBits(row.IoSelect, row.Data, Mode, mask, row.Inversion);
    return;
  }
}

// ---------------------------------------------------------------------------------------------
// The counter watchdog of logical device 8.
// ---------------------------------------------------------------------------------------------

void TNuvotonSio::InitWDT() {
  SelectLogicalDevice(kLdnWatchdog);
  const std::uint8_t active = ReadConfigRegister(kRegActivation);
  if ((active & kWdtEnable) == 0)
    WriteConfigRegister(kRegActivation, static_cast<std::uint8_t>(active | kWdtEnable));
  if (ReadConfigRegister(kWdtControl) != 0) WriteConfigRegister(kWdtControl, 0);
}

void TNuvotonSio::WatchDogEnable(int count) {
  SelectLogicalDevice(kLdnWatchdog);
  // The status is taken before the start and written back with its flag cleared after it.
  const std::uint8_t status = ReadConfigRegister(kWdtStatus);
  WriteConfigRegister(kWdtCounter, static_cast<std::uint8_t>(count));
  WriteConfigRegister(kWdtControl, static_cast<std::uint8_t>(ReadConfigRegister(kWdtControl) | kWdtStart));
  WriteConfigRegister(kWdtStatus, static_cast<std::uint8_t>(status & ~kWdtStatusFlag));
}

void TNuvotonSio::WatchDogRestart() {
  SelectLogicalDevice(kLdnWatchdog);
  const std::uint8_t status = ReadConfigRegister(kWdtStatus);
  host::SleepMilliseconds(kWdtSettleMs);
  WriteConfigRegister(kWdtControl, static_cast<std::uint8_t>(ReadConfigRegister(kWdtControl) | kWdtStart));
  WriteConfigRegister(kWdtStatus, static_cast<std::uint8_t>(status & ~kWdtStatusFlag));
}

void TNuvotonSio::DisableWatchdog() {
  SelectLogicalDevice(kLdnWatchdog);
  if ((ReadConfigRegister(kRegActivation) & kWdtEnable) == 0) return;
  WriteConfigRegister(kWdtCounter, 0);
  WriteConfigRegister(kWdtControl, static_cast<std::uint8_t>(ReadConfigRegister(kWdtControl) & 0xFD));
}

bool TNuvotonSio::WatchDogIsRunning() {
  SelectLogicalDevice(kLdnWatchdog);
  if ((ReadConfigRegister(kRegActivation) & kWdtEnable) == 0) return false;
  // Status and count are read as the chip's sequence has it; only the start bit answers.
  ReadConfigRegister(kWdtStatus);
  ReadConfigRegister(kWdtCounter);
  return (ReadConfigRegister(kWdtControl) & kWdtStart) != 0;
}

int TNuvotonSio::WatchDogCounter() {
  SelectLogicalDevice(kLdnWatchdog);
  if ((ReadConfigRegister(kRegActivation) & kWdtEnable) == 0) return kWatchdogStopped;
  return ReadConfigRegister(kWdtCounter);
}

// ---------------------------------------------------------------------------------------------
// The memory-mapped watchdog: enable bit 4 of LDN 8 register 0x30, count in 0xF9.
// ---------------------------------------------------------------------------------------------

void TNuvotonSio::InitWDTMEM() {
  Console.LogMessage("TNuvotonSio::InitWDTMEM", kLogColour, kNoTime);
  SelectLogicalDevice(kLdnWatchdog);
  const std::uint8_t active = ReadConfigRegister(kRegActivation);
  if ((active & kWdtMemEnable) == 0)
    WriteConfigRegister(kRegActivation, static_cast<std::uint8_t>(active | kWdtMemEnable));
}

void TNuvotonSio::StartMemWatchdog(int count) {
  SelectLogicalDevice(kLdnMemWatchdog);
  WriteConfigRegister(kWdtMemSwitch, static_cast<std::uint8_t>(ReadConfigRegister(kWdtMemSwitch) | 0x10));
  SelectLogicalDevice(kLdnWatchdog);
  host::SleepMilliseconds(kWdtSettleMs);
  ReadConfigRegister(kWdtMemCounter);  // read before the write, as the chip's sequence has it
  // The count goes to 0xF9 of LDN 8 here, while WatchDogMEMCounter reads 0xF9 of LDN 0x0D.
  WriteConfigRegister(kWdtMemCounter, static_cast<std::uint8_t>(count));
  const std::uint8_t active = ReadConfigRegister(kRegActivation);
  if ((active & kWdtMemEnable) == 0)
    WriteConfigRegister(kRegActivation, static_cast<std::uint8_t>(active | kWdtMemEnable));
}

void TNuvotonSio::WatchDogMEMEnable(int count) {
  Console.LogMessage("TNuvotonSio::WatchDogMEMEnable", kLogColour, kNoTime);
  StartMemWatchdog(count);
}

void TNuvotonSio::WatchDogMEMClear() { StartMemWatchdog(0); }

void TNuvotonSio::WatchDogMEMDisable() {
  Console.LogMessage("TNuvotonSio::WatchDogMEMDisable", kLogColour, kNoTime);
  SelectLogicalDevice(kLdnWatchdog);
  const std::uint8_t active = ReadConfigRegister(kRegActivation);
  if ((active & kWdtMemEnable) != 0)
    WriteConfigRegister(kRegActivation, static_cast<std::uint8_t>(active & ~kWdtMemEnable));
}

bool TNuvotonSio::WatchDogMEMIsRunning() {
  Console.LogMessage("TNuvotonSio::WatchDogMEMIsRunning", kLogColour, kNoTime);
  SelectLogicalDevice(kLdnWatchdog);
  return (ReadConfigRegister(kRegActivation) & kWdtMemEnable) != 0;
}

int TNuvotonSio::WatchDogMEMCounter() {
  Console.LogMessage("TNuvotonSio::WatchDogMEMCounter", kLogColour, kNoTime);
  SelectLogicalDevice(kLdnWatchdog);
  if ((ReadConfigRegister(kRegActivation) & kWdtMemEnable) == 0) return kWatchdogStopped;
  SelectLogicalDevice(kLdnMemWatchdog);
  return ReadConfigRegister(kWdtMemCounter);
}
