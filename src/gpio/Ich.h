#pragma once
// TIch: the general-purpose I/O pins of an Intel I/O controller hub, GPIO0 to GPIO95, held
// in a block of 32-bit registers in I/O space. The LPC bridge (bus 0, device 31, function 0)
// publishes the block's base in its configuration register GPIOBASE, 0x48 on current hubs
// and 0x58 on older ones.
//
// Pins are named in decimal (GPIO0 .. GPIO95). Each pin change is a separate 32-bit
// read-modify-write of each register involved, always written back.
//
// Pins 96 and up: the parser accepts decimal pin numbers up to 254, but the register map
// ends at pin 95. WriteGPIO rejects such a pin without touching any register (the bank
// arithmetic would otherwise fold it onto a pin of bank 2, or shift past the register).
//
// Without a usable GPIO base the pin table reads GPIO_DISABLED for every pin: ReadGPIO finds
// nothing to read, and no check of a setting (low, high, input, or any not-GPIO word) can
// match that code, so nothing reports a state that no register gave.

#include <cstdint>
#include <string>
#include <vector>

#include "gpio/ChipsetBase.h"

class TIch : public TIntelChipset {
 public:
  // Finds the GPIO base (no log; a missing base is only m_NoGpioBase).
  TIch();
  ~TIch() override;

  void ReadGPIO() override;
  void WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) override;
  void EnableGPIOGroup(std::uint8_t Pin) override;  // nothing to switch on this hub
  // Lists GPIO0 .. GPIO95 (the pin model's decimal listing); nothing without a base.
  void ListGPIOState(std::vector<std::wstring>& lines) override;

  static constexpr std::uint8_t kPinCount = 96;
  // LPC bridge registers that may hold GPIOBASE, in the order they are tried.
  static constexpr std::uint8_t kGpioBaseRegisters[] = {0x48, 0x58};

  std::uint8_t m_NoGpioBase = 1;  // 1 when no usable base was found
  std::uint16_t m_GpioBase = 0;   // valid only when m_NoGpioBase is 0

 private:
  // One 32-bit read-modify-write at m_GpioBase + offset: clears `clear`, sets `set`.
  void Modify(std::uint8_t offset, std::uint32_t clear, std::uint32_t set);
};
