#include "sim/PagedRegisterWindow.h"

#include <cstdio>
#include <utility>

#include "sim/VirtualBoard.h"

namespace {
std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}
}  // namespace

TPagedRegisterWindow::TPagedRegisterWindow(std::string chipName, std::uint16_t base)
    : m_ChipName(std::move(chipName)), m_Base(base) {}

bool TPagedRegisterWindow::ModelHasWindow(std::string_view chipName) {
  return chipName == "NCT6683D";
}

std::vector<std::pair<std::uint16_t, std::uint16_t>> TPagedRegisterWindow::Ports() const {
  return {{m_Base, static_cast<std::uint16_t>(m_Base + 2)}};
}

std::string TPagedRegisterWindow::Name() const {
  return "paged window " + m_ChipName + " @" + Hex(m_Base, 4);
}

nlohmann::json TPagedRegisterWindow::Report() const {
  return {{"window", Name()}, {"page", m_Page == kClosed ? std::string("closed") : Hex(m_Page, 2)}};
}

void TPagedRegisterWindow::SetRegister(std::uint8_t page, std::uint8_t index, std::uint8_t value) {
  m_Pages[page].at(index) = value;
}

std::uint8_t TPagedRegisterWindow::Register(std::uint8_t page, std::uint8_t index) const {
  const auto it = m_Pages.find(page);
  return it == m_Pages.end() ? 0x00 : it->second.at(index);
}

std::uint32_t TPagedRegisterWindow::Read(std::uint16_t port, unsigned width) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width && i < 4; ++i) {
    const auto p = static_cast<std::uint16_t>(port + i);
    std::uint8_t byte = 0xFF;
    if (p == m_Base)
      byte = m_Page;
    else if (p == m_Base + 1)
      byte = m_Index;
    else if (p == m_Base + 2 && m_Page != kClosed)
      byte = Register(m_Page, m_Index);
    value |= static_cast<std::uint32_t>(byte) << (8 * i);
  }
  return value;
}

void TPagedRegisterWindow::Write(std::uint16_t port, unsigned width, std::uint32_t value) {
  for (unsigned i = 0; i < width && i < 4; ++i) {
    const auto p = static_cast<std::uint16_t>(port + i);
    const auto byte = static_cast<std::uint8_t>(value >> (8 * i));
    if (p == m_Base) {
      if (byte != m_Page && Board != nullptr)
        Board->Trace().State(Name(), {{"page", byte == kClosed ? std::string("closed") : Hex(byte, 2)}});
      m_Page = byte;
    } else if (p == m_Base + 1) {
      m_Index = byte;
    } else if (p == m_Base + 2 && m_Page != kClosed) {
      m_Pages[m_Page][m_Index] = byte;
    }
  }
}
