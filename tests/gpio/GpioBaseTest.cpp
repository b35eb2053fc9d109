#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "gpio/GpioBase.h"

namespace {

// A pin owner that records what the pin model asks of the hardware. `Hardware` is what
// ReadGPIO finds; `Guard` sits right after the state table to catch writes past its end.
class TFakeOwner : public TGpioBase {
 public:
  void ReadGPIO() override {
    ++Reads;
    std::memcpy(GPIO, Hardware, sizeof GPIO);
  }
  void WriteGPIO(std::uint8_t pin, std::uint8_t mode) override { Writes.push_back({pin, mode}); }
  void EnableGPIOGroup(std::uint8_t) override {}

  std::uint8_t Guard[64];
  std::uint8_t Hardware[256] = {};
  int Reads = 0;
  std::vector<std::pair<int, int>> Writes;
};

struct TParse {
  bool Ok;
  int Pin;
  int Mode;
};

TParse Interpret(TGpioBase& owner, const std::wstring& token) {
  std::uint8_t pin = 0xEE;
  std::uint8_t mode = 0xEE;
  bool ok = owner.InterpretGPIOString(token, pin, mode);
  return {ok, pin, mode};
}

void ExpectParse(TGpioBase& owner, const std::wstring& token, int pin, int mode) {
  TParse r = Interpret(owner, token);
  EXPECT_TRUE(r.Ok) << std::string(token.begin(), token.end());
  EXPECT_EQ(r.Pin, pin) << std::string(token.begin(), token.end());
  EXPECT_EQ(r.Mode, mode) << std::string(token.begin(), token.end());
}

void ExpectReject(TGpioBase& owner, const std::wstring& token) {
  EXPECT_FALSE(Interpret(owner, token).Ok) << std::string(token.begin(), token.end());
}

class GpioBase : public ::testing::Test {
 protected:
  void SetUp() override { gavrelo::ResetProcessStateForTests(); }
  void TearDown() override { gavrelo::ResetProcessStateForTests(); }
  TFakeOwner owner;
};

TEST_F(GpioBase, BankNamingTakesOneBankDigitAndOneBitDigit) {
  ExpectParse(owner, L"GPIO12=LOW", 10, 0x81);
  ExpectParse(owner, L"GPIO5=HIGH", 5, 0x82);    // one digit: bank 0, that bit
  ExpectParse(owner, L"GPIO19=LOW", 17, 0x81);   // bits 8 and 9 reach into the next bank
  ExpectParse(owner, L"GPIO123=LOW", 10, 0x81);  // characters after the bit are ignored
  ExpectParse(owner, L"GPIO97=INPUT", 79, 0x43);
  ExpectParse(owner, L"GPIO99=INPUT", 81, 0x43);
  ExpectReject(owner, L"GPIOA3=LOW");  // the bank must be a decimal digit
  ExpectReject(owner, L"GPIO=LOW");
  ExpectReject(owner, L"GPIO");
  ExpectReject(owner, L"GPIO12");  // no "="
  ExpectReject(owner, L"XGPIO12=LOW");
  ExpectReject(owner, L"gpio12=low");            // the parser itself expects upper case
  ExpectReject(owner, L"GPIO\u0661\u0662=LOW");  // Arabic-Indic digits are no digits
}

TEST_F(GpioBase, NameOffsetAndModulo256PinArithmetic) {
  owner.NameOffset = 1;
  ExpectParse(owner, L"GPIO12=LOW", 2, 0x81);
  ExpectParse(owner, L"GPIO02=LOW", 250, 0x81);  // 2 + (0 - 1) * 8 = -6
  ExpectParse(owner, L"GPIO3=LOW", 251, 0x81);   // single digit: 3 - 1 * 8
  owner.NameOffset = -30;
  ExpectParse(owner, L"GPIO97=LOW", (7 + 39 * 8) % 256, 0x81);
  owner.NameOffset = INT_MIN;  // no overflow, just the low byte
  ExpectParse(owner, L"GPIO12=LOW", 10, 0x81);
  owner.NameOffset = INT_MAX;
  ExpectParse(owner, L"GPIO12=LOW", static_cast<std::uint8_t>(2 + (1LL - INT_MAX) * 8), 0x81);
}

TEST_F(GpioBase, DecimalNamingReadsTheWholeNumberAndRejectsIndex255) {
  owner.BankNaming = 0;
  ExpectParse(owner, L"GPIO23=LOW", 23, 0x81);
  ExpectParse(owner, L"GPIO$1F=HIGH", 31, 0x82);
  ExpectParse(owner, L"GPIO0x10=INPUT", 16, 0x43);
  ExpectParse(owner, L"GPIO 7 =LOW", 7, 0x81);  // the number is trimmed
  ExpectParse(owner, L"GPIO256=LOW", 0, 0x81);
  ExpectParse(owner, L"GPIO-2=LOW", 254, 0x81);
  ExpectReject(owner, L"GPIO=LOW");  // not a number counts as 255
  ExpectReject(owner, L"GPIO2X=LOW");
  ExpectReject(owner, L"GPIO255=LOW");
  ExpectReject(owner, L"GPIO-1=LOW");
  ExpectReject(owner, L"GPIO23");  // a pin but no "="
  owner.NameOffset = 8;
  ExpectParse(owner, L"GPIO10=LOW", 2, 0x81);
  ExpectReject(owner, L"GPIO7=LOW");  // 7 - 8 = -1 -> 255
}

TEST_F(GpioBase, StateWordsAndTokensWithDoubleColons) {
  const std::pair<const wchar_t*, int> words[] = {
      {L"INPUTLOW", 0x41},
      {L"INPUT_LOW", 0x41},
      {L"INPUTHIGH", 0x42},
      {L"INPUT_HIGH", 0x42},
      {L"INPUT", 0x43},
      {L"LOW", 0x81},
      {L"HIGH", 0x82},
      {L"GPIO_NOT_GPIO_LOW", 0x11},
      {L"GPIO_NOT_GPIO_HIGH", 0x12},
      {L"FOO", 0x13},
      {L"", 0x13},
      {L"LOW=HIGH", 0x13},
      {L"Low", 0x13},
      {L"\tLOW\x01", 0x81},  // control characters around the word are trimmed
  };
  for (auto [word, mode] : words) ExpectParse(owner, std::wstring(L"GPIO12=") + word, 10, mode);
  // "::" anywhere: valid, and neither Pin nor Mode is touched.
  for (const wchar_t* token : {L"SIO::LOCK", L"::", L"GPIOA3::=X"}) {
    TParse r = Interpret(owner, token);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Pin, 0xEE);
    EXPECT_EQ(r.Mode, 0xEE);
  }
}

