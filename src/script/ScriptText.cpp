#include "script/ScriptText.h"

namespace script {

const char kVariableMessage[] =
    "Support 16 local variables only, i.e. Local# where # is in hex from 0 to 0F";

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

std::string_view TrimLeft(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  return text.substr(first);
}

std::string_view Trim(std::string_view text) {
  text = TrimLeft(text);
  std::size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

namespace {
bool ParseHexDigits(std::string_view digits, std::uint32_t& value) {
  if (digits.empty()) return false;
  std::uint64_t v = 0;
  for (char c : digits) {
    int d = HexValue(c);
    if (d < 0) return false;
    v = v << 4 | static_cast<unsigned>(d);
    if (v > 0xFFFFFFFFu) return false;
  }
  value = static_cast<std::uint32_t>(v);
  return true;
}

bool ParseDecimal(std::string_view text, std::uint32_t& value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  std::uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
    if (v > 0x80000000u) return false;
  }
  if (!negative && v > 0x7FFFFFFFu) return false;
  value = static_cast<std::uint32_t>(negative ? 0 - v : v);
  return true;
}

bool HasHexPrefix(std::string_view text) {
  return text.size() >= 2 && text[0] == '0' && (text[1] == 'X' || text[1] == 'x');
}
}  // namespace

bool ParseNumber(std::string_view token, std::uint32_t& value) {
  if (HasHexPrefix(token)) return ParseHexDigits(token.substr(2), value);
  if (!token.empty() && (token.back() == 'H' || token.back() == 'h')) {
    // 2EH: the "H" is dropped and the rest is read as if written 0x2E.
    return ParseHexDigits(token.substr(0, token.size() - 1), value);
  }
  return ParseDecimal(token, value);
}

int ParseLocalIndex(std::string_view text) {
  std::size_t equals = text.find('=');
  if (equals != std::string_view::npos) text = text.substr(0, equals);
  if (text.empty()) return -1;
  unsigned v = 0;
  for (char c : text) {
    int d = HexValue(c);
    if (d < 0) return -1;
    v = v << 4 | static_cast<unsigned>(d);
    if (v > 15) return -1;  // only leading zeros may precede the one digit
  }
  return static_cast<int>(v);
}

TText& TText::operator<<(Hex hex) {
  if (m_Size + 2 + static_cast<std::size_t>(hex.Digits) > kCapacity) return *this;
  m_Buffer[m_Size] = '0';
  m_Buffer[m_Size + 1] = 'x';
  char* digits = m_Buffer + m_Size + 2;
  for (int i = hex.Digits - 1; i >= 0; --i) {
    digits[i] = kHexDigits[hex.Value & 0xF];
    hex.Value >>= 4;
  }
  m_Size += 2 + static_cast<std::size_t>(hex.Digits);
  return *this;
}

TText& TText::operator<<(HexMin hex) {
  int digits = 1;
  while (digits < 16 && (hex.Value >> (4 * digits)) != 0) ++digits;
  return *this << Hex{hex.Value, digits};
}

TText& TText::operator<<(Dec dec) {
  char buffer[20];
  int n = 0;
  do {
    buffer[sizeof buffer - 1 - n++] = static_cast<char>('0' + dec.Value % 10);
    dec.Value /= 10;
  } while (dec.Value != 0);
  return *this << std::string_view(buffer + sizeof buffer - n, static_cast<std::size_t>(n));
}

TText& TText::operator<<(Val val) {
  *this << Hex{static_cast<std::uint32_t>(val.Value), 8} << " (";
  if (val.Value < 0) {
    *this << '-' << Dec{0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(val.Value))};
  } else {
    *this << Dec{static_cast<std::uint64_t>(val.Value)};
  }
  return *this << ')';
}

void AppendHex(std::string& out, std::uint64_t value, int digits) {
  char buffer[18] = {'0', 'x'};
  for (int i = 0; i < digits; ++i) buffer[2 + digits - 1 - i] = kHexDigits[(value >> (4 * i)) & 0xF];
  out.append(buffer, static_cast<std::size_t>(2 + digits));
}

void AppendHexMin(std::string& out, std::uint64_t value) {
  int digits = 1;
  while (digits < 16 && (value >> (4 * digits)) != 0) ++digits;
  AppendHex(out, value, digits);
}

void AppendDecimal(std::string& out, std::uint64_t value) {
  char buffer[20];
  int n = 0;
  do {
    buffer[sizeof buffer - 1 - n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  out.append(buffer + sizeof buffer - n, static_cast<std::size_t>(n));
}

void AppendSigned(std::string& out, std::int64_t value) {
  if (value < 0) {
    out.push_back('-');
    AppendDecimal(out, 0 - static_cast<std::uint64_t>(value));
  } else {
    AppendDecimal(out, static_cast<std::uint64_t>(value));
  }
}

void AppendVal(std::string& out, std::int32_t value) {
  AppendHex(out, static_cast<std::uint32_t>(value), 8);
  out.append(" (");
  AppendSigned(out, value);
  out.push_back(')');
}

std::string RangeMessage(std::uint32_t maximum) {
  std::string text = "Operand range is 0 to ";
  AppendHexMin(text, maximum);
  text.push_back('!');
  return text;
}

void AppendBits(std::string& out, std::uint64_t value, int bytes) {
  for (int b = bytes - 1; b >= 0; --b) {
    unsigned byte = static_cast<unsigned>(value >> (8 * b)) & 0xFF;
    for (int bit = 7; bit >= 0; --bit) out.push_back((byte >> bit) & 1 ? '1' : '0');
    if (b != 0) out.push_back('-');
  }
}

int DumpOffsetDigits(std::size_t length) {
  std::size_t last = length == 0 ? 0 : length - 1;
  int digits = 1;
  while ((last >> (4 * digits)) != 0 && digits < 16) ++digits;
  return digits;
}

std::string DumpHeader(int width) {
  std::string line(static_cast<std::size_t>(width), ' ');
  for (int k = 0; k < 16; ++k) {
    line.push_back(' ');
    line.push_back('0');
    line.push_back(kHexDigits[k]);
  }
  line.push_back('\t');
  line.append(kHexDigits, 16);
  return line;
}

std::string DumpRow(std::size_t offset, int width, const std::uint8_t* bytes, std::size_t count) {
  std::string line;
  line.reserve(static_cast<std::size_t>(width) + 65);
  for (int i = width - 1; i >= 0; --i) line.push_back(kHexDigits[(offset >> (4 * i)) & 0xF]);
  for (std::size_t k = 0; k < 16; ++k) {
    line.push_back(' ');
    if (k < count) {
      line.push_back(kHexDigits[bytes[k] >> 4]);
      line.push_back(kHexDigits[bytes[k] & 0xF]);
    } else {
      line.append("  ");
    }
  }
  line.push_back('\t');
  for (std::size_t k = 0; k < 16; ++k) {
    if (k >= count) {
      line.push_back(' ');
    } else {
      char c = static_cast<char>(bytes[k]);
      line.push_back(bytes[k] >= 0x20 && bytes[k] <= 0x7E ? c : '.');
    }
  }
  return line;
}

}  // namespace script
