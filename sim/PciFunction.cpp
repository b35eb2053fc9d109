#include "sim/PciFunction.h"

TPciFunction::TPciFunction(std::vector<std::uint8_t> config) : m_Config(std::move(config)) {
  if (m_Config.size() > 4096) m_Config.resize(4096);
  if (m_Config.size() < 256) m_Config.resize(256, 0xFF);
}

std::uint32_t TPciFunction::Read(std::uint16_t reg, unsigned width) {
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width; ++i) {
    const std::size_t at = static_cast<std::size_t>(reg) + i;
    const std::uint8_t byte = at < m_Config.size() ? m_Config[at] : 0xFF;
    value |= static_cast<std::uint32_t>(byte) << (8 * i);
  }
  return value;
}

void TPciFunction::Write(std::uint16_t reg, unsigned width, std::uint32_t value) {
  for (unsigned i = 0; i < width; ++i) {
    const std::size_t at = static_cast<std::size_t>(reg) + i;
    const bool identity = at <= 0x03 || (at >= 0x08 && at <= 0x0B) || at == 0x0E;
    if (at < m_Config.size() && !identity) m_Config[at] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

std::vector<std::uint8_t> TPciFunction::Header(std::uint16_t vendorId, std::uint16_t deviceId,
                                               std::uint32_t classCode, std::uint8_t revision,
                                               std::uint8_t headerType, std::size_t size) {
  std::vector<std::uint8_t> config(size == 4096 ? 4096 : 256, 0);
  config[0] = static_cast<std::uint8_t>(vendorId);
  config[1] = static_cast<std::uint8_t>(vendorId >> 8);
  config[2] = static_cast<std::uint8_t>(deviceId);
  config[3] = static_cast<std::uint8_t>(deviceId >> 8);
  config[8] = revision;
  config[9] = static_cast<std::uint8_t>(classCode);
  config[10] = static_cast<std::uint8_t>(classCode >> 8);
  config[11] = static_cast<std::uint8_t>(classCode >> 16);
  config[0x0E] = headerType;
  return config;
}
