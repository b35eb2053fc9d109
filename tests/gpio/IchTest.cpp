// TIch on the virtual board: the GPIO base from the LPC bridge, the exact register sequences
// of reads and writes, and what happens without a base or past pin 95.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdint>
#include <vector>

#include "ChipsetTestBoard.h"
#include "gpio/Ich.h"
#include "sim/IchGpio.h"

namespace {

using Cycle = TPortCycle;
using Cycles_t = std::vector<Cycle>;

class IchTest : public ChipsetBoardTest {
 protected:
  // The ICH10 demo board: GPIO block at 0x500 (see boards/ich10-nct6776f.json).
  TIchGpio& LoadIch10() {
    Load("ich10-nct6776f.json");
    auto* gpio = dynamic_cast<TIchGpio*>(Board().PortDeviceAt(0x500));
    if (gpio == nullptr) throw std::runtime_error("no ICH GPIO block at 0x500");
    return *gpio;
  }
  // A board whose LPC bridge holds these GPIOBASE candidates and no GPIO block.
  void LoadLpc(std::uint32_t reg48, std::uint32_t reg58) {
    char a[16], b[16];
    std::snprintf(a, sizeof a, "0x%X", reg48);
    std::snprintf(b, sizeof b, "0x%X", reg58);
    LoadJson({{"pci",
               {{"functions",
                 {{{"bdf", "00:1f.0"}, {"vendor_id", "0x8086"}, {"device_id", "0x3A18"},
                   {"class", "0x060100"}, {"dwords", {{"0x48", a}, {"0x58", b}}}}}}}}});
  }
  static std::array<std::uint32_t, 32> Registers(const TIchGpio& gpio) {
    std::array<std::uint32_t, 32> regs{};
    for (unsigned i = 0; i < regs.size(); ++i) regs[i] = gpio.Register(static_cast<std::uint8_t>(4 * i));
    return regs;
  }
};

TEST_F(IchTest, GpioBaseFromRegister48ThenRegister58) {
  struct Case {
    std::uint32_t Reg48, Reg58;
    std::uint8_t NoBase;
    std::uint16_t Base;
    std::vector<std::uint16_t> RegistersRead;
  };
  const Case cases[] = {
      {0x501, 0x481, 0, 0x500, {0x48}},
      {0x500, 0x481, 0, 0x480, {0x48, 0x58}},      // bit 0 clear: not I/O space
      {0x10501, 0x481, 0, 0x480, {0x48, 0x58}},    // bit 16 set: not usable
      {0x521, 0x581, 0, 0x580, {0x48, 0x58}},      // bit 5 set: not usable
      {0x500, 0xFFFFFFFF, 1, 0, {0x48, 0x58}},     // neither
  };
  for (const Case& c : cases) {
    SetUp();
    LoadLpc(c.Reg48, c.Reg58);
    TIch ich;
    EXPECT_EQ(ich.m_NoGpioBase, c.NoBase) << std::hex << c.Reg48;
    if (c.NoBase == 0) {
      EXPECT_EQ(ich.m_GpioBase, c.Base) << std::hex << c.Reg48;
    }
    std::vector<std::uint16_t> read;
    for (const TTraceEvent& e : Board().Trace().OfKind(TTraceKind::PciRead)) {
      EXPECT_EQ(e.Address, 0x1F << 3);  // 00:1f.0
      EXPECT_EQ(e.Width, 4u);
      read.push_back(e.Register);
    }
    EXPECT_EQ(read, c.RegistersRead) << std::hex << c.Reg48;
    EXPECT_TRUE(Board().Trace().OfKind(TTraceKind::PciWrite).empty());
    EXPECT_EQ(ich.PinCount, 96);
    EXPECT_EQ(ich.BankNaming, 0);
  }
}

TEST_F(IchTest, WritesAreSeparateReadModifyWritesInOrderAndAlwaysWritten) {
  struct Case {
    const wchar_t* Setting;
    Cycles_t Expected;
    std::vector<std::uint8_t> Changed;  // register offsets whose value may change
  };
  // Start values (board file): USE_SEL 0x1F00FFF7, IO_SEL 0xFF00, LVL latch 0x21 (reads
  // 0x229: GPIO3 native and GPIO9 input, both high), GPI_INV 0x20, USE_SEL2 0xFF, IO_SEL2 0xF0.
  const Case cases[] = {
      {L"GPIO5=HIGH",
       {Cycle::In(0x500, 0x1F00FFF7, 4), Cycle::Out(0x500, 0x1F00FFF7, 4),
        Cycle::In(0x52C, 0x20, 4), Cycle::Out(0x52C, 0x00, 4),
        Cycle::In(0x504, 0xFF00, 4), Cycle::Out(0x504, 0xFF00, 4),
        Cycle::In(0x50C, 0x229, 4), Cycle::Out(0x50C, 0x229, 4)},
       {0x2C, 0x0C}},
      {L"GPIO40=INPUT",
       {Cycle::In(0x530, 0xFF, 4), Cycle::Out(0x530, 0x1FF, 4),
        Cycle::In(0x534, 0xF0, 4), Cycle::Out(0x534, 0x1F0, 4)},
       {0x30, 0x34}},
      {L"GPIO7=GPIO_NOT_GPIO_LOW",
       {Cycle::In(0x500, 0x1F00FFF7, 4), Cycle::Out(0x500, 0x1F00FFF7, 4),
        Cycle::In(0x52C, 0x20, 4), Cycle::Out(0x52C, 0x20, 4)},
       {}},
      {L"GPIO3=LOW",
       {Cycle::In(0x500, 0x1F00FFF7, 4), Cycle::Out(0x500, 0x1F00FFFF, 4),
        Cycle::In(0x52C, 0x20, 4), Cycle::Out(0x52C, 0x20, 4),
        Cycle::In(0x504, 0xFF00, 4), Cycle::Out(0x504, 0xFF00, 4),
        // GPIO3 now drives its latch (0), so the level reads 0x221 before the write.
        Cycle::In(0x50C, 0x221, 4), Cycle::Out(0x50C, 0x221, 4)},
       {0x00, 0x0C}},
      {L"GPIO66=HIGH",
       {Cycle::In(0x540, 0x0F, 4), Cycle::Out(0x540, 0x0F, 4),
        Cycle::In(0x544, 0x0C, 4), Cycle::Out(0x544, 0x08, 4),
        Cycle::In(0x548, 0x08, 4), Cycle::Out(0x548, 0x0C, 4)},
       {0x44, 0x48}},
  };
  for (const Case& c : cases) {
    SetUp();
    TIchGpio& gpio = LoadIch10();
    TIch ich;
    ASSERT_EQ(ich.m_GpioBase, 0x500);
    const auto before = Registers(gpio);
    ClearTrace();
    EXPECT_TRUE(ich.ApplyGPIOSetting(c.Setting));
    EXPECT_EQ(Cycles(), c.Expected) << testing::PrintToString(std::wstring(c.Setting));
    const auto after = Registers(gpio);
    for (unsigned i = 0; i < after.size(); ++i) {
      bool mayChange = false;
      for (std::uint8_t offset : c.Changed) mayChange = mayChange || offset == 4 * i;
      if (!mayChange) {
        EXPECT_EQ(after[i], before[i]) << "offset " << 4 * i;
      }
    }
  }
}

TEST_F(IchTest, PinEventsFollowTheRegisterChanges) {
  LoadIch10();
  TIch ich;
  ClearTrace();
  ich.ApplyGPIOSetting(L"GPIO40=INPUT GPIO5=LOW");
  const std::vector<nlohmann::json> events = PinEvents();
  ASSERT_EQ(events.size(), 3u);
  // Setting the use-select bit first makes GPIO40 an output (its I/O-select bit is 0) until
  // the I/O-select write: the hub's order of steps shows as a short output-low phase.
  EXPECT_EQ(events[0], (nlohmann::json{{"owner", "ich"}, {"chip", "ICH10"}, {"port", 0x500},
                                       {"pin", "GPIO40"}, {"state", "output_low"}, {"level", 0}}));
  EXPECT_EQ(events[1], (nlohmann::json{{"owner", "ich"}, {"chip", "ICH10"}, {"port", 0x500},
                                       {"pin", "GPIO40"}, {"state", "input"}, {"level", 0}}));
  EXPECT_EQ(events[2]["pin"], "GPIO5");
  EXPECT_EQ(events[2]["state"], "output_low");
  // The event comes right after the write that made the change.
  const auto& all = Board().Trace().Events();
  const auto pin = std::find_if(all.begin(), all.end(),
                                [](const TTraceEvent& e) { return e.Kind == TTraceKind::Pin; });
  ASSERT_NE(pin, all.begin());
  EXPECT_EQ((pin - 1)->Kind, TTraceKind::PortWrite);
  EXPECT_EQ((pin - 1)->Address, 0x530u);
}

TEST_F(IchTest, ReadDecodesEachBankFromUseSelectLevelAndIoSelect) {
  LoadIch10();
  TIch ich;
  ClearTrace();
  ich.ReadGPIO();
  EXPECT_EQ(Cycles(),
            (Cycles_t{Cycle::In(0x500, 0x1F00FFF7, 4), Cycle::In(0x50C, 0x229, 4),
                      Cycle::In(0x504, 0xFF00, 4), Cycle::In(0x530, 0xFF, 4),
                      Cycle::In(0x538, 0x13, 4), Cycle::In(0x534, 0xF0, 4),
                      Cycle::In(0x540, 0x0F, 4), Cycle::In(0x548, 0x08, 4),
                      Cycle::In(0x544, 0x0C, 4)}));
  const std::pair<unsigned, std::uint8_t> states[] = {
      {0, GPIO_OUTPUT_HIGH}, {1, GPIO_OUTPUT_LOW}, {3, GPIO_NOT_GPIO_HIGH},  // GPIO3 native, high
      {8, GPIO_INPUT_LOW},   {9, GPIO_INPUT_HIGH}, {24, GPIO_OUTPUT_LOW}, {29, GPIO_NOT_GPIO_LOW},
      {32, GPIO_OUTPUT_HIGH}, {36, GPIO_INPUT_HIGH}, {40, GPIO_NOT_GPIO_LOW},
      {64, GPIO_OUTPUT_LOW}, {66, GPIO_INPUT_LOW}, {67, GPIO_INPUT_HIGH}, {95, GPIO_NOT_GPIO_LOW}};
  for (const auto& [pin, state] : states) EXPECT_EQ(ich.GPIO[pin], state) << pin;
  // GPI_INV set for GPIO5 changes nothing in what is reported: the level is read as it is.
  EXPECT_TRUE(ich.CheckGPIOSetting(L"GPIO5=HIGH"));
  EXPECT_TRUE(ich.CheckGPIOSetting(L"GPIO9=INPUT GPIO9=INPUTHIGH"));
  EXPECT_FALSE(ich.CheckGPIOSetting(L"GPIO9=INPUTLOW"));

  std::vector<std::wstring> lines;
  ich.ListGPIOState(lines);
  ASSERT_EQ(lines.size(), 96u);
  EXPECT_EQ(lines[0], L"GPIO0 = Output High");
  EXPECT_EQ(lines[3], L"GPIO3 = Not GPIO High");
  EXPECT_EQ(lines[95], L"GPIO95 = Not GPIO Low");
}

TEST_F(IchTest, WithoutABaseOrPastPin95NoRegisterIsTouched) {
  LoadLpc(0x500, 0x500);
  TIch ich;
  ASSERT_EQ(ich.m_NoGpioBase, 1);
  ClearTrace();
  EXPECT_TRUE(ich.ApplyGPIOSetting(L"GPIO5=HIGH GPIO40=INPUT"));
  ich.ReadGPIO();
  std::vector<std::wstring> lines;
  ich.ListGPIOState(lines);
  EXPECT_TRUE(lines.empty());
  // No read filled the table, and none of the panel's four states matches what it holds.
  for (const wchar_t* setting : {L"GPIO5=LOW", L"GPIO5=HIGH", L"GPIO5=INPUTLOW", L"GPIO5=INPUTHIGH",
                                 L"GPIO5=INPUT", L"GPIO5=GPIO_NOT_GPIO_LOW", L"GPIO5=FOO"})
    EXPECT_FALSE(ich.CheckGPIOSetting(setting)) << testing::PrintToString(std::wstring(setting));
  EXPECT_TRUE(Board().Trace().Events().empty());

  // With a base, pins 96 to 254 are refused before any register is read.
  SetUp();
  TIchGpio& gpio = LoadIch10();
  TIch withBase;
  const auto before = Registers(gpio);
  ClearTrace();
  for (std::uint8_t pin : {96, 100, 127, 128, 200, 254}) withBase.WriteGPIO(pin, GPIO_OUTPUT_HIGH);
  EXPECT_TRUE(withBase.ApplyGPIOSetting(L"GPIO96=HIGH,GPIO127=LOW"));
  EXPECT_TRUE(Cycles().empty());
  EXPECT_EQ(Registers(gpio), before);
}

}  // namespace
