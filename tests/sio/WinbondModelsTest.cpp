// The three Winbond model classes on the virtual board: ReadGPIO's bank rules and read order,
// WriteGPIO's exact configuration accesses for every bank (and the board's registers before
// and after: nothing else changed), the pin that really moves, the UHG group switch, the
// W83667 construction lines, and ReadGPIO agreeing with the board's own pins.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "diag/DebugConsole.h"
#include "sio/SioBuilder.h"
#include "sio/W83627Sio.h"
#include "sio/W83627UHG.h"
#include "sio/W83667Sio.h"
#include "SioModelTest.h"

namespace {

class WinbondModelsTest : public SioModelTest {
 protected:
  // The cases, then pins 0 to 7 (bank 0, which no Winbond model has) and the first pin after
  // the model's last bank, each of which touches nothing.
  void RunWrites(const TModel& model, std::vector<TWriteCase> cases, std::uint8_t firstAfter) {
    for (std::uint8_t pin = 0; pin < 8; ++pin) cases.push_back({pin, GPIO_OUTPUT_LOW, {}, ""});
    cases.push_back({firstAfter, GPIO_OUTPUT_HIGH, {}, ""});
    SioModelTest::RunWrites(model, cases);
  }
};

// The chips as the tests start them: every bank's inversion register all ones (so clearing
// the pin's bit shows), globals with bits that read-modify-writes must keep.
const TModel kW83627 = {"W83627DHG", "A0 20",
                        {{kGlobal, 0x29, 0x40}, {kGlobal, 0x2C, 0x02}, {kGlobal, 0x2D, 0xFF},
                         {0x07, 0xF2, 0xFF}, {0x07, 0xF6, 0xFF}, {0x09, 0xE5, 0xFF},
                         {0x09, 0xF2, 0xFF}, {0x09, 0xF6, 0xFF}, {0x09, 0xE2, 0xFF}}};
const TModel kW83627Uhg = {"W83627UHG", "A2 32",
                           {{kGlobal, 0x2C, 0x51}, {kGlobal, 0x2A, 0x07}, {kGlobal, 0x2D, 0x80},
                            {0x06, 0x30, 0x01}, {0x0D, 0x30, 0x01}, {0x0E, 0x30, 0x01},
                            {0x0F, 0x30, 0x01}, {0x09, 0xE2, 0xFF}, {0x09, 0xE6, 0xFF},
                            {0x07, 0xE2, 0xFF}, {0x07, 0xE6, 0xFF}, {0x08, 0xE2, 0xFF},
                            {0x08, 0xE6, 0xFF}}};
const TModel kW83667 = {"W83667HG", "A5 13",
                        {{kGlobal, 0x2C, 0x80}, {0x08, 0xF4, 0xFF}, {0x07, 0xEC, 0xFF},
                         {0x07, 0xED, 0xFF}, {0x07, 0xEE, 0xFF}, {0x08, 0xF2, 0xFF},
                         {0x09, 0xE2, 0xFF}, {0x09, 0xE6, 0xFF}, {0x09, 0xF2, 0xFF},
                         {0x09, 0xF6, 0xFF}, {0x07, 0xF6, 0xFF}, {0x07, 0xE2, 0xFF},
                         {0x07, 0xE6, 0xFF}, {0x07, 0xEA, 0xFF}}};

// ---------------------------------------------------------------------------------------------
// W83627DHG / EHF
// ---------------------------------------------------------------------------------------------

TEST_F(WinbondModelsTest, W83627ReadGPIO) {
  TAbstractSio& sio = Start({kW83627.Name, kW83627.Id, {}});
  EXPECT_NE(dynamic_cast<TW83627Sio*>(&sio), nullptr);
  EXPECT_EQ(sio.PinCount, 56);
  // LDN 7 with 0x30 and 0x29, banks 1 and 6; LDN 9 with 0x30 and 0x2C, banks 2 to 5.
  EXPECT_EQ(ReadOrder(sio),
            (std::vector<std::string>{"W07=07", "R30", "R29", "RF0", "RF1", "RF2", "RF3", "RF4",
                                      "RF5", "RF6", "W07=09", "R30", "R2C", "RE3", "RE4", "RE5",
                                      "RF0", "RF1", "RF2", "RF4", "RF5", "RF6", "RF7", "RE0",
                                      "RE1", "RE2", "R2D"}));
  RunReads(kW83627, {
      {"all registers 0: banks 1 and 6 not routed, the others off; pins 34, 35 need bit 1",
       {},
       {{8, {N, N, N, N, N, N, N, N}}, {48, {N, N, N, N, N, N, N, N}},
        {16, {D, D, D, D, D, D, D, D}}, {24, {D, D, D, D, D, D, D, D}},
        {32, {D, D, N, N, D, D, D, D}}, {40, {D, D, D, D, D, D, D, D}}}},
      {"bank 1 routed and active; 0xF3 takes pin 15; GPIO11 held low outside",
       {{kGlobal, 0x29, 0x01}, {0x07, 0x30, 0x01}, {0x07, 0xF0, 0x0F}, {0x07, 0xF1, 0x5A},
        {0x07, 0xF2, 0x0F}, {0x07, 0xF3, 0x80}},
       {{8, {IH, IL, IH, IH, H, L, H, NL}}, {48, {N, N, N, N, N, N, N, N}}},
       {{"GPIO11", 0}}},
      {"bank 6 routed by bit 3 of 0x29",
       {{kGlobal, 0x29, 0x08}, {0x07, 0x30, 0x08}, {0x07, 0xF5, 0xF0}},
       {{8, {N, N, N, N, N, N, N, N}}, {48, {L, L, L, L, H, H, H, H}}}},
      {"bank 3 taken by bit 4 of 0x2C",
       {{kGlobal, 0x2C, 0x12}, {0x09, 0x30, 0x02}},
       {{24, {N, N, N, N, N, N, N, N}}}},
      {"bank 3 pins 26 and 28 by bits 5 and 7 of 0x2C",
       {{kGlobal, 0x2C, 0xA2}, {0x09, 0x30, 0x02}, {0x09, 0xF1, 0xFF}},
       {{24, {H, H, N, H, N, H, H, H}}}},
      {"bank 4 taken while bits 1..0 of 0x2C are 11",
       {{kGlobal, 0x2C, 0x03}, {0x09, 0x30, 0x04}},
       {{32, {N, N, N, N, N, N, N, N}}}},
      {"bank 4 with bit 1: pins 34, 35 decode; 0xF7 takes pin 32",
       {{kGlobal, 0x2C, 0x02}, {0x09, 0x30, 0x04}, {0x09, 0xF7, 0x01}, {0x09, 0xF5, 0x0C}},
       {{32, {NL, L, H, H, L, L, L, L}}}},
      {"bank 2 active; bank 5 pins by global 0x2D as read",
       {{kGlobal, 0x2D, 0x0F}, {0x09, 0x30, 0x09}, {0x09, 0xE4, 0x81}, {0x09, 0xE1, 0x30}},
       {{16, {H, L, L, L, L, L, L, H}}, {40, {L, L, L, L, NH, NH, NL, NL}}}},
  });
}

TEST_F(WinbondModelsTest, W83627WriteGPIOEveryBank) {
  RunWrites(kW83627, {
      // Pin 9 (GPIO11): bit 0 of global 0x29 before anything else.
      {9, L, Join({{R(0x29, 0x40), W(0x29, 0x41), W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x01)},
                   Bits(0xF0, 0xF1, 0xF2, 0x02, L)}), "output_low"},
      {17, H, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x01)}, Bits(0xE3, 0xE4, 0xE5, 0x02, H)}),
       "output_high"},
      {26, L, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x02)}, Bits(0xF0, 0xF1, 0xF2, 0x04, L)}),
       "output_low"},
      {35, H, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x04)}, Bits(0xF4, 0xF5, 0xF6, 0x08, H)}),
       "output_high"},
      {44, L, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x08)}, Bits(0xE0, 0xE1, 0xE2, 0x10, L)}),
       "output_low"},
      // Pin 50 (GPIO62): bit 3 of global 0x29 first.
      {50, H, Join({{R(0x29, 0x40), W(0x29, 0x48), W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x08)},
                    Bits(0xF4, 0xF5, 0xF6, 0x04, H)}), "output_high"},
      {51, GPIO_INPUT,
       Join({{R(0x29, 0x40), W(0x29, 0x48), W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x08)},
             Bits(0xF4, 0xF5, 0xF6, 0x08, GPIO_INPUT)}), "input"},
      // A mode outside the input/output codes: the bank's preparation and the inversion only.
      {12, GPIO_NOT_GPIO,
       Join({{R(0x29, 0x40), W(0x29, 0x41), W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x01)},
             Bits(0xF0, 0xF1, 0xF2, 0x10, GPIO_NOT_GPIO)}), ""},
      {255, L, {}, ""},  // any pin beyond the banks: no access at all
  }, 56);
}

