#include "sim/HardwareMonitor.h"

#include <cstdio>
#include <utility>

THardwareMonitor::THardwareMonitor(std::string chipName, std::uint16_t base)
    : m_ChipName(std::move(chipName)), m_Base(base) {}

std::vector<std::pair<std::uint16_t, std::uint16_t>> THardwareMonitor::Ports() const {
  return {{static_cast<std::uint16_t>(m_Base + 5), static_cast<std::uint16_t>(m_Base + 6)}};
}

std::string THardwareMonitor::Name() const {
  char base[8];
  std::snprintf(base, sizeof base, "0x%04X", m_Base);
  return "hwm " + m_ChipName + " @" + base;
}

void THardwareMonitor::SetRegister(std::uint8_t bank, std::uint8_t reg, std::uint8_t value,
                                   bool readOnly) {
  if (reg == kBankSelect) {
    m_BankSelect = value;
    return;
  }
  TBank& b = m_Banks[bank & 0x0F];
  b.Regs[reg] = value;
  b.ReadOnly[reg] = readOnly;
}

std::uint8_t THardwareMonitor::Register(std::uint8_t bank, std::uint8_t reg) const {
  if (reg == kBankSelect) return m_BankSelect;
  const auto it = m_Banks.find(bank & 0x0F);
  return it == m_Banks.end() ? 0x00 : it->second.Regs[reg];
}

std::uint32_t THardwareMonitor::Read(std::uint16_t port, unsigned width) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width && i < 4; ++i) {
    const std::uint16_t p = static_cast<std::uint16_t>(port + i);
    std::uint8_t byte = 0xFF;
    if (p == m_Base + 5)
      byte = m_Index;
    else if (p == m_Base + 6)
      byte = Register(CurrentBank(), m_Index);
    value |= static_cast<std::uint32_t>(byte) << (8 * i);
  }
  return value;
}

void THardwareMonitor::Write(std::uint16_t port, unsigned width, std::uint32_t value) {
  for (unsigned i = 0; i < width && i < 4; ++i) {
    const std::uint16_t p = static_cast<std::uint16_t>(port + i);
    const std::uint8_t byte = static_cast<std::uint8_t>(value >> (8 * i));
    if (p == m_Base + 5) {
      m_Index = byte;
    } else if (p == m_Base + 6) {
      if (m_Index == kBankSelect) {
        m_BankSelect = byte;
        continue;
      }
      TBank& bank = m_Banks[CurrentBank()];
      if (!bank.ReadOnly[m_Index]) bank.Regs[m_Index] = byte;
    }
  }
}
