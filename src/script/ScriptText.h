#pragma once
// Lexical rules and number formats of the command language.
//
// Numbers: decimal within the signed 32-bit range (optional sign), or hexadecimal with a
// "0x" prefix up to 0xFFFFFFFF; a token that does not begin with "0X" and ends in "H" is
// hexadecimal without the prefix (2EH = 0x2E). Variable indexes are hexadecimal digits
// (Local0A is LocalA). Message formats: hex2/hex4/hex8/hex16 ("0x" and exactly that many
// upper-case digits of the low bits), hexmin ("0x" and the digits without leading zeros),
// val (hex8, then the signed decimal in parentheses).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace script {

// Blanks are every character up to and including the space (tabs, line ends, NUL).
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }
std::string_view Trim(std::string_view text);
std::string_view TrimLeft(std::string_view text);

// A numeric operand token (already upper case). False when it is not a number.
bool ParseNumber(std::string_view token, std::uint32_t& value);
// The index text of a variable (what follows "LOCAL", up to the first "=" or the end):
// 0..15, or -1 when it is not a hexadecimal number below 16.
int ParseLocalIndex(std::string_view text);

// The variable message: "Support 16 local variables only, i.e. Local# where # is in hex
// from 0 to 0F".
extern const char kVariableMessage[];

// A status line being built: a fixed buffer, so that the line of every statement costs
// no allocation. Texts of unbounded length (file names) are cut at the capacity, which is
// far beyond any line the commands build around them.
struct Hex {
  std::uint64_t Value;
  int Digits;
};
struct HexMin {
  std::uint64_t Value;
};
struct Dec {
  std::uint64_t Value;
};
struct Val {
  std::int32_t Value;
};

class TText {
 public:
  TText& operator<<(std::string_view text) {
    std::size_t n = text.size() < kCapacity - m_Size ? text.size() : kCapacity - m_Size;
    if (n != 0) std::memcpy(m_Buffer + m_Size, text.data(), n);
    m_Size += n;
    return *this;
  }
  TText& operator<<(char c) {
    if (m_Size < kCapacity) m_Buffer[m_Size++] = c;
    return *this;
  }
  TText& operator<<(Hex hex);
  TText& operator<<(HexMin hex);
  TText& operator<<(Dec dec);
  TText& operator<<(Val val);
  std::string_view View() const { return {m_Buffer, m_Size}; }

 private:
  static constexpr std::size_t kCapacity = 1024;
  char m_Buffer[kCapacity];
  std::size_t m_Size = 0;
};

void AppendHex(std::string& out, std::uint64_t value, int digits);
void AppendHexMin(std::string& out, std::uint64_t value);
void AppendDecimal(std::string& out, std::uint64_t value);
void AppendSigned(std::string& out, std::int64_t value);
// hex8(v) + " (" + signed decimal + ")"
void AppendVal(std::string& out, std::int32_t value);
// "Operand range is 0 to " + hexmin(maximum) + "!"
std::string RangeMessage(std::uint32_t maximum);

// bits8/bits16/bits32 and bits64(high, low): groups of eight "0"/"1", most significant
// first, joined by "-".
void AppendBits(std::string& out, std::uint64_t value, int bytes);

inline constexpr char kRuler64[] =
    "63    56 55    48 47    40 39    32 31    24 23    16 15     8 7      0";
inline constexpr char kRuler32[] =
    "                 31    24 23    16 15     8 7      0";

// Digits of the offsets of a hex dump of `length` bytes: the hexadecimal digits of
// length - 1, at least one (a dump of 0 bytes is the header line alone).
int DumpOffsetDigits(std::size_t length);
// The header line of a hex dump with offsets of `width` digits.
std::string DumpHeader(int width);
// One row of up to 16 bytes at `offset`.
std::string DumpRow(std::size_t offset, int width, const std::uint8_t* bytes, std::size_t count);

}  // namespace script
