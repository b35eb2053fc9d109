#include "gpio/GpioBase.h"

#include <functional>

#include "diag/DebugConsole.h"
#include "diag/RunTrace.h"
#include "host/Console.h"
#include "host/IntConversion.h"

namespace {

// Trim as the run-time library does it: every character up to and including the blank
// (control characters too) goes at both ends.
std::wstring Trim(std::wstring_view text) {
  while (!text.empty() && static_cast<std::uint32_t>(text.front()) <= L' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<std::uint32_t>(text.back()) <= L' ') text.remove_suffix(1);
  return std::wstring(text);
}

// Upper-casing of setting strings. The words and pin names of the grammar are all ASCII,
// so only ASCII letters are changed; every other character (any code point, valid or not)
// is kept as it is and simply matches nothing. A locale-aware upper-casing would turn a
// few non-ASCII letters into ASCII ones (the dotless i into "I", the long s into "S") and
// so accept text that does not spell the keyword; here such text is rejected.
wchar_t UpperAscii(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}

int DigitValue(const std::wstring& text, std::size_t index) {
  if (index >= text.size()) return 255;
  wchar_t c = text[index];
  return (c >= L'0' && c <= L'9') ? static_cast<int>(c - L'0') : 255;
}

std::uint8_t ModeOfWord(const std::wstring& word) {
  if (word == L"INPUTLOW" || word == L"INPUT_LOW") return GPIO_INPUT_LOW;
  if (word == L"INPUTHIGH" || word == L"INPUT_HIGH") return GPIO_INPUT_HIGH;
  if (word == L"INPUT") return GPIO_INPUT;
  if (word == L"LOW") return GPIO_OUTPUT_LOW;
  if (word == L"HIGH") return GPIO_OUTPUT_HIGH;
  if (word == L"GPIO_NOT_GPIO_LOW") return GPIO_NOT_GPIO_LOW;
  if (word == L"GPIO_NOT_GPIO_HIGH") return GPIO_NOT_GPIO_HIGH;
  return GPIO_NOT_GPIO;
}

// Pin arithmetic is modulo 256 (the pin index is one byte); NameOffset may be any 32-bit
// value, so the sum is formed in 64 bits before its low byte is taken.
std::uint8_t LowByte(std::int64_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

}  // namespace

bool TGpioBase::InterpretGPIOString(const std::wstring& token, std::uint8_t& Pin,
                                    std::uint8_t& Mode) {
  if (token.find(L"::") != std::wstring::npos) return true;
  if (token.rfind(L"GPIO", 0) != 0) return false;
  if (BankNaming != 0) {
    int bank = DigitValue(token, 4);
    if (bank == 255) return false;
    int bit = DigitValue(token, 5);
    if (bit == 255) {
      bit = bank;
      bank = 0;
    }
    Pin = LowByte(bit + (static_cast<std::int64_t>(bank) - NameOffset) * 8);
  } else {
    std::wstring name = token.substr(4);
    name = Trim(name.substr(0, name.find(L'=')));
    std::int32_t value = host::StrToIntDef(name, 255);
    Pin = LowByte(static_cast<std::int64_t>(value) - NameOffset);
    if (Pin == 255) return false;
  }
  std::size_t equals = token.find(L'=');
  if (equals == std::wstring::npos) return false;
  Mode = ModeOfWord(Trim(std::wstring_view(token).substr(equals + 1)));
  return true;
}

std::uint8_t TGpioBase::GPIOModeOfWord(const std::wstring& word) { return ModeOfWord(word); }

std::wstring TGpioBase::TrimGPIOText(std::wstring_view text) { return Trim(text); }

std::wstring TGpioBase::NormalizeGPIOSettings(const std::wstring& text) {
  std::wstring list = Trim(text);
  for (wchar_t& c : list) {
    c = UpperAscii(c);
    if (c == L',') c = L' ';
  }
  return list;
}

void TGpioBase::NextGPIOToken(std::wstring& list, std::wstring& token) {
  std::size_t blank = list.find(L' ');
  if (blank == std::wstring::npos) {
    token = list;
    list.clear();
    return;
  }
  token = Trim(std::wstring_view(list).substr(0, blank));
  list = Trim(std::wstring_view(list).substr(blank + 1));
}

bool TGpioBase::ApplyGPIOSetting(const std::wstring& settings) {
  // Each setting, accepted or not, is a decision in the run's trace, so a trace tells a
  // rejected pin name from a pin that was written.
  TRunTrace& trace = TRunTrace::Instance();
  std::wstring list = NormalizeGPIOSettings(settings);
  if (list.empty()) {
    trace.Decision("apply_gpio", {{"setting", host::WideToUtf8(settings)}, {"accepted", false}});
    return false;
  }
  while (!list.empty()) {
    std::wstring token;
    NextGPIOToken(list, token);
    std::uint8_t pin = 0;
    std::uint8_t mode = 0;
    if (!InterpretGPIOString(token, pin, mode)) {
      trace.Decision("apply_gpio", {{"setting", host::WideToUtf8(token)}, {"accepted", false}});
      return false;  // earlier settings stay
    }
    const bool written = token.find(L"::") == std::wstring::npos;
    trace.Decision("apply_gpio", {{"setting", host::WideToUtf8(token)},
                                  {"accepted", true},
                                  {"pin_index", pin},
                                  {"mode", mode},
                                  {"state", host::WideToUtf8(GPIOStateName(mode))},
                                  {"written", written}});
    if (!written) continue;
    WriteGPIO(pin, mode);
  }
  return true;
}

bool TGpioBase::CheckGPIOSetting(const std::wstring& settings) {
  TDebugConsole& console = TDebugConsole::Instance();
  std::wstring list = NormalizeGPIOSettings(settings);
  if (list.empty()) {
    console.LogValue("AdjustGPIOSetting", "0", 10);
    return false;
  }
  ReadGPIO();
  while (!list.empty()) {
    std::wstring token;
    NextGPIOToken(list, token);
    std::uint8_t pin = 0;
    std::uint8_t mode = 0;
    if (!InterpretGPIOString(token, pin, mode)) {
      console.LogValue("InterpretGPIOString", "0", 10);
      return false;
    }
    if (token.find(L"::") != std::wstring::npos) continue;
    if (static_cast<std::uint8_t>(GPIO[pin] & mode) != GPIO[pin]) {
      console.LogMessage("((UCHAR)(Mode & GPIO[Pin])) != GPIO[Pin]", 10, 0);
      return false;
    }
  }
  return true;
}

std::wstring TGpioBase::GPIOStateName(std::uint8_t code) {
  switch (code) {
    case GPIO_NOT_GPIO_LOW:
      return L"Not GPIO Low";
    case GPIO_NOT_GPIO_HIGH:
      return L"Not GPIO High";
    case GPIO_NOT_GPIO:
      return L"Not GPIO";
    case GPIO_DISABLED:
      return L"Disabled";
    case GPIO_INPUT_LOW:
      return L"Input Low";
    case GPIO_INPUT_HIGH:
      return L"Input High";
    case GPIO_INPUT:
      return L"Input";
    case GPIO_OUTPUT_LOW:
      return L"Output Low";
    case GPIO_OUTPUT_HIGH:
      return L"Output High";
    default:
      return L" !!!ERROR!!! ";
  }
}

void TGpioBase::FillGPIOStates(std::uint8_t* states, std::uint8_t code, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) states[i] = code;
}

void TGpioBase::DecodeGPIOBank(std::uint32_t notGpio, std::uint32_t enabled, std::uint32_t ioSelect,
                               std::uint32_t data, std::uint32_t inversion,
                               std::uint32_t gpioSelect, std::uint8_t* states,
                               std::uint32_t count) {
  // A bank has at most 32 pins (one bit each in the 32-bit masks), and a bank that starts
  // inside the pin table never runs past its end.
  if (count > 32) count = 32;
  std::less<const std::uint8_t*> before;
  if (!before(states, GPIO) && before(states, GPIO + sizeof GPIO)) {
    std::uint32_t room = static_cast<std::uint32_t>(GPIO + sizeof GPIO - states);
    if (count > room) count = room;
  }
  if (notGpio != 0) {
    FillGPIOStates(states, GPIO_NOT_GPIO, count);
    return;
  }
  if (enabled == 0) {
    FillGPIOStates(states, GPIO_DISABLED, count);
    return;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint8_t level = static_cast<std::uint8_t>(((data ^ inversion) >> i) & 1u);
    if (((gpioSelect >> i) & 1u) == 0) {
      states[i] = static_cast<std::uint8_t>(GPIO_NOT_GPIO_LOW + level);
    } else if ((ioSelect >> i) & 1u) {
      states[i] = static_cast<std::uint8_t>(GPIO_INPUT_LOW + level);
    } else {
      states[i] = static_cast<std::uint8_t>(GPIO_OUTPUT_LOW + level);
    }
  }
}

void TGpioBase::ListGPIOState(std::vector<std::wstring>& lines) {
  TDebugConsole& console = TDebugConsole::Instance();
  ReadGPIO();
  // The listing never reads past the 256-entry table, whatever PinCount says.
  std::int32_t pins = PinCount < 0 ? 0 : (PinCount > 256 ? 256 : PinCount);
  if (BankNaming != 0) {
    for (std::int32_t i = 0; i < pins / 8; ++i) {
      std::int64_t n = static_cast<std::int64_t>(i) + NameOffset;
      // Banks 0 to 15 are one character, "0" to "9" then "A" to "F". A bank number outside
      // that range has no one-character name, and the parser could not read one anyway,
      // so it is written in decimal followed by "_" before the bit ("GPIO16_3"): readable,
      // and impossible to mistake for the name of a pin in a lower bank.
      std::wstring bank;
      if (n >= 0 && n <= 9) {
        bank = std::wstring(1, static_cast<wchar_t>(L'0' + n));
      } else if (n >= 10 && n <= 15) {
        bank = std::wstring(1, static_cast<wchar_t>(L'A' + (n - 10)));
      } else {
        bank = std::to_wstring(n) + L"_";
      }
      for (int j = 0; j < 8; ++j) {
        std::wstring line =
            L"GPIO" + bank + std::to_wstring(j) + L" = " + GPIOStateName(GPIO[i * 8 + j]);
        lines.push_back(line);
        console.LogValue(L"", line, 10);
      }
      lines.emplace_back();
    }
  } else {
    for (std::int32_t j = 0; j < pins; ++j) {
      std::wstring line = L"GPIO" + std::to_wstring(static_cast<std::int64_t>(j) + NameOffset) +
                          L" = " + GPIOStateName(GPIO[j]);
      lines.push_back(line);
      console.LogValue(L"", line, 9);
    }
  }
}