// ---------------------------------------------------------------------------------------------
// W83627UHG
// ---------------------------------------------------------------------------------------------

TEST_F(WinbondModelsTest, W83627UHGReadGPIO) {
  TAbstractSio& sio = Start({kW83627Uhg.Name, kW83627Uhg.Id, {}});
  EXPECT_NE(dynamic_cast<TW83627UHG*>(&sio), nullptr);
  EXPECT_EQ(sio.PinCount, 48);
  // Bank by bank; LDN 0x0B 0xF2 and global 0x2A before bank 2; each serial port's 0x30
  // (with that port selected) before its bank's device.
  EXPECT_EQ(ReadOrder(sio),
            (std::vector<std::string>{
                "W07=09", "R30", "R2C", "RE0", "RE1", "RE2",                   // bank 1
                "W07=0B", "RF2", "R2A", "W07=09", "RE4", "RE5", "RE6",         // bank 2
                "W07=06", "R30", "W07=07", "R30", "RE0", "RE1", "RE2",         // bank 3
                "W07=0D", "R30", "W07=07", "RE4", "RE5", "RE6",                // bank 4
                "W07=0E", "R30", "W07=08", "R30", "RE0", "RE1", "RE2",         // bank 5
                "W07=0F", "R30", "W07=08", "RE4", "RE5", "RE6"}));             // bank 6
  RunReads(kW83627Uhg, {
      {"0x2C bits 1..0 = 11: all of bank 1 not GPIO",
       {{kGlobal, 0x2C, 0x03}, {0x09, 0x30, 0x01}},
       {{8, {N, N, N, N, N, N, N, N}}}},
      {"00: pins 10, 11 not GPIO, 12 and 13 decode with gpioSelect clear",
       {{kGlobal, 0x2C, 0x00}, {0x09, 0x30, 0x01}, {0x09, 0xE1, 0x20}},
       {{8, {L, L, N, N, NL, NH, L, L}}}},
      {"01 as 00", {{kGlobal, 0x2C, 0x01}, {0x09, 0x30, 0x01}, {0x09, 0xE2, 0x10}},
       {{8, {L, L, N, N, NH, NL, L, L}}}},
      {"10: the whole bank GPIO", {{kGlobal, 0x2C, 0x02}, {0x09, 0x30, 0x01}, {0x09, 0xE1, 0x3C}},
       {{8, {L, L, H, H, H, H, L, L}}}},
      {"bank 2: 0x2A bit 1 set takes 21, 22; LDN 0x0B 0xF2 bit 1 clear takes 16, 17",
       {{kGlobal, 0x2A, 0x02}, {0x09, 0x30, 0x02}, {0x09, 0xE5, 0xFF}},
       {{16, {N, N, H, H, H, N, N, H}}}},
      {"bank 2: both routed to GPIO", {{0x0B, 0xF2, 0x02}, {0x09, 0x30, 0x02}, {0x09, 0xE5, 0x41}},
       {{16, {H, L, L, L, L, L, H, L}}}},
      {"banks 3 to 6: an active serial port takes the bank",
       {{0x06, 0x30, 0x01}, {0x07, 0x30, 0x03}, {0x0E, 0x30, 0x01}, {0x08, 0x30, 0x06}},
       {{24, {N, N, N, N, N, N, N, N}}, {32, {L, L, L, L, L, L, L, L}},
        {40, {N, N, N, N, N, N, N, N}}, {48, {L, L, L, L, L, L, L, L}}}},
      {"banks 3 to 6 off", {}, {{24, {D, D, D, D, D, D, D, D}}, {48, {D, D, D, D, D, D, D, D}}}},
  });
}

