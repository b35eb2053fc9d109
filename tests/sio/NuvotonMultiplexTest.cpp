// The NCT6791D and NCT6102D model classes on the virtual board: ReadGPIO's passes and pin
// rules (the NCT6791D's read of LDN 0x0B 0xE6 before bank 5, seven-pin banks, the NCT6102D's
// own gpioSelect of banks 6 and 7, globals read once), WriteGPIO with the per-pin routing
// steps access by access, EnableGPIOGroup with its log lines, and ReadGPIO agreeing with the
// board's own pins on random register states.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "diag/DebugConsole.h"
#include "sio/NCT6102DSio.h"
#include "sio/NCT6791DSio.h"
#include "SioModelTest.h"

namespace {

// The chips as the tests start them: inversion registers all ones, and routing globals with
// the bits the pin steps clear set (and those they set clear), so every step shows.
const TModel kNct6791 = {"NCT6791D", "C8 03",
                         {{kGlobal, 0x1A, 0x80}, {kGlobal, 0x1B, 0x11}, {kGlobal, 0x1C, 0x18},
                          {kGlobal, 0x1D, 0x09}, {kGlobal, 0x27, 0x1C}, {kGlobal, 0x2C, 0x59},
                          {kGlobal, 0x2D, 0x03}, {kGlobal, 0x2F, 0xEE}, {0x0B, 0xE6, 0x06},
                          {0x09, 0xEA, 0xFF}, {0x08, 0xE2, 0xFF}, {0x08, 0xF2, 0xFF},
                          {0x09, 0xE2, 0xFF}, {0x09, 0xE6, 0xFF}, {0x09, 0xF2, 0xFF},
                          {0x09, 0xF6, 0xFF}, {0x07, 0xF6, 0xFF}, {0x07, 0xE2, 0xFF},
                          {0x07, 0xE6, 0xFF}}};
const TModel kNct6102 = {"NCT6102D", "C4 52",
                         {{kGlobal, 0x1A, 0x03}, {kGlobal, 0x1B, 0xF8}, {kGlobal, 0x1C, 0x70},
                          {0x07, 0xE2, 0xFF}, {0x07, 0xE6, 0xFF}, {0x07, 0xEA, 0xFF},
                          {0x07, 0xEE, 0xFF}, {0x07, 0xF2, 0xFF}, {0x07, 0xF6, 0xFF},
                          {0x07, 0xFA, 0xFF}, {0x07, 0xFE, 0xFF}}};

class NuvotonMultiplexTest : public SioModelTest {
 protected:
  struct TGroupCase {
    std::uint8_t Pin;
    TAccesses Expected;
    std::string Log;
  };
  void RunGroups(const TModel& model, const std::vector<TGroupCase>& cases) {
    for (const TGroupCase& c : cases) {
      SCOPED_TRACE(testing::Message() << model.Name << " pin " << int(c.Pin));
      TAbstractSio& sio = Start(model, {}, true);
      const TChipRegisters before = ChipRegisters(Chip(0x2E));
      ::testing::internal::CaptureStdout();
      sio.EnableGPIOGroup(c.Pin);
      EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.Log);
      EXPECT_EQ(ConfigAccesses(Cycles()), c.Expected);
      EXPECT_EQ(ChipRegisters(Chip(0x2E)), ApplyWrites(before, c.Expected, 0x0B));
      ExpectAllChipsLocked();
    }
  }
};

// Bank steps of the NCT6791D write: the device and the activation bit.
TAccesses Activate(std::uint8_t ldn, std::uint8_t bit) {
  return {W(0x07, ldn), R(0x30, 0x00), W(0x30, static_cast<std::uint8_t>(1u << bit))};
}

// ---------------------------------------------------------------------------------------------
// NCT6791D
// ---------------------------------------------------------------------------------------------

