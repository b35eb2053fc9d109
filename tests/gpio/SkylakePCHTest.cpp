// TSkylakePCH on the virtual board: PADBARs and group addresses, the pad-name parser with its
// console lines, the three block reads and the DW0 decode, and the pad writes.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ChipsetTestBoard.h"
#include "diag/DebugConsole.h"
#include "gpio/SkylakePCH.h"
#include "hwaccess/DriverProtocol.h"
#include "sim/SkylakePchPads.h"

namespace {

class SkylakePCHTest : public ChipsetBoardTest {
 protected:
  void LoadSkylake() { Load("skylake-pch-z170-nct6791d.json"); }
  // Plain memory in the four community windows: any DW0 can be put there, which the pad
  // model (whose RX state follows the pad) cannot always produce.
  void LoadPlainWindows(std::uint32_t padBar) {
    nlohmann::json memory = nlohmann::json::array();
    for (const char* base : {"0xFDAF0000", "0xFDAE0000", "0xFDAD0000", "0xFDAC0000"})
      memory.push_back({{"base", base}, {"size", "0x1000"}});
    LoadJson({{"memory", memory}});
    for (std::uint64_t window : {0xFDAF0000ull, 0xFDAE0000ull, 0xFDAD0000ull, 0xFDAC0000ull})
      Board().PokeMemory(window + 0x0C, &padBar, 4);
  }
  void PokeDw0(std::uint64_t address, std::uint32_t dw0) { Board().PokeMemory(address, &dw0, 4); }
  TSkylakePchCommunity& Holding(const std::string& pad) {
    TSkylakePchCommunity* community = TSkylakePchCommunity::Holding(Board(), pad);
    if (community == nullptr) throw std::runtime_error("no pad " + pad);
    return *community;
  }
  // DW0 and DW1 of every pad of the hub.
  std::vector<std::uint32_t> AllPads() {
    std::vector<std::uint32_t> words;
    for (std::uint64_t window : {0xFDAF0000ull, 0xFDAE0000ull, 0xFDAC0000ull}) {
      auto* community = dynamic_cast<TSkylakePchCommunity*>(Board().MemoryDeviceAt(window));
      for (const std::string& pad : community->PadNames()) {
        words.push_back(community->Dw0(pad));
        words.push_back(community->Dw1(pad));
      }
    }
    return words;
  }
};

TEST_F(SkylakePCHTest, PadBarsGiveTheGroupOffsetsAndAddresses) {
  LoadSkylake();
  TSkylakePCH pch;
  std::vector<std::uint64_t> reads;
  for (const TTraceEvent& e : Board().Trace().OfKind(TTraceKind::MemRead)) {
    EXPECT_EQ(e.Length, 4u);
    EXPECT_EQ(e.Width, 4u);
    reads.push_back(e.Address);
  }
  EXPECT_EQ(reads, (std::vector<std::uint64_t>{0xFDAF000C, 0xFDAE000C, 0xFDAD000C, 0xFDAC000C}));
  for (std::uint32_t bar : pch.m_PadBar) EXPECT_EQ(bar, 0x400u);
  const std::vector<std::uint32_t> addresses(std::begin(pch.m_GroupAddress), std::end(pch.m_GroupAddress));
  EXPECT_EQ(addresses, (std::vector<std::uint32_t>{0xFDAF0400, 0xFDAF04C0, 0xFDAE0400, 0xFDAE04C0,
                                                   0xFDAE0580, 0xFDAE05E8, 0xFDAE06A8, 0xFDAE0768,
                                                   0xFDAC0400}));
  EXPECT_EQ(pch.m_GroupOffset[5], 0x5E8u);
  EXPECT_EQ(pch.BankNaming, 2);
  EXPECT_EQ(pch.NameOffset, 0x41);
  EXPECT_FALSE(pch.m_PadAccessFailed);

  // Another PADBAR moves every group of its community with it.
  SetUp();
  LoadPlainWindows(0x600);
  TSkylakePCH moved;
  EXPECT_EQ(moved.m_GroupOffset[1], 0x6C0u);
  EXPECT_EQ(moved.m_GroupAddress[1], 0xFDAF06C0u);
  EXPECT_EQ(moved.m_GroupAddress[8], 0xFDAC0600u);
}

TEST_F(SkylakePCHTest, PadNamesAreCheckedAgainstEachGroupsSize) {
  LoadSkylake();
  TSkylakePCH pch;
  struct Case {
    const wchar_t* Token;
    bool Ok;
    std::uint8_t Pin, Mode;
  };
  const Case cases[] = {
      {L"GPIOB12=HIGH", true, 36, GPIO_OUTPUT_HIGH}, {L"GPIOC5=INPUT", true, 53, GPIO_INPUT},
      {L"GPIOE12=LOW", true, 108, GPIO_OUTPUT_LOW},  {L"GPIOI10=LOW", true, 202, GPIO_OUTPUT_LOW},
      {L"GPIOA0=FOO", true, 0, GPIO_NOT_GPIO},        {L"GPIOA23=INPUT_HIGH", true, 23, GPIO_INPUT_HIGH},
      {L"GPIOE13=LOW", false, 0, 0},                  {L"GPIOI11=LOW", false, 0, 0},
      {L"GPIOJ1=LOW", false, 0, 0},                   {L"GPIOA24=LOW", false, 0, 0},
      {L"GPIOA-1=LOW", false, 0, 0},                  {L"GPIOAX=LOW", false, 0, 0},
      {L"GPIOB12", false, 0, 0},                      {L"XGPIOB1=LOW", false, 0, 0},
      {L"GPIO", false, 0, 0},                         {L"GPIO12=LOW", false, 0, 0},
  };
  for (const Case& c : cases) {
    std::uint8_t pin = 0, mode = 0;
    EXPECT_EQ(pch.InterpretGPIOString(c.Token, pin, mode), c.Ok) << testing::PrintToString(std::wstring(c.Token));
    if (c.Ok) {
      EXPECT_EQ(pin, c.Pin) << testing::PrintToString(std::wstring(c.Token));
      EXPECT_EQ(mode, c.Mode) << testing::PrintToString(std::wstring(c.Token));
    }
  }
  // "::" is accepted and leaves Pin and Mode alone.
  std::uint8_t pin = 7, mode = 9;
  EXPECT_TRUE(pch.InterpretGPIOString(L"GPIOB::1", pin, mode));
  EXPECT_EQ(pin, 7);
  EXPECT_EQ(mode, 9);
  // Apply refuses a bad pad before writing anything.
  ClearTrace();
  EXPECT_FALSE(pch.ApplyGPIOSetting(L"GPIOE13=LOW"));
  EXPECT_TRUE(Board().Trace().OfKind(TTraceKind::MemWrite).empty());
}

TEST_F(SkylakePCHTest, ParserAndWriteLogTheirSteps) {
  TDebugConsole::Instance(true);
  LoadSkylake();
  ::testing::internal::CaptureStdout();
  TSkylakePCH pch;
  EXPECT_TRUE(pch.ApplyGPIOSetting(L"gpiob12=high"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "SKL_PID_GPIOCOM0 PADBAR ... [0x00000400]\n"
            "SKL_PID_GPIOCOM1 PADBAR ... [0x00000400]\n"
            "SKL_PID_GPIOCOM2 PADBAR ... [0x00000400]\n"
            "SKL_PID_GPIOCOM3 PADBAR ... [0x00000400]\n"
            "[TSkylakePCH::InterpretGPIOString]\n"
            "GPIOB12=HIGH\n"
            "Group = B\n"
            "Pin = 12\n"
            "Array Index = 36\n"
            "Pin Value = HIGH\n"
            "[TSkylakePCH::WriteGPIO START...]\n"
            "Pin ... [36]\n"
            "Mode ... [130]\n"
            "GPP_B_12Addr ... [0x00000000FDAF0520]\n"
            "GPP_B_12 ... [0x44000100]\n"
            "[case GPIO_OUTPUT_HIGH:]\n"
            "GPP_B_12 ... [0x44000201]\n");
}

TEST_F(SkylakePCHTest, WritesChangeOnlyTheBufferAndLevelBitsOfOnePad) {
  struct Case {
    const wchar_t* Setting;
    const char* Pad;
    std::uint64_t Address;
    std::uint32_t Before, After;
    const char* State;  // of the pin event, "" when the pad's state does not change
  };
  const Case cases[] = {
      // GPP_B12: pin 36, group B + 96.
      {L"GPIOB12=HIGH", "GPP_B_12", 0xFDAF0520, 0x44000100, 0x44000201, "output_high"},
      // An input (level high on the pad): bit 9 cleared, bit 8 set, level bits untouched.
      {L"gpioc5=input", "GPP_C_5", 0xFDAE0428, 0x44000102, 0x44000102, ""},
      // An output high made an input keeps its TX state bit.
      {L"GPIOD0=INPUT_LOW", "GPP_D_0", 0xFDAE04C0, 0x44000201, 0x44000101, "input"},
      {L"GPIOD0=LOW", "GPP_D_0", 0xFDAE04C0, 0x44000201, 0x44000200, "output_low"},
      // A pad in a native mode stays in it.
      {L"GPIOA0=HIGH", "GPP_A_0", 0xFDAF0400, 0x44000500, 0x44000601, ""},
      // Any other word writes DW0 back unchanged.
      {L"GPIOE0=GPIO_NOT_GPIO_HIGH", "GPP_E_0", 0xFDAE0580, 0x44000300, 0x44000300, ""},
      {L"GPIOI10=HIGH", "GPP_I_10", 0xFDAC0450, 0x44800100, 0x44800201, "output_high"},
  };
  for (const Case& c : cases) {
    SetUp();
    LoadSkylake();
    TSkylakePCH pch;
    std::vector<std::uint32_t> expected = AllPads();
    ClearTrace();
    EXPECT_TRUE(pch.ApplyGPIOSetting(c.Setting));
    const std::string what = c.Pad;
    const auto reads = Board().Trace().OfKind(TTraceKind::MemRead);
    const auto writes = Board().Trace().OfKind(TTraceKind::MemWrite);
    ASSERT_EQ(reads.size(), 1u) << what;
    ASSERT_EQ(writes.size(), 1u) << what;
    EXPECT_EQ(reads[0].Address, c.Address) << what;
    EXPECT_EQ(reads[0].Value, c.Before) << what;
    EXPECT_EQ(writes[0].Address, c.Address) << what;
    EXPECT_EQ(writes[0].Width, 4u) << what;
    EXPECT_EQ(writes[0].Value, c.After) << what;
    EXPECT_EQ(Holding(c.Pad).Dw0(c.Pad), c.After) << what;
    // Nothing else of any pad changed.
    std::vector<std::uint32_t> now = AllPads();
    ASSERT_EQ(now.size(), expected.size());
    for (std::size_t i = 0; i < now.size(); ++i) {
      if (now[i] != expected[i]) {
        EXPECT_EQ(now[i], c.After) << what << " word " << i;
      }
    }
    const std::vector<nlohmann::json> events = PinEvents();
    if (std::string(c.State).empty()) {
      EXPECT_TRUE(events.empty()) << what;
    } else {
      ASSERT_EQ(events.size(), 1u) << what;
      EXPECT_EQ(events[0]["owner"], "pch");
      EXPECT_EQ(events[0]["chip"], "Z170");
      EXPECT_EQ(events[0]["pin"], c.Pad);
      EXPECT_EQ(events[0]["state"], c.State);
      EXPECT_EQ(events[0]["address"], c.Address);
    }
  }
}

TEST_F(SkylakePCHTest, ReadFetchesThreeBlocksAndDecodesDw0) {
  LoadPlainWindows(0x400);
  struct Case {
    std::uint32_t Dw0;
    std::uint8_t State;
  };
  const Case cases[] = {
      {0x800002, GPIO_INPUT_LOW},   // RX inverted: the high input reads low
      {0x000002, GPIO_INPUT_HIGH},  {0x800000, GPIO_INPUT_HIGH}, {0x000000, GPIO_INPUT_LOW},
      {0x000401, GPIO_NOT_GPIO},    // pad mode 1
      {0x001C00, GPIO_NOT_GPIO},    {0x000300, GPIO_DISABLED},   {0x000201, GPIO_OUTPUT_HIGH},
      {0x000200, GPIO_OUTPUT_LOW},  {0x000202, GPIO_OUTPUT_LOW}, {0x000100, GPIO_INPUT_LOW},
  };
  // One case per pad of group E (C, D, E share community 1's block), then the last pad of I.
  for (std::size_t i = 0; i < std::size(cases); ++i) PokeDw0(0xFDAE0580 + 8 * i, cases[i].Dw0);
  PokeDw0(0xFDAC0450, 0x000201);
  TSkylakePCH pch;
  ClearTrace();
  pch.ReadGPIO();
  const auto reads = Board().Trace().OfKind(TTraceKind::MemRead);
  ASSERT_EQ(reads.size(), 3u);
  const std::pair<std::uint64_t, std::uint32_t> blocks[] = {
      {0xFDAF0400, 384}, {0xFDAE0400, 1064}, {0xFDAC0400, 88}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(reads[i].Address, blocks[i].first);
    EXPECT_EQ(reads[i].Length, blocks[i].second);
  }
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(pch.GPIO[4 * 24 + i], cases[i].State) << std::hex << cases[i].Dw0;
  EXPECT_EQ(pch.GPIO[8 * 24 + 10], GPIO_OUTPUT_HIGH);
  EXPECT_EQ(pch.GPIO[0], GPIO_INPUT_LOW);  // zero-filled memory: a GPIO input, low
  // Indexes of pads that do not exist keep the constructor's code.
  EXPECT_EQ(pch.GPIO[4 * 24 + 13], GPIO_NOT_GPIO);
  EXPECT_EQ(pch.GPIO[8 * 24 + 11], GPIO_NOT_GPIO);
  EXPECT_EQ(pch.GPIO[216], GPIO_NOT_GPIO);
  EXPECT_FALSE(pch.m_PadAccessFailed);
}

TEST_F(SkylakePCHTest, ListNamesEveryPadOfEveryGroup) {
  LoadSkylake();
  TSkylakePCH pch;
  std::vector<std::wstring> lines;
  pch.ListGPIOState(lines);
  ASSERT_EQ(lines.size(), 192u);
  EXPECT_EQ(lines.front(), L"GPP_A_0 = Not GPIO");
  EXPECT_EQ(lines[1], L"GPP_A_1 = Input Low");
  EXPECT_EQ(lines[24 + 3], L"GPP_B_3 = Input High");
  EXPECT_EQ(lines[48 + 5], L"GPP_C_5 = Input High");
  EXPECT_EQ(lines[72], L"GPP_D_0 = Output High");
  EXPECT_EQ(lines[96], L"GPP_E_0 = Disabled");
  EXPECT_EQ(lines[96 + 12], L"GPP_E_12 = Input Low");
  EXPECT_EQ(lines[109], L"GPP_F_0 = Input Low");
  EXPECT_EQ(lines.back(), L"GPP_I_10 = Input High");  // RX inverted, pad low
}

TEST_F(SkylakePCHTest, FailedReadsAreNeitherDataNorWrittenBack) {
  LoadSkylake();
  TSkylakePCH pch;
  // A pad whose DW0 read fails is not written: the all-ones value would set its pad mode.
  Board().FailRequest(drv::kReadMemory, 0xC0000001, 1);
  ClearTrace();
  EXPECT_FALSE(pch.WritePad(36, GPIO_OUTPUT_HIGH));
  EXPECT_TRUE(Board().Trace().OfKind(TTraceKind::MemWrite).empty());
  EXPECT_EQ(Holding("GPP_B_12").Dw0("GPP_B_12"), 0x44000100u);
  EXPECT_TRUE(pch.m_PadAccessFailed);

  // Pins that name no pad are never read or written.
  ClearTrace();
  for (std::uint8_t pin : {4 * 24 + 13, 8 * 24 + 11, 216, 255}) EXPECT_FALSE(pch.WritePad(pin, GPIO_OUTPUT_LOW));
  EXPECT_TRUE(Board().Trace().Events().empty());

  // A community whose block read fails decodes as all ones (native function), not as data.
  SetUp();
  LoadSkylake();
  TSkylakePCH reading;
  EXPECT_FALSE(reading.m_PadAccessFailed);
  Board().FailMemory(0xFDAE0000, 0x10000);
  reading.ReadGPIO();
  EXPECT_TRUE(reading.m_PadAccessFailed);
  EXPECT_EQ(reading.GPIO[72], GPIO_NOT_GPIO);            // GPP_D_0, an output high
  EXPECT_EQ(reading.GPIO[24 + 3], GPIO_INPUT_HIGH);      // community 0 still read
}

}  // namespace