TEST_F(GpioBase, ApplyWritesEachSettingInOrderAndStopsAtTheFirstBadOne) {
  EXPECT_TRUE(owner.ApplyGPIOSetting(L"gpio12=input_high"));
  EXPECT_TRUE(owner.ApplyGPIOSetting(L"  GPIO12=LOW GPIO13=HIGH\r\n"));
  EXPECT_TRUE(owner.ApplyGPIOSetting(L"GPIO12=LOW,GPIO13=HIGH"));
  EXPECT_TRUE(owner.ApplyGPIOSetting(L"GPIO14=low ,, a::b   GPIO15=High"));
  EXPECT_EQ(
      owner.Writes,
      (std::vector<std::pair<int, int>>{
          {10, 0x42}, {10, 0x81}, {11, 0x82}, {10, 0x81}, {11, 0x82}, {12, 0x81}, {13, 0x82}}));
  owner.Writes.clear();
  EXPECT_FALSE(owner.ApplyGPIOSetting(L"GPIO12=LOW,BAD,GPIO13=HIGH"));
  EXPECT_EQ(owner.Writes, (std::vector<std::pair<int, int>>{{10, 0x81}}));
  owner.Writes.clear();
  EXPECT_FALSE(owner.ApplyGPIOSetting(L"GPIO12 = LOW"));  // blanks split it into three tokens
  EXPECT_FALSE(owner.ApplyGPIOSetting(L""));
  EXPECT_FALSE(owner.ApplyGPIOSetting(L" \t,\r\n"));  // nothing left but separators
  EXPECT_TRUE(owner.Writes.empty());
  EXPECT_EQ(owner.Reads, 0);  // applying never reads the hardware
}

TEST_F(GpioBase, NonAsciiTextIsKeptAsItIsAndNeverAccepted) {
  // Only ASCII letters are upper-cased: a dotless i or a long s stays what it is, so the
  // text spells no keyword. Code units that are no valid character pass through too.
  EXPECT_EQ(TGpioBase::NormalizeGPIOSettings(L"gp\u0131o12=low,\u00e9"), L"GP\u0131O12=LOW \u00e9");
  EXPECT_FALSE(owner.ApplyGPIOSetting(L"gp\u0131o12=low"));
  EXPECT_TRUE(owner.ApplyGPIOSetting(L"gpio12=\u017fomething"));  // unknown word: 0x13
  std::wstring odd = L"GPIO12=";
  odd += static_cast<wchar_t>(0xD800);
  odd += static_cast<wchar_t>(0x10FFFF);
  odd += static_cast<wchar_t>(0xFFFF);
  EXPECT_TRUE(owner.ApplyGPIOSetting(odd));
  EXPECT_EQ(owner.Writes, (std::vector<std::pair<int, int>>{{10, 0x13}, {10, 0x13}}));
}

