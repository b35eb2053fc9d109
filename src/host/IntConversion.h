#pragma once
// Text-to-integer conversion with the rules of the run-time library the tool was built on
// (its StrToInt / StrToIntDef): leading blanks (spaces), an optional "+" or "-", then
// either decimal digits or hexadecimal digits after a "$", "x" or "0x" prefix (any letter
// case). Nothing may follow the digits — not even a blank. Decimal values must fit a signed
// 32-bit integer; hexadecimal values may use all 32 bits ("$FFFFFFFF" is -1).

#include <cstdint>
#include <string_view>

namespace host {

// True and `value` set when the whole text is one integer by the rules above; false and
// `value` untouched otherwise.
bool TryStrToInt(std::wstring_view text, std::int32_t& value);
bool TryStrToInt(std::string_view text, std::int32_t& value);

// The converted value, or `fallback` when the text is not an integer.
std::int32_t StrToIntDef(std::wstring_view text, std::int32_t fallback);

}  // namespace host
