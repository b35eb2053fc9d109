#pragma once
// TNuvotonSio: the generic object of Nuvoton chips. It adds the chip family's two watchdogs
// to the Winbond-style object: the counter of logical device 8 (0xF5 control, 0xF6 count,
// 0xF7 status; bit 0 of 0x30 the device's enable) and the memory-mapped watchdog (0xF9 count,
// bit 4 of LDN 8 register 0x30 its enable, bit 4 of LDN 0x0D register 0xF0 its switch). The
// Nuvoton model classes derive from it; by itself it drives no pins.

#include <array>
#include <cstdint>
#include <span>

#include "sio/WinbondSio.h"

namespace gpio_table {
// Steps of a pin write that depend on the pin: run, after the bank's steps, for every pin of
// bank `Bank` whose bit is set in `Bits`.
struct TPinSteps {
  std::uint8_t Bank;
  std::uint8_t Bits;
  std::array<TStep, 4> Steps;
};
}  // namespace gpio_table

class TNuvotonSio : public TWinbondSio {
 public:
  explicit TNuvotonSio(std::uint16_t requestedPort = kNoRequestedPort);
  ~TNuvotonSio() override;

  void InitWDT() override;                         // 10
  void WatchDogEnable(int count) override;         // 11
  void WatchDogRestart() override;                 // 12
  void DisableWatchdog() override;                 // 13
  bool WatchDogIsRunning() override;               // 14
  int WatchDogCounter() override;                  // 15
  void InitWDTMEM() override;                      // 16
  void WatchDogMEMEnable(int count) override;      // 17
  void WatchDogMEMClear() override;                // 18
  void WatchDogMEMDisable() override;              // 19
  bool WatchDogMEMIsRunning() override;            // 20
  int WatchDogMEMCounter() override;               // 21

  // WriteGPIO of the chips whose pins carry routing steps of their own: the bank's steps,
  // then every pin-step row of the bank that names the pin's bit, in table order, then
  // WriteGPIOBits with the bank's registers. Nothing for a bank the table does not list.
  void WriteGPIOBankWithPinSteps(std::span<const gpio_table::TWriteBank> banks,
                                 std::span<const gpio_table::TPinSteps> pinSteps,
                                 std::uint8_t Pin, std::uint8_t Mode);

  // What both counters answer while their watchdog is not running.
  static constexpr int kWatchdogStopped = 256;

  static constexpr std::uint8_t kRegActivation = 0x30;
  static constexpr std::uint8_t kWdtEnable = 0x01;     // LDN 8 0x30: the counter watchdog
  static constexpr std::uint8_t kWdtMemEnable = 0x10;  // LDN 8 0x30: the memory watchdog
  static constexpr std::uint8_t kWdtStart = 0x02;      // 0xF5 bit 1
  static constexpr std::uint8_t kWdtStatus = 0xF7;
  static constexpr std::uint8_t kWdtStatusFlag = 0x10; // 0xF7 bit 4, cleared on every start
  static constexpr std::uint8_t kWdtMemCounter = 0xF9;
  static constexpr std::uint8_t kLdnMemWatchdog = 0x0D;
  static constexpr std::uint8_t kWdtMemSwitch = 0xF0;  // LDN 0x0D, bit 4
  static constexpr std::uint32_t kWdtSettleMs = 100;    // before a restart and a MEM count

 private:
  // The memory watchdog's start with `count`, shared by its enable and its clear.
  void StartMemWatchdog(int count);
};
