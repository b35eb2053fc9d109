#include "host/IntConversion.h"

namespace host {
namespace {

int HexDigit(std::uint32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  return -1;
}

template <typename Char>
bool Convert(std::basic_string_view<Char> text, std::int32_t& value) {
  auto at = [&text](std::size_t i) -> std::uint32_t {
    return i < text.size() ? static_cast<std::uint32_t>(text[i]) : 0u;
  };
  std::size_t i = 0;
  while (at(i) == ' ') ++i;
  bool negative = false;
  if (at(i) == '-') {
    negative = true;
    ++i;
  } else if (at(i) == '+') {
    ++i;
  }
  bool hex = false;
  if (at(i) == '$' || at(i) == 'x' || at(i) == 'X') {
    hex = true;
    ++i;
  } else if (at(i) == '0' && (at(i + 1) == 'x' || at(i + 1) == 'X')) {
    hex = true;
    i += 2;
  }
  std::size_t firstDigit = i;
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    std::uint32_t c = at(i);
    int digit = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? static_cast<int>(c - '0') : -1);
    if (digit < 0) return false;  // anything after the digits, a blank included
    magnitude = magnitude * (hex ? 16u : 10u) + static_cast<std::uint64_t>(digit);
    // Decimal: up to 2^31 (the magnitude of the lowest value); hexadecimal: 32 bits.
    if (magnitude > (hex ? 0xFFFFFFFFull : 0x80000000ull)) return false;
  }
  if (i == firstDigit) return false;  // no digits at all
  if (!hex && !negative && magnitude > 0x7FFFFFFFull) return false;
  std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  value = static_cast<std::int32_t>(bits);
  return true;
}

}  // namespace

bool TryStrToInt(std::wstring_view text, std::int32_t& value) { return Convert(text, value); }

bool TryStrToInt(std::string_view text, std::int32_t& value) { return Convert(text, value); }

std::int32_t StrToIntDef(std::wstring_view text, std::int32_t fallback) {
  std::int32_t value = fallback;
  return TryStrToInt(text, value) ? value : fallback;
}

}  // namespace host