TEST_F(WinbondModelsTest, W83627UHGWriteGPIOEveryBank) {
  RunWrites(kW83627Uhg, {
      // Bank 1: 0x2C set to (0x2C OR 0x02) AND 0xFE in one read-modify-write.
      {10, L, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x01), R(0x2C, 0x51), W(0x2C, 0x52)},
                    Bits(0xE0, 0xE1, 0xE2, 0x04, L)}), "output_low"},
      // Bank 2 (GPIO23): LDN 0x0B 0xF2, then 0x2A, activation and 0x2D in LDN 9.
      {19, L, Join({{W(0x07, 0x0B), R(0xF2, 0x00), W(0xF2, 0x02), W(0x07, 0x09), R(0x2A, 0x07),
                     W(0x2A, 0x05), R(0x30, 0x00), W(0x30, 0x02), R(0x2D, 0x80), W(0x2D, 0xF7)},
                    Bits(0xE4, 0xE5, 0xE6, 0x08, L)}), "output_low"},
      {22, H, Join({{W(0x07, 0x0B), R(0xF2, 0x00), W(0xF2, 0x02), W(0x07, 0x09), R(0x2A, 0x07),
                     W(0x2A, 0x05), R(0x30, 0x00), W(0x30, 0x02), R(0x2D, 0x80), W(0x2D, 0xF7)},
                    Bits(0xE4, 0xE5, 0xE6, 0x40, H)}), "output_high"},
      // Banks 3 to 6: the serial port sharing the pins goes off first.
      {25, H, Join({{W(0x07, 0x06), R(0x30, 0x01), W(0x30, 0x00), W(0x07, 0x07), R(0x30, 0x00),
                     W(0x30, 0x01)}, Bits(0xE0, 0xE1, 0xE2, 0x02, H)}), "output_high"},
      {39, L, Join({{W(0x07, 0x0D), R(0x30, 0x01), W(0x30, 0x00), W(0x07, 0x07), R(0x30, 0x00),
                     W(0x30, 0x02)}, Bits(0xE4, 0xE5, 0xE6, 0x80, L)}), "output_low"},
      {40, H, Join({{W(0x07, 0x0E), R(0x30, 0x01), W(0x30, 0x00), W(0x07, 0x08), R(0x30, 0x00),
                     W(0x30, 0x02)}, Bits(0xE0, 0xE1, 0xE2, 0x01, H)}), "output_high"},
      {53, L, Join({{W(0x07, 0x0F), R(0x30, 0x01), W(0x30, 0x00), W(0x07, 0x08), R(0x30, 0x00),
                     W(0x30, 0x04)}, Bits(0xE4, 0xE5, 0xE6, 0x20, L)}), "output_low"},
      {28, GPIO_DISABLED,
       Join({{W(0x07, 0x06), R(0x30, 0x01), W(0x30, 0x00), W(0x07, 0x07), R(0x30, 0x00),
              W(0x30, 0x01)}, Bits(0xE0, 0xE1, 0xE2, 0x10, GPIO_DISABLED)}), ""},
      {200, L, {}, ""},
  }, 56);
}

