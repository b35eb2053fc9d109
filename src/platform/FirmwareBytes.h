#pragma once
// Little-endian field access into firmware data held in a byte buffer. Every read is
// checked against the buffer's end: firmware tables are untrusted, and a field that lies
// past the end of its table reads as absent instead of touching memory beyond the buffer.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace firmware {

inline std::optional<std::uint8_t> Byte(std::span<const std::uint8_t> data, std::size_t offset) {
  if (offset >= data.size()) return std::nullopt;
  return data[offset];
}

inline std::optional<std::uint16_t> Word(std::span<const std::uint8_t> data, std::size_t offset) {
  if (offset > data.size() || data.size() - offset < 2) return std::nullopt;
  return static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
}

inline std::optional<std::uint32_t> Dword(std::span<const std::uint8_t> data,
                                          std::size_t offset) {
  if (offset > data.size() || data.size() - offset < 4) return std::nullopt;
  return static_cast<std::uint32_t>(data[offset]) |
         static_cast<std::uint32_t>(data[offset + 1]) << 8 |
         static_cast<std::uint32_t>(data[offset + 2]) << 16 |
         static_cast<std::uint32_t>(data[offset + 3]) << 24;
}

// 8-bit sum of the bytes; firmware structures are valid when it is 0.
inline std::uint8_t Sum8(std::span<const std::uint8_t> data) {
  std::uint8_t sum = 0;
  for (std::uint8_t b : data) sum = static_cast<std::uint8_t>(sum + b);
  return sum;
}

}  // namespace firmware
