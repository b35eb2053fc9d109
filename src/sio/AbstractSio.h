#pragma once
// The abstract Super I/O chip: detection and configuration access (TSioBase) plus the GPIO pin
// model (TGpioBase), with the hardware-monitor and watchdog operations each chip family
// implements. The order of the virtual operations below is part of every chip class's
// contract; the chip families add their slots (22 onwards) after these.

#include <cstdint>
#include <map>
#include <string>

#include "gpio/GpioBase.h"
#include "sio/SioBase.h"

// One fan input: the count register and the two fields that make up the fan divisor, in the
// order of ReadFanSpeed's arguments (plus two bytes that are always 0).
struct THwmFan_t {
  std::uint8_t Bank = 0;
  std::uint8_t CountReg = 0;
  std::uint8_t Reserved0 = 0;
  std::uint8_t DivReg1 = 0;
  std::uint8_t DivMask1 = 0;
  std::uint8_t DivShift1 = 0;
  std::uint8_t Reserved1 = 0;
  std::uint8_t DivReg2 = 0;
  std::uint8_t DivMask2 = 0;
  std::uint8_t DivShift2 = 0;
};

// Argument record of ReadVoltage; Raw and Value are written by it.
struct VoltageInput {
  std::uint8_t Bank = 0;
  std::uint8_t Reg = 0;
  std::uint8_t R1 = 0;
  std::uint8_t R2 = 0;
  std::uint8_t Offset = 0;
  float Base = 0.0f;
  std::uint8_t Raw = 0;
  float Value = 0.0f;
};

class TAbstractSio : public TSioBase, public TGpioBase {
 public:
  explicit TAbstractSio(std::uint16_t requestedPort = kNoRequestedPort)
      : TSioBase(requestedPort) {}

  ~TAbstractSio() override = default;                                               // 0
  virtual void InitHwmAddress() = 0;                                                // 1
  virtual void Reserved2() = 0;                                                     // 2
  virtual float ReadVoltage(VoltageInput* input) = 0;                               // 3
  virtual float ReadVoltageAt(std::uint8_t bank, std::uint8_t reg, std::uint8_t r1,
                              std::uint8_t r2, std::uint16_t offset, float base) = 0;  // 4
  virtual int ReadFanSpeed(std::uint8_t bank, std::uint8_t countReg, std::uint8_t divReg1,
                           std::uint8_t divMask1, std::uint8_t divShift1,
                           std::uint8_t divReg2, std::uint8_t divMask2,
                           std::uint8_t divShift2) = 0;                             // 5
  virtual std::uint16_t ReadFanSpeedWord(std::uint8_t bank, std::uint8_t highReg,
                                         std::uint8_t lowReg) = 0;                  // 6
  virtual int ReadTemperature(std::uint8_t bank, std::uint8_t reg) = 0;             // 7
  virtual int ReadTemperatureFrom(std::uint8_t bank, std::uint8_t reg,
                                  std::uint8_t source) = 0;                         // 8
  virtual int ReadTemperature2(std::uint8_t bank, std::uint8_t reg,
                               std::uint8_t source) = 0;                            // 9
  // Watchdog hooks: only the chip families that have the watchdog implement them.
  virtual void InitWDT() {}                                                         // 10
  virtual void WatchDogEnable(int /*count*/) {}                                     // 11
  virtual void WatchDogRestart() {}                                                 // 12
  virtual void DisableWatchdog() {}                                                 // 13
  virtual bool WatchDogIsRunning() { return false; }                                // 14
  virtual int WatchDogCounter() { return 0; }                                       // 15
  virtual void InitWDTMEM() {}                                                      // 16
  virtual void WatchDogMEMEnable(int /*count*/) {}                                  // 17
  virtual void WatchDogMEMClear() {}                                                // 18
  virtual void WatchDogMEMDisable() {}                                              // 19
  virtual bool WatchDogMEMIsRunning() { return false; }                             // 20
  virtual int WatchDogMEMCounter() { return 0; }                                    // 21

  // Fan inputs by name, ordered by name.
  std::map<std::wstring, THwmFan_t> Fans;
};