TEST_F(GpioBase, NextTokenAndNormalize) {
  std::wstring list = TGpioBase::NormalizeGPIOSettings(L"\t a=1,  b=2 c \x7f");
  EXPECT_EQ(list, L"A=1   B=2 C \x7F");  // DEL (0x7F) is not a control character to trim
  std::wstring token;
  TGpioBase::NextGPIOToken(list, token);
  EXPECT_EQ(token, L"A=1");
  EXPECT_EQ(list, L"B=2 C \x7F");
  TGpioBase::NextGPIOToken(list, token);
  TGpioBase::NextGPIOToken(list, token);
  EXPECT_EQ(token, L"C");
  TGpioBase::NextGPIOToken(list, token);
  EXPECT_EQ(token, L"\x7F");
  EXPECT_EQ(list, L"");
}

TEST_F(GpioBase, CheckReadsOnceAndMatchesEveryStateWhoseBitsTheWantedStateHolds) {
  owner.Hardware[10] = GPIO_INPUT_LOW;
  owner.Hardware[11] = GPIO_INPUT_HIGH;
  owner.Hardware[12] = GPIO_OUTPUT_LOW;
  owner.Hardware[13] = GPIO_NOT_GPIO_HIGH;
  EXPECT_TRUE(owner.CheckGPIOSetting(L"GPIO12=INPUT GPIO13=input"));
  EXPECT_EQ(owner.Reads, 1);
  EXPECT_TRUE(owner.CheckGPIOSetting(L"GPIO14=LOW,GPIO15=FOO,x::y"));
  EXPECT_FALSE(owner.CheckGPIOSetting(L"GPIO14=INPUT"));
  EXPECT_FALSE(owner.CheckGPIOSetting(L"GPIO12=LOW"));
  EXPECT_FALSE(owner.CheckGPIOSetting(L"GPIO13=INPUTLOW"));
  EXPECT_TRUE(owner.CheckGPIOSetting(L"GPIO13=INPUTHIGH"));
  EXPECT_EQ(owner.Reads, 6);
  EXPECT_TRUE(owner.Writes.empty());
}

TEST_F(GpioBase, CheckLogsWhyItFailed) {
  TDebugConsole::Instance(true);
  owner.Hardware[10] = GPIO_OUTPUT_HIGH;
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(owner.CheckGPIOSetting(L" \t\r\n"));
  // Trimming comes before the commas become blanks: " , " leaves one empty token.
  EXPECT_FALSE(owner.CheckGPIOSetting(L" , "));
  EXPECT_FALSE(owner.CheckGPIOSetting(L"GPIO12=LOW"));
  EXPECT_FALSE(owner.CheckGPIOSetting(L"GPIO12=HIGH GPIOZ=LOW"));
  EXPECT_TRUE(owner.CheckGPIOSetting(L"GPIO12=HIGH"));
  EXPECT_FALSE(owner.ApplyGPIOSetting(L""));  // applying logs nothing
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "AdjustGPIOSetting ... [0]\n"
            "InterpretGPIOString ... [0]\n"
            "[((UCHAR)(Mode & GPIO[Pin])) != GPIO[Pin]]\n"
            "InterpretGPIOString ... [0]\n");
  EXPECT_EQ(owner.Reads, 4);  // only the empty list fails before reading
}

TEST_F(GpioBase, DecodeGpioBank) {
  owner.DecodeGPIOBank(0, 1, 0x0F, 0x05, 0x01, 0xFF, owner.GPIO, 8);
  EXPECT_EQ(std::vector<int>(owner.GPIO, owner.GPIO + 8),
            (std::vector<int>{0x41, 0x41, 0x42, 0x41, 0x81, 0x81, 0x81, 0x81}));
  // A pin whose select bit is clear serves another function but keeps its level.
  owner.DecodeGPIOBank(0, 1, 0x00, 0x0A, 0x00, 0xF0, owner.GPIO + 8, 8);
  EXPECT_EQ(std::vector<int>(owner.GPIO + 8, owner.GPIO + 16),
            (std::vector<int>{0x11, 0x12, 0x11, 0x12, 0x81, 0x81, 0x81, 0x81}));
  // notGpio wins over enabled; a short bank fills only its pins.
  std::memset(owner.GPIO, 0, sizeof owner.GPIO);
  owner.DecodeGPIOBank(1, 0, 0, 0, 0, 0xFF, owner.GPIO, 5);
  EXPECT_EQ(std::vector<int>(owner.GPIO, owner.GPIO + 6),
            (std::vector<int>{0x13, 0x13, 0x13, 0x13, 0x13, 0}));
  owner.DecodeGPIOBank(0, 0, 0, 0, 0, 0xFF, owner.GPIO + 16, 3);
  EXPECT_EQ(std::vector<int>(owner.GPIO + 16, owner.GPIO + 20),
            (std::vector<int>{0x23, 0x23, 0x23, 0}));
  // All 32 bits of the masks are used.
  owner.DecodeGPIOBank(0, 1, 0x80000000u, 0x80000001u, 0, 0xFFFFFFFFu, owner.GPIO + 32, 32);
  EXPECT_EQ(owner.GPIO[32], 0x82);
  EXPECT_EQ(owner.GPIO[33], 0x81);
  EXPECT_EQ(owner.GPIO[63], 0x42);
}