TEST_F(NuvotonMultiplexTest, NCT6791DReadGPIO) {
  TAbstractSio& sio = Start({kNct6791.Name, kNct6791.Id, {}});
  EXPECT_NE(dynamic_cast<TNCT6791DSio*>(&sio), nullptr);
  EXPECT_EQ(sio.PinCount, 72);
  EXPECT_EQ(ReadOrder(sio),
            (std::vector<std::string>{
                "W07=08", "R30", "RE0", "RE1", "RE2", "RE4", "R1C", "R1D",  // bank 0
                "RF0", "RF1", "RF2", "RF4", "R27", "R2A",                   // bank 1
                "W07=0B", "RE6", "W07=09", "R30",                           // before bank 2
                "RE0", "RE1", "RE2", "RE9", "R1B", "R2C",                   // bank 2
                "RE4", "RE5", "RE6", "REA", "R1A", "R2F",                   // bank 3
                "RF0", "RF1", "RF2", "REE",                                 // bank 4
                "RF4", "RF5", "RF6", "REB", "R2D",                          // bank 5
                "W07=07", "R30", "RF4", "RF5", "RF6", "RF8",                // bank 6
                "RE0", "RE1", "RE2", "REC", "R2B",                          // bank 7
                "RE4", "RE5", "RE6", "RED"}));                              // bank 8
  RunReads(kNct6791, {
      {"globals 0: bank 0 pins 0-2, 4-6 and bank 8 routed away; the rest off",
       {},
       {{0, {N, N, N, D, N, N, N, D}}, {8, {N, N, N, N, N, N, N, N}},
        {16, {N, N, N, N, D, D, D, D}}, {24, {N, N, N, N, D, D, D}},
        {32, {N, N, N, D, D, D, D, N}}, {40, {D, D, D, D, D, D, D, D}},
        {48, {D, D, D, D, D, D, D, D}}, {56, {D, D, D, D, N, N, N}},
        {64, {N, N, N, N, N, N, N, N}}}},
      {"bank 0 by 0x1C and 0x1D; bank 1 activation bit 7",
       {{kGlobal, 0x1C, 0xE7}, {kGlobal, 0x1D, 0x01}, {kGlobal, 0x2A, 0x40}, {0x08, 0x30, 0x82},
        {0x08, 0xE1, 0x0F}},
       {{0, {H, H, H, H, L, L, L, N}}, {8, {L, L, L, L, L, L, L, L}}}},
      {"pin 3 by bit 4 of 0x1C; pins 10, 11 by bit 2 of 0x27",
       {{kGlobal, 0x1C, 0xF7}, {kGlobal, 0x27, 0x04}, {kGlobal, 0x2A, 0x40}, {0x08, 0x30, 0x82}},
       {{0, {L, L, L, N, L, L, L, L}}, {8, {L, L, N, N, L, L, L, L}}}},
      {"bank 2: 22 by bit 0 of 0x2C, 23 by bit 3; 18, 19 by bit 1 of 0x2A",
       {{kGlobal, 0x2A, 0x01}, {kGlobal, 0x2C, 0x09}, {0x09, 0x30, 0x01}},
       {{16, {L, L, N, N, L, L, N, N}}}},
      {"bank 3 (seven pins): 24 by 0x1A bits 7/6, 27 by 0x2C bits 6/5, 28 by 0x2F bit 7, 29/30 "
       "by 0x2F bit 1",
       {{kGlobal, 0x1A, 0x70}, {kGlobal, 0x2C, 0x60}, {kGlobal, 0x2F, 0x82}, {0x09, 0x30, 0x02}},
       {{24, {L, L, L, N, N, N, N}}}},
      {"bank 3 routed; 25, 26 by bit 0 of 0x1B",
       {{kGlobal, 0x1A, 0x70}, {kGlobal, 0x1B, 0x01}, {kGlobal, 0x2C, 0x20}, {0x09, 0x30, 0x02}},
       {{24, {L, N, N, L, L, L, L}}}},
      {"bank 4: bit 4 of 0x27 takes 33 to 38; 32, 39 by 0x1B",
       {{kGlobal, 0x1A, 0x08}, {kGlobal, 0x1B, 0x8E}, {kGlobal, 0x27, 0x10}, {0x09, 0x30, 0x04}},
       {{32, {L, N, N, N, N, N, N, L}}}},
      {"bank 4 routed pin by pin; 38 by bit 5 of 0x27",
       {{kGlobal, 0x1A, 0x08}, {kGlobal, 0x1B, 0x8E}, {kGlobal, 0x27, 0x20}, {0x09, 0x30, 0x04}},
       {{32, {L, L, L, L, L, L, N, L}}}},
      {"bank 5: 40 and 42 by LDN 0x0B 0xE6 bits 2 and 1; 41, 43 by 0x2D; 44 by 0x1D bit 3",
       {{0x0B, 0xE6, 0x04}, {kGlobal, 0x2D, 0x01}, {kGlobal, 0x1D, 0x08}, {0x09, 0x30, 0x08}},
       {{40, {N, L, L, N, N, L, L, L}}}},
      {"bank 5: bit 3 of 0x2F takes 40 to 45, bit 5 takes 46 and 47",
       {{kGlobal, 0x2F, 0x28}, {0x09, 0x30, 0x08}},
       {{40, {N, N, N, N, N, N, N, N}}}},
      {"bank 5: 45 by bit 2 of 0x2F; LDN 0x0B 0xE6 bit 1 takes 42",
       {{kGlobal, 0x2F, 0x04}, {0x0B, 0xE6, 0x02}, {0x09, 0x30, 0x08}},
       {{40, {L, L, N, L, L, N, L, L}}, {56, {N, N, N, N, N, N, N}}}},
      {"bank 6 by 0x2F bit 1 / 0x27 bit 4, activation LDN 7 bit 0; bank 7 pins 56-59 by bit 2",
       {{kGlobal, 0x2F, 0x04}, {kGlobal, 0x2B, 0xE0}, {0x07, 0x30, 0x03}},
       {{48, {L, L, L, L, L, L, L, L}}, {56, {N, N, N, N, L, L, L}}}},
      {"bank 8 routed by bit 7 of 0x2A; 69 by bit 6 of 0x2F",
       {{kGlobal, 0x2A, 0x80}, {kGlobal, 0x2F, 0x40}, {0x07, 0x30, 0x04}},
       {{64, {L, L, L, L, L, N, L, L}}, {48, {D, D, D, D, D, D, D, D}}}},
  });
}

