#include "sim/IchGpio.h"

#include <cstring>
#include <utility>

#include <nlohmann/json.hpp>

#include "sim/VirtualBoard.h"

namespace {

// One row per bank of 32 pins: its USE_SEL, IO_SEL and LVL registers (byte offsets).
struct TBankRegisters {
  std::uint8_t UseSelect;
  std::uint8_t IoSelect;
  std::uint8_t Level;
};
constexpr TBankRegisters kBanks[] = {
    /* GPIO0-31  */ {0x00, 0x04, 0x0C},
    /* GPIO32-63 */ {0x30, 0x34, 0x38},
    /* GPIO64-95 */ {0x40, 0x44, 0x48},
};

constexpr std::uint32_t Mask(unsigned width) {
  return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

}  // namespace

TIchGpio::TIchGpio(std::string name, std::uint16_t base) : m_Name(std::move(name)), m_Base(base) {
  for (unsigned pin = 0; pin < kPins; ++pin) {
    m_LastState[pin] = PinState(pin);
    m_LastLevel[pin] = PinLevel(pin) != 0;
  }
}

std::vector<std::pair<std::uint16_t, std::uint16_t>> TIchGpio::Ports() const {
  return {{m_Base, static_cast<std::uint16_t>(m_Base + kBlockSize - 1)}};
}

std::uint32_t TIchGpio::ReadDword(unsigned index) const {
  for (unsigned b = 0; b < std::size(kBanks); ++b) {
    if (index * 4 != kBanks[b].Level) continue;
    const std::uint32_t use = m_Regs[kBanks[b].UseSelect / 4];
    const std::uint32_t io = m_Regs[kBanks[b].IoSelect / 4];
    const std::uint32_t outputs = use & ~io;  // GPIOs driven by the latch
    std::uint32_t pins = 0;
    for (unsigned i = 0; i < 32; ++i) pins |= static_cast<std::uint32_t>(m_Inputs[b * 32 + i]) << i;
    return (m_Regs[index] & outputs) | (pins & ~outputs);
  }
  return m_Regs[index];
}

std::uint32_t TIchGpio::Read(std::uint16_t port, unsigned width) {
  const unsigned offset = static_cast<unsigned>(port - m_Base);
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width && offset + i < kBlockSize; ++i) {
    const unsigned at = offset + i;
    value |= ((ReadDword(at / 4) >> (8 * (at % 4))) & 0xFF) << (8 * i);
  }
  return value & Mask(width);
}

void TIchGpio::Write(std::uint16_t port, unsigned width, std::uint32_t value) {
  const unsigned offset = static_cast<unsigned>(port - m_Base);
  for (unsigned i = 0; i < width && offset + i < kBlockSize; ++i) {
    const unsigned at = offset + i;
    const unsigned shift = 8 * (at % 4);
    std::uint32_t& reg = m_Regs[at / 4];
    reg = (reg & ~(0xFFu << shift)) | (((value >> (8 * i)) & 0xFF) << shift);
  }
  RecordChangedPins();
}

void TIchGpio::SetRegister(std::uint8_t offset, std::uint32_t value) {
  m_Regs[(offset & 0x7F) / 4] = value;
  for (unsigned pin = 0; pin < kPins; ++pin) {
    m_LastState[pin] = PinState(pin);
    m_LastLevel[pin] = PinLevel(pin) != 0;
  }
}

void TIchGpio::SetInputLevel(unsigned pin, bool high) {
  if (pin >= kPins) return;
  m_Inputs[pin] = high;
  m_LastState[pin] = PinState(pin);
  m_LastLevel[pin] = PinLevel(pin) != 0;
}

const char* TIchGpio::PinState(unsigned pin) const {
  const TBankRegisters& bank = kBanks[pin / 32];
  const std::uint32_t bit = 1u << (pin % 32);
  if ((m_Regs[bank.UseSelect / 4] & bit) == 0) return "not_gpio";
  if (m_Regs[bank.IoSelect / 4] & bit) return "input";
  return (m_Regs[bank.Level / 4] & bit) ? "output_high" : "output_low";
}

int TIchGpio::PinLevel(unsigned pin) const {
  return static_cast<int>((ReadDword(kBanks[pin / 32].Level / 4) >> (pin % 32)) & 1u);
}

void TIchGpio::RecordChangedPins() {
  for (unsigned pin = 0; pin < kPins; ++pin) {
    const char* state = PinState(pin);
    const int level = PinLevel(pin);
    if (std::strcmp(state, m_LastState[pin]) == 0 && m_LastLevel[pin] == (level != 0)) continue;
    m_LastState[pin] = state;
    m_LastLevel[pin] = level != 0;
    if (Board == nullptr) continue;
    Board->Trace().Pin({{"owner", "ich"},
                        {"chip", m_Name},
                        {"port", m_Base},
                        {"pin", "GPIO" + std::to_string(pin)},
                        {"state", state},
                        {"level", level}});
  }
}