TEST_F(GpioBase, DecodeGpioBankNeverWritesPastThePinTable) {
  std::memset(owner.Guard, 0x5A, sizeof owner.Guard);
  std::memset(owner.GPIO, 0, sizeof owner.GPIO);
  owner.DecodeGPIOBank(0, 1, 0, 0, 0, 0xFFFFFFFFu, owner.GPIO + 250, 32);  // room for 6
  owner.DecodeGPIOBank(1, 1, 0, 0, 0, 0, owner.GPIO + 200, 1000);          // at most 32
  EXPECT_EQ(owner.GPIO[255], 0x81);
  EXPECT_EQ(owner.GPIO[231], 0x13);
  EXPECT_EQ(owner.GPIO[232], 0x00);
  for (std::uint8_t b : owner.Guard) ASSERT_EQ(b, 0x5A);
}

TEST_F(GpioBase, StateNames) {
  const std::pair<int, const wchar_t*> names[] = {
      {0x11, L"Not GPIO Low"},  {0x12, L"Not GPIO High"}, {0x13, L"Not GPIO"},
      {0x23, L"Disabled"},      {0x41, L"Input Low"},     {0x42, L"Input High"},
      {0x43, L"Input"},         {0x81, L"Output Low"},    {0x82, L"Output High"},
      {0x00, L" !!!ERROR!!! "}, {0x83, L" !!!ERROR!!! "}, {0xFF, L" !!!ERROR!!! "}};
  for (auto [code, name] : names) EXPECT_EQ(TGpioBase::GPIOStateName(code), name) << code;
}

TEST_F(GpioBase, ListingInBankNaming) {
  owner.PinCount = 96;
  owner.Hardware[10] = GPIO_OUTPUT_LOW;
  owner.Hardware[95] = GPIO_INPUT_HIGH;
  std::vector<std::wstring> lines;
  owner.ListGPIOState(lines);
  EXPECT_EQ(owner.Reads, 1);
  ASSERT_EQ(lines.size(), 96u + 12u);  // an empty line after each bank
  EXPECT_EQ(lines[0], L"GPIO00 =  !!!ERROR!!! ");
  EXPECT_EQ(lines[8], L"");
  EXPECT_EQ(lines[9 + 2], L"GPIO12 = Output Low");
  EXPECT_EQ(lines[106], L"GPIOB7 = Input High");
  EXPECT_EQ(lines[107], L"");
  // Bank numbers past F (or below 0) are written in decimal and set off by "_".
  lines.clear();
  owner.PinCount = 256;
  owner.NameOffset = -1;
  owner.ListGPIOState(lines);
  ASSERT_EQ(lines.size(), 256u + 32u);
  EXPECT_EQ(lines[0], L"GPIO-1_0 =  !!!ERROR!!! ");
  EXPECT_EQ(lines[9 * 16], L"GPIOF0 =  !!!ERROR!!! ");
  EXPECT_EQ(lines[9 * 17 + 3], L"GPIO16_3 =  !!!ERROR!!! ");
  EXPECT_EQ(lines[9 * 31 + 7], L"GPIO30_7 =  !!!ERROR!!! ");
}

TEST_F(GpioBase, ListingInDecimalNamingLogsEachLineAndStaysInsideTheTable) {
  TDebugConsole::Instance(true);
  owner.BankNaming = 0;
  owner.NameOffset = 5;
  owner.PinCount = 2;
  owner.Hardware[1] = GPIO_DISABLED;
  std::vector<std::wstring> lines;
  ::testing::internal::CaptureStdout();
  owner.ListGPIOState(lines);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            " ... [GPIO5 =  !!!ERROR!!! ]\n ... [GPIO6 = Disabled]\n");
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"GPIO5 =  !!!ERROR!!! ", L"GPIO6 = Disabled"}));
  lines.clear();
  owner.PinCount = 100000;
  owner.ListGPIOState(lines);
  EXPECT_EQ(lines.size(), 256u);
  owner.PinCount = -8;
  lines.clear();
  owner.BankNaming = 1;
  owner.ListGPIOState(lines);
  EXPECT_TRUE(lines.empty());
}

}  // namespace