TEST_F(NuvotonMultiplexTest, NCT6791DPins31And63KeepTheirEntries) {
  TAbstractSio& sio = Start(kNct6791);
  sio.GPIO[31] = 0x77;
  sio.GPIO[63] = 0x66;
  sio.GPIO[72] = 0x55;
  sio.ReadGPIO();
  EXPECT_EQ(int(sio.GPIO[31]), 0x77);
  EXPECT_EQ(int(sio.GPIO[63]), 0x66);
  EXPECT_EQ(int(sio.GPIO[72]), 0x55);
}

TEST_F(NuvotonMultiplexTest, NCT6791DWriteGPIORoutingStepsPinByPin) {
  RunWrites(kNct6791, {
      // Bank 0: the pin's routing bit of 0x1C; pin 3 clears bits 4 and 3.
      {0, L, Join({Activate(0x08, 1), {R(0x1C, 0x18), W(0x1C, 0x19)}, Bits(0xE0, 0xE1, 0xE2, 0x01, L)}),
       "output_low"},
      {3, H, Join({Activate(0x08, 1), {R(0x1C, 0x18), W(0x1C, 0x00)}, Bits(0xE0, 0xE1, 0xE2, 0x08, H)}),
       "output_high"},
      {6, L, Join({Activate(0x08, 1), {R(0x1C, 0x18), W(0x1C, 0x98)}, Bits(0xE0, 0xE1, 0xE2, 0x40, L)}),
       "output_low"},
      // Bank 1: 0x2A bit 6 for the bank, pins 10 and 11 clear bit 2 of 0x27.
      {10, H, Join({Activate(0x08, 7), {R(0x2A, 0x00), W(0x2A, 0x40), R(0x27, 0x1C), W(0x27, 0x18)},
                    Bits(0xF0, 0xF1, 0xF2, 0x04, H)}), "output_high"},
      {13, L, Join({Activate(0x08, 7), {R(0x2A, 0x00), W(0x2A, 0x40)}, Bits(0xF0, 0xF1, 0xF2, 0x20, L)}),
       "output_low"},
      // Pins 18 and 19 both set bit 1 of 0x2A.
      {18, H, Join({Activate(0x09, 0), {R(0x2A, 0x00), W(0x2A, 0x02)}, Bits(0xE0, 0xE1, 0xE2, 0x04, H)}),
       "output_high"},
      {19, L, Join({Activate(0x09, 0), {R(0x2A, 0x00), W(0x2A, 0x02)}, Bits(0xE0, 0xE1, 0xE2, 0x08, L)}),
       "output_low"},
      {20, H, Join({Activate(0x09, 0), {R(0x1B, 0x11), W(0x1B, 0x01), R(0x27, 0x1C), W(0x27, 0x14)},
                    Bits(0xE0, 0xE1, 0xE2, 0x10, H)}), "output_high"},
      {23, L, Join({Activate(0x09, 0), {R(0x2C, 0x59), W(0x2C, 0x49), R(0x2C, 0x49), W(0x2C, 0x41)},
                    Bits(0xE0, 0xE1, 0xE2, 0x80, L)}), "output_low"},
      // Bank 3: the pin's bit of 0xEA, then its globals; pin 29 also performs pin 30's steps.
      {24, H, Join({Activate(0x09, 1), {R(0xEA, 0xFF), W(0xEA, 0xFE), R(0x1A, 0x80), W(0x1A, 0x00),
                                        R(0x1A, 0x00), W(0x1A, 0x40)},
                    Bits(0xE4, 0xE5, 0xE6, 0x01, H)}), "output_high"},
      {29, H, Join({Activate(0x09, 1), {R(0xEA, 0xFF), W(0xEA, 0xDF), R(0xEA, 0xDF), W(0xEA, 0x9F),
                                        R(0x2F, 0xEE), W(0x2F, 0xEC), R(0x27, 0x1C), W(0x27, 0x0C)},
                    Bits(0xE4, 0xE5, 0xE6, 0x20, H)}), "output_high"},
      {30, L, Join({Activate(0x09, 1), {R(0xEA, 0xFF), W(0xEA, 0xBF), R(0x2F, 0xEE), W(0x2F, 0xEC),
                                        R(0x27, 0x1C), W(0x27, 0x0C)},
                    Bits(0xE4, 0xE5, 0xE6, 0x40, L)}), "output_low"},
      // Pin 31 is no pin of the chip: the bank's steps and the bits, no routing step.
      {31, L, Join({Activate(0x09, 1), Bits(0xE4, 0xE5, 0xE6, 0x80, L)}), ""},
      {33, H, Join({Activate(0x09, 2), {R(0x2F, 0xEE), W(0x2F, 0xEC), R(0x1A, 0x80), W(0x1A, 0x88),
                                        R(0x1A, 0x88), W(0x1A, 0x88), R(0x27, 0x1C), W(0x27, 0x0C)},
                    Bits(0xF0, 0xF1, 0xF2, 0x02, H)}), "output_high"},
      // Pins 37, 38, 39: each pin's own routing — pin 37 that of pin 36 (0x2F bit 1, 0x1B
      // bit 6, 0x27 bit 4), pin 38 bits 4 and 5 of 0x27, pin 39 bit 7 of 0x1B.
      {37, H, Join({Activate(0x09, 2), {R(0x2F, 0xEE), W(0x2F, 0xEC), R(0x1B, 0x11), W(0x1B, 0x11),
                                        R(0x27, 0x1C), W(0x27, 0x0C)},
                    Bits(0xF0, 0xF1, 0xF2, 0x20, H)}), "output_high"},
      {38, L, Join({Activate(0x09, 2), {R(0x27, 0x1C), W(0x27, 0x0C), R(0x27, 0x0C), W(0x27, 0x0C)},
                    Bits(0xF0, 0xF1, 0xF2, 0x40, L)}), "output_low"},
      {39, H, Join({Activate(0x09, 2), {R(0x1B, 0x11), W(0x1B, 0x91)}, Bits(0xF0, 0xF1, 0xF2, 0x80, H)}),
       "output_high"},
      // Bank 5 bit 0: LDN 0x0B register 0xE6 and back to LDN 9 before the pin is driven.
      {40, H, Join({Activate(0x09, 3), {R(0x2F, 0xEE), W(0x2F, 0xE6), W(0x07, 0x0B), R(0xE6, 0x06),
                                        W(0xE6, 0x02), W(0x07, 0x09)},
                    Bits(0xF4, 0xF5, 0xF6, 0x01, H)}), "output_high"},
      {45, L, Join({Activate(0x09, 3), {R(0x2F, 0xEE), W(0x2F, 0xE6), R(0x2F, 0xE6), W(0x2F, 0xE2)},
                    Bits(0xF4, 0xF5, 0xF6, 0x20, L)}), "output_low"},
      // Bank 6 sets its activation bit (LDN 7 bit 0) too: see the class's note.
      {50, H, Join({Activate(0x07, 0), {R(0x2F, 0xEE), W(0x2F, 0xEC), R(0x27, 0x1C), W(0x27, 0x0C)},
                    Bits(0xF4, 0xF5, 0xF6, 0x04, H)}), "output_high"},
      {60, L, Join({Activate(0x07, 1), {R(0x2B, 0x00), W(0x2B, 0x20)}, Bits(0xE0, 0xE1, 0xE2, 0x10, L)}),
       "output_low"},
      {69, H, Join({Activate(0x07, 2), {R(0x2A, 0x00), W(0x2A, 0x80), R(0x2F, 0xEE), W(0x2F, 0xAE)},
                    Bits(0xE4, 0xE5, 0xE6, 0x20, H)}), "output_high"},
      {71, GPIO_INPUT, Join({Activate(0x07, 2), {R(0x2A, 0x00), W(0x2A, 0x80)},
                             Bits(0xE4, 0xE5, 0xE6, 0x80, GPIO_INPUT)}), "input"},
      {72, L, {}, ""}, {100, H, {}, ""}, {255, L, {}, ""},
  });
}