TEST_F(WinbondModelsTest, W83627UHGEnableGroupSetsTheActivationBitOnly) {
  struct TCase {
    std::uint8_t Pin;
    TAccesses Expected;
  };
  const std::vector<TCase> cases = {
      {8, {W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x01)}},
      {23, {W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x02)}},
      {24, {W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x01)}},
      {39, {W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x02)}},
      {40, {W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x02)}},
      {55, {W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x04)}},
      {7, {}},
      {56, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(int(c.Pin));
    gavrelo::ResetProcessStateForTests();
    TDebugConsole::Instance(true);
    LoadChip({{"name", kW83627Uhg.Name}, {"port", "0x2E"}, {"keys", "winbond"}, {"id", kW83627Uhg.Id},
              {"devices", {{"0x06", {{"registers", {{"0x30", "0x01"}}}}}}}});
    TW83627UHG sio(0x2E);
    ClearTrace();
    const TChipRegisters before = ChipRegisters(Chip(0x2E));
    ::testing::internal::CaptureStdout();
    sio.EnableGPIOGroup(c.Pin);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Group ... [" + std::to_string(c.Pin / 8) + "]\n");
    EXPECT_EQ(ConfigAccesses(Cycles()), c.Expected);
    // The serial port (UART C, LDN 6) stays active; only the activation bit changed.
    EXPECT_EQ(ChipRegisters(Chip(0x2E)), ApplyWrites(before, c.Expected, 0x0B));
    EXPECT_EQ(Chip(0x2E).Device(0x06, 0x30), 0x01);
  }
}

