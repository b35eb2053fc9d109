#pragma once
// The hardware monitor of a virtual Super I/O chip: an index/data pair at base + 5 / base + 6,
// where base is the address in registers 0x60/0x61 of the chip's logical device 0x0B when the
// board is loaded. Registers are banked: the low nibble of register 0x4E (visible in every
// bank) selects the bank of every other register.

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <string>

#include "sim/PortDevice.h"

class THardwareMonitor : public TPortDevice {
 public:
  static constexpr std::uint8_t kBankSelect = 0x4E;

  THardwareMonitor(std::string chipName, std::uint16_t base);

  std::vector<std::pair<std::uint16_t, std::uint16_t>> Ports() const override;
  std::uint32_t Read(std::uint16_t port, unsigned width) override;
  void Write(std::uint16_t port, unsigned width, std::uint32_t value) override;
  std::string Name() const override;

  // Set-up and inspection; not port cycles.
  void SetRegister(std::uint8_t bank, std::uint8_t reg, std::uint8_t value, bool readOnly = false);
  std::uint8_t Register(std::uint8_t bank, std::uint8_t reg) const;
  std::uint8_t CurrentBank() const { return m_BankSelect & 0x0F; }
  std::uint16_t Base() const { return m_Base; }

 private:
  struct TBank {
    std::array<std::uint8_t, 256> Regs{};
    std::bitset<256> ReadOnly;
  };

  std::string m_ChipName;
  std::uint16_t m_Base;
  std::uint8_t m_Index = 0;
  std::uint8_t m_BankSelect = 0;
  std::map<std::uint8_t, TBank> m_Banks;  // banks 0..15, created when first named
};