TEST_F(NuvotonMultiplexTest, NCT6791DEveryPinWrittenFromAnyRoutingMoves) {
  // Whatever the routing globals hold (drawn at random, a fixed seed), a pin's own write steps
  // switch that pin to GPIO use and the board's pin drives the level. Each pin starts on a
  // fresh board: a neighbour's write would route pins that share its globals. The
  // multi-function registers the writes leave alone start at 0 (bank 3's 0xEA is drawn: its
  // write clears the pin's bit), and global 0x1D bit 0 starts clear: pin 7 has no routing step.
  std::mt19937 random(20261209);
  Start(kNct6791);
  const std::vector<TSuperIoGpio::TPin> pins = Chip(0x2E).Gpio()->Pins();
  for (int trial = 0; trial < 4; ++trial) {
    for (const TSuperIoGpio::TPin& pin : pins) {
      SCOPED_TRACE(testing::Message() << "trial " << trial << " " << pin.Name);
      std::vector<TReg> regs = {{0x0B, 0xE6, static_cast<std::uint8_t>(random())},
                                {0x09, 0xEA, static_cast<std::uint8_t>(random())}};
      for (std::uint8_t g : {0x1A, 0x1B, 0x1C, 0x1D, 0x27, 0x2A, 0x2B, 0x2C, 0x2D, 0x2F})
        regs.push_back({kGlobal, g, static_cast<std::uint8_t>(random() & (g == 0x1D ? 0xFE : 0xFF))});
      TAbstractSio& sio = Start(kNct6791, regs);
      for (std::uint8_t mode : {H, L}) {
        sio.WriteGPIO(static_cast<std::uint8_t>(pin.Bank * 8 + pin.Bit), mode);
        EXPECT_EQ(PinState(pin.Name), mode == H ? "output_high" : "output_low");
      }
    }
  }
}