// ---------------------------------------------------------------------------------------------
// W83667HG
// ---------------------------------------------------------------------------------------------

TEST_F(WinbondModelsTest, W83667ReadGPIO) {
  TAbstractSio& sio = Start({kW83667.Name, kW83667.Id, {}});
  EXPECT_NE(dynamic_cast<TW83667Sio*>(&sio), nullptr);
  EXPECT_EQ(sio.PinCount, 80);
  // Register 0x30 once per device; each global once, when a bank first needs it.
  EXPECT_EQ(ReadOrder(sio),
            (std::vector<std::string>{
                "W07=08", "R30", "RF0", "RF1", "RF2", "RF4", "R2C",       // bank 1
                "W07=09", "R30", "RE0", "RE1", "RE2", "RE9", "R27", "R24",  // bank 2
                "RE4", "RE5", "RE6", "R2B", "REA",                        // bank 3
                "RF0", "RF1", "RF2", "RF3", "R2A",                        // bank 4
                "RF4", "RF5", "RF6", "REB",                               // bank 5
                "W07=07", "R30", "RF4", "RF5", "RF6", "RF8", "R29",       // bank 6
                "RE0", "RE1", "RE2", "REC",                               // bank 7
                "RE4", "RE5", "RE6", "RED",                               // bank 8
                "RE8", "RE9", "REA", "REE"}));                            // bank 9
  RunReads(kW83667, {
      {"bank 1 taken by bit 1 of 0x2C, as bank 7; bank 6 needs bit 3 of 0x29",
       {{kGlobal, 0x2C, 0x02}, {0x08, 0x30, 0x02}, {0x07, 0x30, 0x06}},
       {{8, {N, N, N, N, N, N, N, N}}, {48, {N, N, N, N, N, N, N, N}},
        {56, {N, N, N, N, N, N, N, N}}}},
      {"bank 1 single pins by LDN 8 0xF4",
       {{kGlobal, 0x2C, 0xC0}, {0x08, 0x30, 0x02}, {0x08, 0xF4, 0x81}, {0x08, 0xF1, 0x01}},
       {{8, {NH, L, L, L, L, L, L, NL}}}},
      {"bank 2 by LDN 9 0xE9; pin 22 by bit 5 of 0x27 or bit 1 of 0x24",
       {{kGlobal, 0x27, 0x20}, {0x09, 0x30, 0x01}, {0x09, 0xE9, 0x01}},
       {{16, {NL, L, L, L, L, L, N, L}}}},
      {"pin 22 by bit 1 of 0x24", {{kGlobal, 0x24, 0x02}, {0x09, 0x30, 0x01}},
       {{16, {L, L, L, L, L, L, N, L}}}},
      {"bank 3 by global 0x2B and LDN 9 0xEA; pin 31 while bits 7, 6 of 0x2C are clear",
       {{kGlobal, 0x2B, 0x01}, {0x09, 0x30, 0x02}, {0x09, 0xEA, 0x02}},
       {{24, {NL, NL, L, L, L, L, L, N}}}},
      {"pin 31 with bit 6 of 0x2C", {{kGlobal, 0x2C, 0x40}, {0x09, 0x30, 0x02}},
       {{24, {L, L, L, L, L, L, L, L}}}},
      {"bank 4 taken by bit 2 of 0x2A; bank 5 pin 40 by 0x2C bits 7, 6, single pins by 0xEB",
       {{kGlobal, 0x2A, 0x04}, {0x09, 0x30, 0x0C}, {0x09, 0xEB, 0x80}},
       {{32, {N, N, N, N, N, N, N, N}}, {40, {N, L, L, L, L, L, L, NL}}}},
      {"bank 4 single pins by LDN 9 0xF3", {{kGlobal, 0x2C, 0x80}, {0x09, 0x30, 0x0C}, {0x09, 0xF3, 0x10}},
       {{32, {L, L, L, L, NL, L, L, L}}, {40, {L, L, L, L, L, L, L, L}}}},
      {"bank 6 routed by bit 3 of 0x29, single pins by 0xF8; bank 7 by 0xEC",
       {{kGlobal, 0x29, 0x08}, {0x07, 0x30, 0x06}, {0x07, 0xF8, 0x02}, {0x07, 0xEC, 0x04}},
       {{48, {L, NL, L, L, L, L, L, L}}, {56, {L, L, NL, L, L, L, L, L}}}},
      {"bank 8 pins 67, 68 by bits 0, 1 of 0x27; bank 9 by bits 2, 3, 4 of 0x27",
       {{kGlobal, 0x27, 0x0D}, {0x07, 0x30, 0x18}},
       {{64, {L, L, L, N, L, L, L, L}}, {72, {N, N, N, N, N, N, N, L}}}},
      {"bit 0 of 0x2C: pins 67, 68 and all of bank 9",
       {{kGlobal, 0x2C, 0x01}, {0x07, 0x30, 0x18}, {0x07, 0xED, 0x01}, {0x07, 0xEE, 0x00}},
       {{64, {NL, L, L, N, N, L, L, L}}, {72, {N, N, N, N, N, N, N, N}}}},
      {"bank 9: inversion 0xEA of LDN 7, bank 3's 0xEA is LDN 9's",
       {{kGlobal, 0x2C, 0x80}, {0x07, 0x30, 0x10}, {0x07, 0xEA, 0x0F}, {0x09, 0xEA, 0xFF}},
       {{72, {H, H, H, H, L, L, L, L}}}},
  });
}

