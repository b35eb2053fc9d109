#include "sim/RegisterPorts.h"

#include <nlohmann/json.hpp>

TRegisterPorts::TRegisterPorts(std::string name, std::uint16_t first,
                               std::vector<std::uint8_t> values, bool readOnly)
    : m_Name(std::move(name)), m_First(first), m_Values(std::move(values)), m_ReadOnly(readOnly) {
  if (m_Values.empty()) m_Values.push_back(0xFF);
  if (static_cast<std::size_t>(m_First) + m_Values.size() > 0x10000) {
    m_Values.resize(0x10000 - m_First);
  }
}

std::vector<std::pair<std::uint16_t, std::uint16_t>> TRegisterPorts::Ports() const {
  return {{m_First, static_cast<std::uint16_t>(m_First + m_Values.size() - 1)}};
}

std::uint32_t TRegisterPorts::Read(std::uint16_t port, unsigned width) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width; ++i) {
    const std::size_t at = static_cast<std::size_t>(port - m_First) + i;
    const std::uint8_t byte = at < m_Values.size() ? m_Values[at] : 0xFF;
    value |= static_cast<std::uint32_t>(byte) << (8 * i);
  }
  return value;
}

void TRegisterPorts::Write(std::uint16_t port, unsigned width, std::uint32_t value) {
  if (m_ReadOnly) return;
  for (unsigned i = 0; i < width; ++i) {
    const std::size_t at = static_cast<std::size_t>(port - m_First) + i;
    if (at < m_Values.size()) m_Values[at] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

nlohmann::json TRegisterPorts::Report() const { return nlohmann::json(m_Values); }

TIndexDataPorts::TIndexDataPorts(std::string name, std::uint16_t indexPort,
                                 std::uint16_t dataPort)
    : m_Name(std::move(name)), m_IndexPort(indexPort), m_DataPort(dataPort) {}

std::vector<std::pair<std::uint16_t, std::uint16_t>> TIndexDataPorts::Ports() const {
  if (m_IndexPort == m_DataPort) return {{m_IndexPort, m_IndexPort}};
  return {{m_IndexPort, m_IndexPort}, {m_DataPort, m_DataPort}};
}

// Only the low byte of a wider cycle reaches the 8-bit registers.
std::uint32_t TIndexDataPorts::Read(std::uint16_t port, unsigned width) {
  const std::uint32_t high = width >= 4 ? 0xFFFFFF00u : ((1u << (8 * width)) - 1) & ~0xFFu;
  if (port == m_IndexPort) return high | Index;
  return high | Registers[Index];
}

void TIndexDataPorts::Write(std::uint16_t port, unsigned, std::uint32_t value) {
  if (port == m_IndexPort) {
    Index = static_cast<std::uint8_t>(value);
  } else {
    Registers[Index] = static_cast<std::uint8_t>(value);
  }
}