TEST_F(NuvotonMultiplexTest, NCT6791DEnableGPIOGroup) {
  auto log = [](int group) { return "Group ... [" + std::to_string(group) + "]\n"; };
  RunGroups(kNct6791, {
      // A pin of group 0: 0xE7 written whole to 0x1C, then group 1's steps.
      {3, {R(0x1C, 0x18), W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x02), W(0x1C, 0xE7), W(0x07, 0x08),
           R(0x30, 0x02), W(0x30, 0x82)}, log(0)},
      {9, {R(0x1C, 0x18), W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x80)}, log(1)},
      {16, {R(0x1C, 0x18), W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x01), R(0x2A, 0x00), W(0x2A, 0x03),
            R(0x1B, 0x11), W(0x1B, 0x01), R(0x27, 0x1C), W(0x27, 0x14), R(0x2C, 0x59), W(0x2C, 0x58)},
       log(2)},
      {30, {R(0x1C, 0x18), W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x02), R(0x2F, 0xEE), W(0x2F, 0x6E),
            R(0x27, 0x1C), W(0x27, 0x0C)}, log(3)},
      {33, {R(0x1C, 0x18), W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x04), R(0x2F, 0xEE), W(0x2F, 0xEC),
            R(0x1A, 0x80), W(0x1A, 0x88), R(0x1A, 0x88), W(0x1A, 0x88), R(0x27, 0x1C), W(0x27, 0x0C),
            R(0x1B, 0x11), W(0x1B, 0x15), R(0x1B, 0x15), W(0x1B, 0x17), R(0x1B, 0x17), W(0x1B, 0x17),
            R(0x27, 0x0C), W(0x27, 0x0C), R(0x1B, 0x17), W(0x1B, 0x97)}, log(4)},
      {47, {R(0x1C, 0x18), W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x08), R(0x2F, 0xEE), W(0x2F, 0xE6),
            R(0x2F, 0xE6), W(0x2F, 0xE2), R(0x2F, 0xE2), W(0x2F, 0xC2), R(0x2D, 0x03), W(0x2D, 0x02),
            R(0x2D, 0x02), W(0x2D, 0x00), R(0x1D, 0x09), W(0x1D, 0x01), W(0x07, 0x0B), R(0xE6, 0x06),
            W(0xE6, 0x02), R(0xE6, 0x02), W(0xE6, 0x00)}, log(5)},
      {48, {R(0x1C, 0x18), W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x01)}, log(6)},
      {63, {R(0x1C, 0x18), W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x02)}, log(7)},
      {64, {R(0x1C, 0x18), W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x04), R(0x2A, 0x00), W(0x2A, 0x80)},
       log(8)},
      // A group the chip does not have: the log line alone.
      {72, {}, log(9)},
      {255, {}, log(31)},
  });
}

