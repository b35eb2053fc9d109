#pragma once
// TWinbondSio: the concrete Super I/O object every chip family builds on. It implements the
// hardware monitor (voltages, fan speeds, temperatures) reached through the monitor's index/
// data pair at the base of logical device 0x0B, the watchdog start/stop of logical device 8
// and the fan input map. It drives no GPIO pins itself: the builder hands it out for chips
// without a model class and when nothing was detected, and its GPIO slots touch no register.

#include <cstdint>

#include "sio/AbstractSio.h"

class TWinbondSio : public TAbstractSio {
 public:
  // Detection pass (TSioBase), then InitHwmAddress and BuildFanMap of this class, at
  // `requestedPort` when one is given (see TSioBase). Model classes take the same argument.
  explicit TWinbondSio(std::uint16_t requestedPort = kNoRequestedPort);
  ~TWinbondSio() override;                                                          // 0

  void InitHwmAddress() override;                                                   // 1
  void Reserved2() override {}                                                      // 2
  float ReadVoltage(VoltageInput* input) override;                                  // 3
  float ReadVoltageAt(std::uint8_t bank, std::uint8_t reg, std::uint8_t r1, std::uint8_t r2,
                      std::uint16_t offset, float base) override;                  // 4
  int ReadFanSpeed(std::uint8_t bank, std::uint8_t countReg, std::uint8_t divReg1,
                   std::uint8_t divMask1, std::uint8_t divShift1, std::uint8_t divReg2,
                   std::uint8_t divMask2, std::uint8_t divShift2) override;         // 5
  std::uint16_t ReadFanSpeedWord(std::uint8_t bank, std::uint8_t highReg,
                                 std::uint8_t lowReg) override;                     // 6
  int ReadTemperature(std::uint8_t bank, std::uint8_t reg) override;                // 7
  int ReadTemperatureFrom(std::uint8_t bank, std::uint8_t reg,
                          std::uint8_t source) override;                            // 8
  int ReadTemperature2(std::uint8_t bank, std::uint8_t reg, std::uint8_t source) override;  // 9
  void DisableWatchdog() override;                                                  // 13

  // The pin model's hardware side; the generic object has no GPIO map.
  void ReadGPIO() override {}                                                       // 22
  void WriteGPIO(std::uint8_t /*Pin*/, std::uint8_t /*Mode*/) override {}           // 23
  void EnableGPIOGroup(std::uint8_t /*Pin*/) override {}                            // 24
  virtual void SelectHwmBank(std::uint8_t bank);                                    // 25
  virtual std::uint8_t ReadHwmBankRegister(std::uint8_t bank, std::uint8_t reg);    // 26
  virtual void StartWatchdog(std::uint8_t count);                                   // 27
  virtual void BuildFanMap();                                                       // 28

  // Hardware-monitor and watchdog registers.
  static constexpr std::uint8_t kLdnWatchdog = 0x08;
  static constexpr std::uint8_t kLdnHardwareMonitor = 0x0B;
  static constexpr std::uint8_t kWdtControl = 0xF5;  // bit 1 starts the counter
  static constexpr std::uint8_t kWdtCounter = 0xF6;
  static constexpr std::uint8_t kHwmBankSelect = 0x4E;      // low nibble: bank
  static constexpr std::uint8_t kHwmTemperatureSource = 0x00;  // bank 2, low nibble
};
