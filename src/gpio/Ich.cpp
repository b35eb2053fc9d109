#include "gpio/Ich.h"

#include <iterator>

#include "hwaccess/ReadWrite.h"

namespace {

// The LPC bridge: bus 0, device 31, function 0.
constexpr std::uint8_t kLpcBus = 0;
constexpr std::uint8_t kLpcDevice = 31;
constexpr std::uint8_t kLpcFunction = 0;

// GPIOBASE: bit 0 says I/O space, bits 15:6 the 64-byte aligned base. A value with any other
// bit set (or a failed read, all ones) names no I/O block.
constexpr std::uint32_t kBaseIoSpace = 0x0001;
constexpr std::uint32_t kBaseAddressMask = 0xFFC0;
constexpr std::uint32_t kBaseUsableBits = kBaseAddressMask | kBaseIoSpace;

// The register map, offsets from GPIOBASE. Bit i of each register is the i-th pin of its bank.
struct TIchBank {
  std::uint8_t FirstPin;
  std::uint8_t UseSelect;  // GPIO_USE_SEL: 1 = the pin is a GPIO, 0 = its native function
  std::uint8_t IoSelect;   // GP_IO_SEL: 1 = input, 0 = output
  std::uint8_t Level;      // GP_LVL
  bool HasInvert;          // GPI_INV (bank 0 only)
};
constexpr std::uint8_t kInputInvert = 0x2C;  // GPI_INV
constexpr TIchBank kBanks[] = {
    /* 0: GPIO0-31  */ {0, 0x00, 0x04, 0x0C, true},
    /* 1: GPIO32-63 */ {32, 0x30, 0x34, 0x38, false},
    /* 2: GPIO64-95 */ {64, 0x40, 0x44, 0x48, false},
};
constexpr std::uint32_t kPinsPerBank = 32;

bool Usable(std::uint32_t value) {
  return (value & kBaseIoSpace) != 0 && (value & ~kBaseUsableBits) == 0;
}

}  // namespace

TIch::TIch() {
  PinCount = kPinCount;
  BankNaming = 0;
  NameOffset = 0;
  FillGPIOStates(GPIO, GPIO_DISABLED, sizeof GPIO);
  m_NoGpioBase = 1;
  for (std::uint8_t reg : kGpioBaseRegisters) {
    const std::uint32_t value = ReadWrite.ReadPciDword(kLpcBus, kLpcDevice, kLpcFunction, reg);
    if (Usable(value)) {
      m_GpioBase = static_cast<std::uint16_t>(value & kBaseAddressMask);
      m_NoGpioBase = 0;
      return;
    }
  }
}

TIch::~TIch() = default;

void TIch::ReadGPIO() {
  if (m_NoGpioBase != 0) return;
  for (const TIchBank& bank : kBanks) {
    const std::uint32_t use = ReadWrite.ReadIoDword(m_GpioBase + bank.UseSelect);
    const std::uint32_t level = ReadWrite.ReadIoDword(m_GpioBase + bank.Level);
    const std::uint32_t io = ReadWrite.ReadIoDword(m_GpioBase + bank.IoSelect);
    // The level is reported as GP_LVL holds it: GPI_INV only inverts the event logic.
    DecodeGPIOBank(0, 1, io, level, 0, use, &GPIO[bank.FirstPin], kPinsPerBank);
  }
}

void TIch::Modify(std::uint8_t offset, std::uint32_t clear, std::uint32_t set) {
  const auto port = static_cast<std::uint16_t>(m_GpioBase + offset);
  const std::uint32_t value = ReadWrite.ReadIoDword(port);
  ReadWrite.WriteIoDword(port, (value & ~clear) | set);
}

void TIch::WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) {
  if (m_NoGpioBase != 0 || Pin >= kPinCount) return;
  const TIchBank& bank = kBanks[Pin / kPinsPerBank];
  const std::uint32_t mask = 1u << (Pin - bank.FirstPin);
  // Whatever the mode, the pin becomes a GPIO first.
  Modify(bank.UseSelect, 0, mask);
  if (bank.HasInvert) Modify(kInputInvert, mask, 0);
  switch (Mode) {
    case GPIO_INPUT_LOW:
    case GPIO_INPUT_HIGH:
    case GPIO_INPUT:
      Modify(bank.IoSelect, 0, mask);  // the level register is the pin's to drive
      break;
    case GPIO_OUTPUT_LOW:
      Modify(bank.IoSelect, mask, 0);
      Modify(bank.Level, mask, 0);
      break;
    case GPIO_OUTPUT_HIGH:
      Modify(bank.IoSelect, mask, 0);
      Modify(bank.Level, 0, mask);
      break;
    default:
      break;  // a not-GPIO word: the pin stays a GPIO with direction and level unchanged
  }
}

void TIch::EnableGPIOGroup(std::uint8_t) {}

void TIch::ListGPIOState(std::vector<std::wstring>& lines) {
  if (m_NoGpioBase != 0) return;
  TGpioBase::ListGPIOState(lines);
}

static_assert(std::size(kBanks) * kPinsPerBank == TIch::kPinCount);