// ---------------------------------------------------------------------------------------------
// NCT6102D
// ---------------------------------------------------------------------------------------------

TEST_F(NuvotonMultiplexTest, NCT6102DReadGPIO) {
  TAbstractSio& sio = Start({kNct6102.Name, kNct6102.Id, {}});
  EXPECT_NE(dynamic_cast<TNCT6102DSio*>(&sio), nullptr);
  EXPECT_EQ(sio.PinCount, 64);
  // The globals once at the start; per bank LDN 7 with 0x30 and the bank's registers, then LDN 8
  // with its multi-function register.
  std::vector<std::string> expected = {"R1A", "R1B", "R1C", "R24", "R27"};
  for (int bank = 0; bank < 8; ++bank) {
    char reg[4][8];
    for (int i = 0; i < 3; ++i) std::snprintf(reg[i], sizeof reg[i], "R%02X", 0xE0 + 4 * bank + i);
    std::snprintf(reg[3], sizeof reg[3], "R%02X", 0xE0 + bank);
    expected.insert(expected.end(), {"W07=07", "R30", reg[0], reg[1], reg[2], "W07=08"});
    expected.push_back(reg[3]);
    if (bank == 6) expected.push_back("RE7");  // pin 55's bits; bank 7 reads 0xE7 again
  }
  EXPECT_EQ(ReadOrder(sio), expected);
  RunReads(kNct6102, {
      {"globals 0, all banks off: bank 4 is GPIO territory, bank 7 only pin 57",
       {},
       {{0, {D, D, D, D, D, D, D, D}}, {32, {D, D, D, D, D, D, D, D}},
        {40, {D, D, D, D, N, N, N, N}}, {48, {N, N, N, D, D, N, N, D}},
        {56, {D, D, D, D, D, D, D, D}}}},
      {"banks 0, 1, 2 by bits 3, 2, 1 of 0x1C; multi-function bits in LDN 8",
       {{kGlobal, 0x1C, 0x0A}, {0x07, 0x30, 0x07}, {0x08, 0xE1, 0x81}, {0x07, 0xE5, 0x01}},
       {{0, {N, N, N, N, N, N, N, N}}, {8, {NH, L, L, L, L, L, L, NL}}, {16, {N, N, N, N, N, N, N, N}}}},
      {"bank 3 by bit 4 or 5 of 0x1A; bank 4 exactly when 0x1A AND 0x30 is 0x10",
       {{kGlobal, 0x1A, 0x10}, {0x07, 0x30, 0x18}},
       {{24, {N, N, N, N, N, N, N, N}}, {32, {N, N, N, N, N, N, N, N}}}},
      {"0x1A AND 0x30 = 0x30: bank 4 decodes", {{kGlobal, 0x1A, 0x30}, {0x07, 0x30, 0x18}},
       {{24, {N, N, N, N, N, N, N, N}}, {32, {L, L, L, L, L, L, L, L}}}},
      {"0x1A AND 0x30 = 0x20: bank 4 decodes", {{kGlobal, 0x1A, 0x20}, {0x07, 0x30, 0x18}},
       {{32, {L, L, L, L, L, L, L, L}}}},
      {"bank 5 pin by pin", {{kGlobal, 0x1A, 0x0E}, {kGlobal, 0x1B, 0x40}, {0x07, 0x30, 0x20}},
       {{40, {N, N, N, N, L, N, N, L}}}},
      {"bank 6: 0xE6 for 48-54, 55 while 0xE7 bits 7-5 are 0; rules by 0x1B, 0x1C, 0x27",
       {{kGlobal, 0x1B, 0x31}, {kGlobal, 0x1C, 0x70}, {kGlobal, 0x27, 0x00}, {0x07, 0x30, 0x40},
        {0x08, 0xE6, 0x02}, {0x08, 0xE7, 0x20}, {0x07, 0xF9, 0x82}},
       {{48, {L, NH, N, N, N, L, L, NH}}}},
      {"bank 6, 54 by bit 2 of 0x27; 55 GPIO with 0xE7 bits 7-5 clear",
       {{kGlobal, 0x1B, 0x38}, {kGlobal, 0x1C, 0x70}, {kGlobal, 0x27, 0x04}, {0x07, 0x30, 0x40},
        {0x08, 0xE7, 0x1F}, {0x07, 0xF9, 0x80}},
       {{48, {L, L, L, L, L, L, N, H}}}},
      {"bank 7: pin 57 alone, by bit 0 of LDN 8 0xE7 and the rule of 0x1B/0x27",
       {{0x07, 0x30, 0x80}, {0x07, 0xFD, 0x05}},
       {{56, {NH, L, NH, NL, NL, NL, NL, NL}}}},
      {"pin 57 by bit 2 of 0x1B", {{kGlobal, 0x1B, 0x04}, {0x07, 0x30, 0x80}},
       {{56, {NL, N, NL, NL, NL, NL, NL, NL}}}},
      {"pin 57 taken by bit 0 of LDN 8 0xE7", {{0x07, 0x30, 0x80}, {0x08, 0xE7, 0x01}, {0x07, 0xFD, 0x02}},
       {{56, {NL, NH, NL, NL, NL, NL, NL, NL}}}},
  });
}

