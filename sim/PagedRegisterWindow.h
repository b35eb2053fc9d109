#pragma once
// The paged register window of a virtual NCT6683D: three byte ports at the base of the chip's
// logical device 0x0B — page register (base), index (base + 1), data (base + 2) — reaching
// 256 pages of 256 registers. Writing 0xFF to the page register closes the window: while it
// is closed the data port reads 0xFF and ignores writes, as no page is mapped. Every opening
// and closing of the window is a state event in the board's trace.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "sim/PortDevice.h"

class TPagedRegisterWindow : public TPortDevice {
 public:
  static constexpr std::uint8_t kClosed = 0xFF;

  TPagedRegisterWindow(std::string chipName, std::uint16_t base);

  std::vector<std::pair<std::uint16_t, std::uint16_t>> Ports() const override;
  std::uint32_t Read(std::uint16_t port, unsigned width) override;
  void Write(std::uint16_t port, unsigned width, std::uint32_t value) override;
  std::string Name() const override;
  // {"page"}: the page left open at the end of the run (or "closed").
  nlohmann::json Report() const override;

  // Set-up and inspection; not port cycles.
  void SetRegister(std::uint8_t page, std::uint8_t index, std::uint8_t value);
  std::uint8_t Register(std::uint8_t page, std::uint8_t index) const;
  std::uint8_t Page() const { return m_Page; }
  std::uint16_t Base() const { return m_Base; }

  // Whether the chip model `chipName` has such a window.
  static bool ModelHasWindow(std::string_view chipName);

 private:
  std::string m_ChipName;
  std::uint16_t m_Base;
  std::uint8_t m_Page = kClosed;
  std::uint8_t m_Index = 0;
  std::map<std::uint8_t, std::array<std::uint8_t, 256>> m_Pages;  // created when first written
};
