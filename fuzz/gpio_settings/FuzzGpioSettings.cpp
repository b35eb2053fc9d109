// Setting strings of every shape through the pin model: parsing in both namings with any
// NameOffset, apply and check against a pin table, bank decoding and the listing. Nothing
// may crash, read or write outside the pin table, or loop without end.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gpio/GpioBase.h"
#include "host/Console.h"

namespace {

class TFuzzOwner : public TGpioBase {
 public:
  void ReadGPIO() override { std::memcpy(GPIO, Hardware, sizeof GPIO); }
  void WriteGPIO(std::uint8_t pin, std::uint8_t mode) override { Hardware[pin] = mode; }
  void EnableGPIOGroup(std::uint8_t) override {}
  std::uint8_t Hardware[256] = {};
};

std::uint32_t Take32(const std::uint8_t*& data, std::size_t& size) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4 && size > 0; ++i, ++data, --size) v |= std::uint32_t{*data} << (8 * i);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Real setting lists are a few dozen characters; longer inputs only slow the search.
  if (size > 2048) return 0;
  TFuzzOwner owner;
  std::uint32_t control = Take32(data, size);
  owner.BankNaming = (control & 1) ? 0 : 1;
  owner.NameOffset = static_cast<std::int32_t>(Take32(data, size));
  owner.PinCount = static_cast<std::int32_t>(control >> 8) - 8;
  for (int i = 0; i < 256; ++i) owner.Hardware[i] = static_cast<std::uint8_t>(i * 37 + control);

  // The rest twice: as UTF-8 text, and as raw code units (any value a wchar_t can hold).
  std::wstring text = host::Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), size));
  std::wstring raw;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    raw += static_cast<wchar_t>(data[i] | (static_cast<std::uint32_t>(data[i + 1]) << 8) |
                                ((control & 2) ? 0x00110000u : 0u));  // past the last code point
  }
  for (const std::wstring* input : {&text, &raw}) {
    owner.ApplyGPIOSetting(*input);
    owner.CheckGPIOSetting(*input);
    std::uint8_t pin = 0;
    std::uint8_t mode = 0;
    owner.InterpretGPIOString(*input, pin, mode);
    std::wstring list = TGpioBase::NormalizeGPIOSettings(*input);
    std::wstring token;
    while (!list.empty()) {
      std::size_t before = list.size();
      TGpioBase::NextGPIOToken(list, token);
      if (list.size() >= before) __builtin_trap();  // every step must shorten the list
    }
  }
  std::uint32_t start = control >> 24;
  owner.DecodeGPIOBank(control & 4, control & 8, Take32(data, size), Take32(data, size),
                       Take32(data, size), Take32(data, size), owner.GPIO + start,
                       (control >> 4) & 0x3F);
  if (control & 16) {
    std::vector<std::wstring> lines;
    owner.ListGPIOState(lines);
  }
  return 0;
}
