#pragma once
// The pin model every GPIO owner derives from: one state code per pin, the setting-string
// parser, and apply/check loops over a list of settings. The hardware side is reached
// through ReadGPIO, WriteGPIO and EnableGPIOGroup, which each owner implements.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Pin state codes: high nibble the kind (0x80 output, 0x40 input, 0x20 disabled, 0x10 not
// GPIO), low two bits the level (1 low, 2 high, 3 either).
enum : std::uint8_t {
  GPIO_NOT_GPIO_LOW = 0x11,
  GPIO_NOT_GPIO_HIGH = 0x12,
  GPIO_NOT_GPIO = 0x13,
  GPIO_DISABLED = 0x23,
  GPIO_INPUT_LOW = 0x41,
  GPIO_INPUT_HIGH = 0x42,
  GPIO_INPUT = 0x43,
  GPIO_OUTPUT_LOW = 0x81,
  GPIO_OUTPUT_HIGH = 0x82,
};

class TGpioBase {
 public:
  TGpioBase() = default;

  // Virtual operations, in slot order.
  virtual bool InterpretGPIOString(const std::wstring& token, std::uint8_t& Pin,
                                   std::uint8_t& Mode);                         // slot 0
  virtual void ReadGPIO() = 0;                                                  // slot 1
  virtual void WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) = 0;              // slot 2
  virtual void EnableGPIOGroup(std::uint8_t Pin) = 0;                           // slot 3
  virtual ~TGpioBase() = default;                                               // slot 4
  virtual void ListGPIOState(std::vector<std::wstring>& lines);                 // slot 5

  bool ApplyGPIOSetting(const std::wstring& settings);
  bool CheckGPIOSetting(const std::wstring& settings);
  static std::wstring GPIOStateName(std::uint8_t code);
  void DecodeGPIOBank(std::uint32_t notGpio, std::uint32_t enabled, std::uint32_t ioSelect,
                      std::uint32_t data, std::uint32_t inversion, std::uint32_t gpioSelect,
                      std::uint8_t* states, std::uint32_t count);
  static void FillGPIOStates(std::uint8_t* states, std::uint8_t code, std::uint32_t count);
  static std::wstring NormalizeGPIOSettings(const std::wstring& text);
  static void NextGPIOToken(std::wstring& list, std::wstring& token);
  // The state code of a state word ("LOW", "INPUT_HIGH" ...; any other word 0x13), and the
  // trim of the setting texts (blanks and control characters at both ends): shared with
  // owners that replace the parser.
  static std::uint8_t GPIOModeOfWord(const std::wstring& word);
  static std::wstring TrimGPIOText(std::wstring_view text);

  std::int32_t PinCount = 256;
  std::int32_t BankNaming = 1;  // 1 bank+bit digits, 0 decimal pin number, 2 PCH pad names
  std::int32_t NameOffset = 0;
  std::uint8_t GPIO[256] = {};
};

// Chips whose GPIO registers sit behind a paged window in I/O space.
class TIOBASEGpio {
 public:
  virtual ~TIOBASEGpio() = default;
  virtual std::uint8_t ReadIoBaseGpio(std::uint8_t page, std::uint8_t index) = 0;
  virtual void WriteIoBaseGpio(std::uint8_t page, std::uint8_t index, std::uint8_t value) = 0;
};
