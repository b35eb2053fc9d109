#pragma once
// The GPIO register block of an Intel I/O controller hub on the virtual board: 128 bytes of
// I/O space at the base the LPC bridge's GPIOBASE names, 32-bit registers holding one bit per
// pin for GPIO0 .. GPIO95:
//
//   bank 0 (GPIO0-31):  GPIO_USE_SEL 0x00, GP_IO_SEL 0x04, GP_LVL 0x0C, GPI_INV 0x2C
//   bank 1 (GPIO32-63): GPIO_USE_SEL2 0x30, GP_IO_SEL2 0x34, GP_LVL2 0x38
//   bank 2 (GPIO64-95): GPIO_USE_SEL3 0x40, GP_IO_SEL3 0x44, GP_LVL3 0x48
//
// USE_SEL 1 = GPIO (0 = native function), IO_SEL 1 = input. Reading a level register gives,
// for a GPIO output, the value last written (the output latch) and for every other pin the
// level on the pin, which the board sets per pin (SetInputLevel; low by default). GPI_INV
// only inverts the hub's event logic, so it never changes what the level register reads.
// Every other register of the block is plain storage. Wider and narrower cycles reach the
// dword they fall in, so byte and word accesses work as on the hub.
//
// Each port write that changes a pin's state or level records a `pin` event (owner "ich",
// the pin named GPIO<n>), after the `out` cycle.

#include <array>
#include <bitset>
#include <cstdint>
#include <string>

#include "sim/PortDevice.h"

class TIchGpio : public TPortDevice {
 public:
  static constexpr unsigned kPins = 96;
  static constexpr std::uint16_t kBlockSize = 0x80;

  // `name` names the hub in the trace ("ICH10"); `base` is the I/O base of the block.
  TIchGpio(std::string name, std::uint16_t base);

  std::vector<std::pair<std::uint16_t, std::uint16_t>> Ports() const override;
  std::uint32_t Read(std::uint16_t port, unsigned width) override;
  void Write(std::uint16_t port, unsigned width, std::uint32_t value) override;
  std::string Name() const override { return "ich-gpio " + m_Name; }

  // Set-up and inspection (no port cycle, no event).
  void SetRegister(std::uint8_t offset, std::uint32_t value);
  std::uint32_t Register(std::uint8_t offset) const { return m_Regs[(offset & 0x7F) / 4]; }
  void SetInputLevel(unsigned pin, bool high);
  std::uint16_t Base() const { return m_Base; }
  // "output_low", "output_high", "input" or "not_gpio", and the pin's level.
  const char* PinState(unsigned pin) const;
  int PinLevel(unsigned pin) const;

 private:
  std::uint32_t ReadDword(unsigned index) const;
  void RecordChangedPins();

  std::string m_Name;
  std::uint16_t m_Base;
  std::array<std::uint32_t, kBlockSize / 4> m_Regs{};
  std::bitset<kPins> m_Inputs;  // level on each pin from outside
  // What each pin showed after the last write, to record only changes.
  std::array<const char*, kPins> m_LastState{};
  std::bitset<kPins> m_LastLevel;
};