TEST_F(NuvotonMultiplexTest, NCT6102DWriteGPIO) {
  RunWrites(kNct6102, {
      {0, L, Join({Activate(0x07, 0), Bits(0xE0, 0xE1, 0xE2, 0x01, L)}), "output_low"},
      {13, H, Join({Activate(0x07, 1), Bits(0xE4, 0xE5, 0xE6, 0x20, H)}), "output_high"},
      {20, L, Join({Activate(0x07, 2), Bits(0xE8, 0xE9, 0xEA, 0x10, L)}), "output_low"},
      {31, H, Join({Activate(0x07, 3), Bits(0xEC, 0xED, 0xEE, 0x80, H)}), "output_high"},
      {32, L, Join({Activate(0x07, 4), Bits(0xF0, 0xF1, 0xF2, 0x01, L)}), "output_low"},
      {46, H, Join({Activate(0x07, 5), Bits(0xF4, 0xF5, 0xF6, 0x40, H)}), "output_high"},
      {48, GPIO_INPUT, Join({Activate(0x07, 6), Bits(0xF8, 0xF9, 0xFA, 0x01, GPIO_INPUT)}), "input"},
      // Pin 57 (GPIO71) with 0xFC, 0xFD, 0xFE of LDN 7.
      {57, L, Join({Activate(0x07, 7), Bits(0xFC, 0xFD, 0xFE, 0x02, L)}), "output_low"},
      // The other pins of bank 7: the activation bit, then only the log line.
      {56, H, Activate(0x07, 7), "not_gpio"},
      {63, L, Activate(0x07, 7), "not_gpio"},
      {64, L, {}, ""}, {255, H, {}, ""},
  });
  // A pin in another function stays there: the write changes no multi-function register.
  TAbstractSio& sio = Start(kNct6102, {{0x08, 0xE1, 0x04}});
  sio.WriteGPIO(10, H);
  EXPECT_EQ(Chip(0x2E).Device(0x08, 0xE1), 0x04);
  EXPECT_EQ(PinState("GPIO12"), "not_gpio");
}

