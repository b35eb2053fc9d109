#include "sim/SuperIoGpio.h"

#include "sim/SuperIoChip.h"

namespace {
constexpr std::uint8_t kFirstDeviceReg = 0x30;
constexpr std::uint8_t kActivation = 0x30;
}  // namespace

TSuperIoGpio::TSuperIoGpio(const TSioGpioLayout& layout, const TSuperIoChip& chip)
    : m_Layout(layout), m_Chip(chip) {
  for (const TSioGpioBank& bank : m_Layout.Banks) {
    for (unsigned bit = 0; bit < bank.Pins && bit < 8; ++bit) {
      TPin pin;
      pin.Bank = bank.Bank;
      pin.Bit = static_cast<std::uint8_t>(bit);
      pin.Name = PinName(bank.Bank, bit);
      m_Pins.push_back(pin);
    }
  }
  Update();
}

std::string TSuperIoGpio::PinName(unsigned bank, unsigned bit) {
  // The pin model's own naming: bank digit then bit digit, banks 10 to 15 as "A" to "F".
  const char digit = bank <= 9 ? static_cast<char>('0' + bank) : static_cast<char>('A' + bank - 10);
  return std::string("GPIO") + digit + static_cast<char>('0' + bit);
}

const char* TSuperIoGpio::StateName(TState state) {
  switch (state) {
    case TState::NotGpio: return "not_gpio";
    case TState::Input: return "input";
    case TState::OutputLow: return "output_low";
    case TState::OutputHigh: return "output_high";
  }
  return "input";
}

const TSuperIoGpio::TPin* TSuperIoGpio::Find(std::string_view name) const {
  for (const TPin& pin : m_Pins)
    if (pin.Name == name) return &pin;
  return nullptr;
}

bool TSuperIoGpio::SetExternal(std::string_view name, int level) {
  for (TPin& pin : m_Pins) {
    if (pin.Name != name) continue;
    pin.External = level != 0 ? 1 : 0;
    return true;
  }
  return false;
}

std::uint8_t TSuperIoGpio::Reg(std::uint8_t ldn, std::uint8_t reg) const {
  return reg < kFirstDeviceReg ? m_Chip.Global(reg) : m_Chip.Device(ldn, reg);
}

bool TSuperIoGpio::Holds(const TSioRegTest& test, unsigned bit) const {
  const std::uint8_t value = Reg(test.Ldn, test.Reg);
  const bool pinBit = ((value >> bit) & 1u) != 0;
  switch (test.Test) {
    case TSioTest::Never: return false;
    case TSioTest::Equal: return (value & test.Mask) == test.Value;
    case TSioTest::NotEqual: return (value & test.Mask) != test.Value;
    case TSioTest::PinBitClear: return !pinBit;
    case TSioTest::PinBitSet: return pinBit;
  }
  return false;
}

bool TSuperIoGpio::IsGpio(const TSioGpioBank& bank, unsigned bit) const {
  for (const TSioMuxRule& rule : m_Layout.Rules) {
    if (rule.Bank != bank.Bank || ((rule.Pins >> bit) & 1u) == 0) continue;
    bool any = false;
    for (const TSioRegTest& test : rule.AnyOf) any = any || Holds(test, bit);
    if (!any) return false;
  }
  return true;
}

void TSuperIoGpio::Compute(const TSioGpioBank& bank, TPin& pin) const {
  const unsigned bit = pin.Bit;
  if (!IsGpio(bank, bit)) {
    // The other function's level is not modelled: the pin shows what the outside drives.
    pin.State = TState::NotGpio;
    pin.Level = pin.External;
    return;
  }
  const bool active = ((Reg(bank.EnableLdn, kActivation) >> bank.EnableBit) & 1u) != 0;
  const bool input = ((Reg(bank.Ldn, bank.IoSelect) >> bit) & 1u) != 0;
  if (!active || input) {
    pin.State = TState::Input;
    pin.Level = pin.External;
    return;
  }
  const unsigned level =
      ((Reg(bank.Ldn, bank.Data) ^ (Reg(bank.Ldn, bank.Inversion) & bank.InversionBits)) >> bit) & 1u;
  pin.State = level != 0 ? TState::OutputHigh : TState::OutputLow;
  pin.Level = static_cast<int>(level);
}

std::vector<const TSuperIoGpio::TPin*> TSuperIoGpio::Update() {
  std::vector<const TPin*> changed;
  std::size_t index = 0;
  for (const TSioGpioBank& bank : m_Layout.Banks) {
    for (unsigned bit = 0; bit < bank.Pins && bit < 8; ++bit, ++index) {
      TPin& pin = m_Pins[index];
      const TState state = pin.State;
      const int level = pin.Level;
      Compute(bank, pin);
      if (pin.State != state || pin.Level != level) changed.push_back(&pin);
    }
  }
  return changed;
}

std::uint8_t TSuperIoGpio::ReadThrough(std::uint8_t ldn, std::uint8_t reg,
                                       std::uint8_t stored) const {
  if (reg < kFirstDeviceReg) return stored;
  std::uint8_t value = stored;
  for (const TPin& pin : m_Pins) {
    if (pin.State != TState::Input) continue;
    for (const TSioGpioBank& bank : m_Layout.Banks) {
      if (bank.Bank != pin.Bank || bank.Ldn != ldn || bank.Data != reg) continue;
      // The chip samples the pin through its inversion, as it drives it.
      const unsigned inverted = ((Reg(bank.Ldn, bank.Inversion) & bank.InversionBits) >> pin.Bit) & 1u;
      const unsigned bit = static_cast<unsigned>(pin.External) ^ inverted;
      value = static_cast<std::uint8_t>((value & ~(1u << pin.Bit)) | (bit << pin.Bit));
    }
  }
  return value;
}