TEST_F(WinbondModelsTest, W83667WriteGPIOEveryBank) {
  RunWrites(kW83667, {
      // Banks 1, 7, 8, 9: the pin's bit of the multi-function register after the activation.
      {12, L, Join({{W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x02), R(0xF4, 0xFF), W(0xF4, 0xEF)},
                    Bits(0xF0, 0xF1, 0xF2, 0x10, L)}), "output_low"},
      {18, H, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x01)}, Bits(0xE0, 0xE1, 0xE2, 0x04, H)}),
       "output_high"},
      {31, L, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x02)}, Bits(0xE4, 0xE5, 0xE6, 0x80, L)}),
       "output_low"},
      {32, H, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x04)}, Bits(0xF0, 0xF1, 0xF2, 0x01, H)}),
       "output_high"},
      {40, L, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x08)}, Bits(0xF4, 0xF5, 0xF6, 0x01, L)}),
       "output_low"},
      {49, H, Join({{R(0x29, 0x00), W(0x29, 0x08), W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x02)},
                    Bits(0xF4, 0xF5, 0xF6, 0x02, H)}), "output_high"},
      {59, L, Join({{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x04), R(0xEC, 0xFF), W(0xEC, 0xF7)},
                    Bits(0xE0, 0xE1, 0xE2, 0x08, L)}), "output_low"},
      {67, H, Join({{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x08), R(0xED, 0xFF), W(0xED, 0xF7)},
                    Bits(0xE4, 0xE5, 0xE6, 0x08, H)}), "output_high"},
      {79, L, Join({{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x10), R(0xEE, 0xFF), W(0xEE, 0x7F)},
                    Bits(0xE8, 0xE9, 0xEA, 0x80, L)}), "output_low"},
      {60, 0x00, Join({{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x04), R(0xEC, 0xFF), W(0xEC, 0xEF)},
                       Bits(0xE0, 0xE1, 0xE2, 0x10, 0x00)}), ""},
      {255, H, {}, ""},
  }, 80);
}