TEST_F(NuvotonMultiplexTest, NCT6102DBank7LogsThePinsThatAreNoGpio) {
  TAbstractSio& sio = Start(kNct6102, {}, true);
  ::testing::internal::CaptureStdout();
  sio.WriteGPIO(56, H);
  sio.WriteGPIO(57, H);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "NCT6102DSio::WriteGPIO::GPIO70,72~77 is not GPIO!!\n");
}

TEST_F(NuvotonMultiplexTest, NCT6102DEnableGPIOGroup) {
  auto log = [](int group) { return "Group ... [" + std::to_string(group) + "]\n"; };
  RunGroups(kNct6102, {
      {0, {W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x01), R(0x30, 0x01), W(0x30, 0x03)}, log(0)},
      {15, {W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x02)}, log(1)},
      // Group 2: the register read back into the "active2" line.
      {16, {W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x04), R(0x30, 0x04)}, log(2) + "active2 ... [4]\n"},
      {40, {W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x20)}, log(5)},
      {63, {W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x80)}, log(7)},
      {64, {}, log(8)},
  });
}

TEST_F(NuvotonMultiplexTest, ReadGPIOAgreesWithTheBoardsPins) {
  const std::vector<std::uint8_t> globals = {0x1A, 0x1B, 0x1C, 0x1D, 0x24, 0x27, 0x2A,
                                             0x2B, 0x2C, 0x2D, 0x2F};
  ExpectReadGPIOAgreesWithPins(kNct6791, globals, {0x07, 0x08, 0x09}, {{0x0B, 0xE6}}, 80, 20260303);
  ExpectReadGPIOAgreesWithPins(kNct6102, globals, {0x07, 0x08}, {}, 80, 20260304);
}

}  // namespace
