#pragma once
// The GPIO pins of a virtual Super I/O chip.
//
// Each chip model's GPIO layout is described once, as data (sim/SuperIoGpioLayouts.cpp),
// and shared by every board that carries the model: a board file names its chip, and a chip
// whose name has a layout gets pins. The layout lists, per bank, the logical device and the
// I/O-select, data and inversion registers, the activation bit (register 0x30 of a logical
// device), and the multiplexing rules under which a pin is a GPIO at all.
//
// After every configuration write the chip recomputes each pin's electrical state:
//   - not_gpio     a mux rule of the pin does not hold: the pin serves another function and
//                  does not move, whatever its data bit says;
//   - output_low / output_high
//                  the bank is active (its activation bit is set) and the pin's I/O-select
//                  bit is clear; the level is data XOR inversion;
//   - input        otherwise; the pin reads the external level the board file gives it
//                  (default 1, the level a pull-up holds an undriven line at).
// Every change of a pin's state or level is one "pin" event in the board's trace.
//
// Reading a bank's data register returns, for its input pins, the external level XOR the
// inversion bit (as the chip samples the pin), and the latched data bit for the others.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TSuperIoChip;

// One test of a chip register. Registers below 0x30 are global (Ldn is not used); the others
// are registers of logical device Ldn. Equal/NotEqual compare (register AND Mask) with Value;
// PinBitClear/PinBitSet test the pin's own bit (its position in the bank) of the register.
enum class TSioTest : std::uint8_t { Never, Equal, NotEqual, PinBitClear, PinBitSet };

struct TSioRegTest {
  TSioTest Test = TSioTest::Never;  // a default test never holds (an unused "or" term)
  std::uint8_t Ldn = 0;
  std::uint8_t Reg = 0;
  std::uint8_t Mask = 0;
  std::uint8_t Value = 0;
};

// Bit `bit` of global register `reg` set (or clear).
constexpr TSioRegTest GlobalBit(std::uint8_t reg, int bit, bool set) {
  const auto mask = static_cast<std::uint8_t>(1u << bit);
  return {TSioTest::Equal, 0, reg, mask, set ? mask : std::uint8_t{0}};
}
// Bit `bit` of register `reg` of logical device `ldn` set (or clear).
constexpr TSioRegTest DeviceBit(std::uint8_t ldn, std::uint8_t reg, int bit, bool set) {
  const auto mask = static_cast<std::uint8_t>(1u << bit);
  return {TSioTest::Equal, ldn, reg, mask, set ? mask : std::uint8_t{0}};
}
// Global register `reg` AND `mask` is `value`.
constexpr TSioRegTest GlobalMasked(std::uint8_t reg, std::uint8_t mask, std::uint8_t value) {
  return {TSioTest::Equal, 0, reg, mask, value};
}
// Register `reg` of logical device `ldn` AND `mask` is `value`.
constexpr TSioRegTest DeviceMasked(std::uint8_t ldn, std::uint8_t reg, std::uint8_t mask,
                                   std::uint8_t value) {
  return {TSioTest::Equal, ldn, reg, mask, value};
}
// Global register `reg` AND `mask` is not `value`.
constexpr TSioRegTest GlobalNotEqual(std::uint8_t reg, std::uint8_t mask, std::uint8_t value) {
  return {TSioTest::NotEqual, 0, reg, mask, value};
}
// The pin's own bit of a register (global when below 0x30) is clear / set.
constexpr TSioRegTest PinBitClear(std::uint8_t ldn, std::uint8_t reg) {
  return {TSioTest::PinBitClear, ldn, reg, 0, 0};
}
constexpr TSioRegTest PinBitSet(std::uint8_t ldn, std::uint8_t reg) {
  return {TSioTest::PinBitSet, ldn, reg, 0, 0};
}

// One bank of pins: Bank * 8 .. Bank * 8 + Pins - 1.
struct TSioGpioBank {
  std::uint8_t Bank;
  std::uint8_t Ldn;        // logical device of the three bank registers
  std::uint8_t IoSelect;   // a set bit makes the pin an input
  std::uint8_t Data;
  std::uint8_t Inversion;  // the level is data XOR inversion
  std::uint8_t EnableLdn;  // logical device whose register 0x30 activates the bank
  std::uint8_t EnableBit;
  std::uint8_t Pins = 8;
  std::uint8_t InversionBits = 0xFF;  // the pins the inversion register has bits for
};

// The pins `Pins` (bits of bank `Bank`) are GPIO only while at least one test of AnyOf
// holds. A pin is GPIO when every rule that names it holds, so "not GPIO when A or B" is two
// rules and "not GPIO when A and B" one rule with two terms.
struct TSioMuxRule {
  std::uint8_t Bank;
  std::uint8_t Pins;
  std::array<TSioRegTest, 2> AnyOf;
};

struct TSioGpioLayout {
  const char* Model;
  std::span<const TSioGpioBank> Banks;
  std::span<const TSioMuxRule> Rules;
};

// The layout of a chip model by the chip's name in the board file, or null.
const TSioGpioLayout* FindSioGpioLayout(std::string_view chipName);
// The names FindSioGpioLayout knows, for error messages and documentation.
std::vector<std::string> SioGpioLayoutNames();

class TSuperIoGpio {
 public:
  enum class TState : std::uint8_t { NotGpio, Input, OutputLow, OutputHigh };

  struct TPin {
    std::uint8_t Bank = 0;
    std::uint8_t Bit = 0;
    std::string Name;  // GPIO<bank><bit>, banks 10 and up as letters (GPIOA0)
    TState State = TState::Input;
    int Level = 1;
    int External = 1;  // the level outside drives onto the pin while it is no output
  };

  TSuperIoGpio(const TSioGpioLayout& layout, const TSuperIoChip& chip);

  const TSioGpioLayout& Layout() const { return m_Layout; }
  const std::vector<TPin>& Pins() const { return m_Pins; }
  const TPin* Find(std::string_view name) const;
  // False when the chip has no such pin.
  bool SetExternal(std::string_view name, int level);

  // Recomputes every pin from the chip's registers; returns the pins whose state or level
  // changed, in pin order.
  std::vector<const TPin*> Update();
  // The value a read of register `reg` of logical device `ldn` returns, given what the
  // register holds: input pins of a bank whose data register it is read their pin.
  std::uint8_t ReadThrough(std::uint8_t ldn, std::uint8_t reg, std::uint8_t stored) const;

  static const char* StateName(TState state);
  static std::string PinName(unsigned bank, unsigned bit);

 private:
  std::uint8_t Reg(std::uint8_t ldn, std::uint8_t reg) const;
  bool Holds(const TSioRegTest& test, unsigned bit) const;
  bool IsGpio(const TSioGpioBank& bank, unsigned bit) const;
  void Compute(const TSioGpioBank& bank, TPin& pin) const;

  const TSioGpioLayout& m_Layout;
  const TSuperIoChip& m_Chip;
  std::vector<TPin> m_Pins;  // banks in layout order, bits ascending
};