TEST_F(WinbondModelsTest, W83667ConstructionLinesAndFanMap) {
  gavrelo::ResetProcessStateForTests();
  TDebugConsole::Instance(true);
  LoadChip({{"name", kW83667.Name}, {"port", "0x2E"}, {"keys", "winbond"}, {"id", kW83667.Id}});
  ::testing::internal::CaptureStdout();
  TW83667Sio sio(0x2E);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Build W83667 SIO\nFan Config = 5\n"), std::string::npos) << out;
  // The construction runs TWinbondSio's map; the override, called on the object, rewrites
  // its three inputs, AUXFANIN with its own count register 0x2A.
  sio.Fans.clear();
  sio.BuildFanMap();
  ASSERT_EQ(sio.Fans.size(), 3u);
  const THwmFan_t& aux = sio.Fans.at(L"AUXFANIN");
  EXPECT_EQ(std::vector<int>({aux.Bank, aux.CountReg, aux.DivReg1, aux.DivMask1, aux.DivShift1,
                              aux.DivReg2, aux.DivMask2, aux.DivShift2}),
            std::vector<int>({0, 0x2A, 0x4B, 0xC0, 6, 0x5D, 0x80, 5}));
  EXPECT_EQ(sio.Fans.at(L"SYSFANIN").CountReg, 0x28);
  EXPECT_EQ(sio.Fans.at(L"CPUFANIN").CountReg, 0x29);
}

// ---------------------------------------------------------------------------------------------
// The board's pins and ReadGPIO, written independently from the same register maps, agree on
// every pin for register states drawn at random (a fixed seed: the same states every run).
// ---------------------------------------------------------------------------------------------

TEST_F(WinbondModelsTest, ReadGPIOAgreesWithTheBoardsPins) {
  const std::vector<std::uint8_t> globals = {0x24, 0x27, 0x29, 0x2A, 0x2B, 0x2C, 0x2D};
  const std::vector<std::uint8_t> devices = {0x06, 0x07, 0x08, 0x09, 0x0D, 0x0E, 0x0F};
  for (const TModel* model : {&kW83627, &kW83627Uhg, &kW83667})
    ExpectReadGPIOAgreesWithPins(*model, globals, devices, {{0x0B, 0xF2}}, 60, 20260115);
}

}  // namespace
