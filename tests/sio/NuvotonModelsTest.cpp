// The NCT6775 and NCT6776 model classes on the virtual board: ReadGPIO's passes, activation
// bits from the devices the chip keeps them in, multi-function registers with partial masks
// and pin rules; WriteGPIO's exact configuration accesses for every bank (and nothing else
// changed), the pin that really moves, and a pin written and read back through both tables;
// ReadGPIO agreeing with the board's own pins on random register states.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sio/NCT6775Sio.h"
#include "sio/NCT6776Sio.h"
#include "SioModelTest.h"

namespace {

class NuvotonModelsTest : public SioModelTest {
 protected:
  // Writes every pin of `pins` high and then low and reads it back each time: what WriteGPIO
  // drives is what ReadGPIO reports, and the board's pin follows.
  void ExpectWrittenPinsReadBack(const TModel& model, const std::vector<std::uint8_t>& pins) {
    for (std::uint8_t pin : pins) {
      SCOPED_TRACE(testing::Message() << model.Name << " pin " << int(pin));
      TAbstractSio& sio = Start(model);
      const std::string name = TSuperIoGpio::PinName(pin / 8u, pin % 8u);
      for (std::uint8_t mode : {H, L}) {
        sio.WriteGPIO(pin, mode);
        sio.ReadGPIO();
        EXPECT_EQ(int(sio.GPIO[pin]), int(mode));
        EXPECT_EQ(PinState(name), mode == H ? "output_high" : "output_low");
      }
    }
  }
};

// The chips as the tests start them: every bank's inversion register and the multi-function
// registers the writes clear bits of all ones, globals with bits a read-modify-write must keep.
const TModel kNct6775 = {"NCT6775F", "B4 70",
                         {{kGlobal, 0x27, 0x10}, {kGlobal, 0x29, 0x40}, {kGlobal, 0x2A, 0x20},
                          {0x08, 0xE2, 0xFF}, {0x08, 0xF2, 0xFF}, {0x08, 0xE4, 0xFF},
                          {0x08, 0xF4, 0xFF}, {0x09, 0xE2, 0xFF}, {0x09, 0xE6, 0xFF},
                          {0x09, 0xF2, 0xFF}, {0x09, 0xF6, 0xFF}, {0x07, 0xF6, 0xFF},
                          {0x07, 0xE2, 0xFF}, {0x07, 0xE6, 0xFF}, {0x07, 0xEA, 0xFF},
                          {0x07, 0xEC, 0xFF}, {0x07, 0xED, 0xFF}, {0x07, 0xEE, 0xFF}}};
const TModel kNct6776 = {"NCT6776F", "C3 33",
                         {{kGlobal, 0x24, 0x44}, {kGlobal, 0x27, 0xD0}, {kGlobal, 0x29, 0x40},
                          {kGlobal, 0x2A, 0x23}, {0x08, 0xE2, 0xFF}, {0x08, 0xF2, 0xFF},
                          {0x08, 0xF4, 0xFF}, {0x09, 0xE2, 0xFF}, {0x09, 0xE6, 0xFF},
                          {0x09, 0xF2, 0xFF}, {0x09, 0xF6, 0xFF}, {0x07, 0xF6, 0xFF},
                          {0x07, 0xE2, 0xFF}, {0x07, 0xE6, 0xFF}, {0x07, 0xEA, 0xFF},
                          {0x07, 0xEC, 0xFF}, {0x07, 0xED, 0xFF}, {0x07, 0xEE, 0xFF}}};

// ---------------------------------------------------------------------------------------------
// NCT6775
// ---------------------------------------------------------------------------------------------

TEST_F(NuvotonModelsTest, NCT6775ReadGPIO) {
  TAbstractSio& sio = Start({kNct6775.Name, kNct6775.Id, {}});
  EXPECT_NE(dynamic_cast<TNCT6775Sio*>(&sio), nullptr);
  EXPECT_EQ(sio.PinCount, 80);
  // Three passes, LDN 8, 9, 7, with register 0x30 once per device; each global once, when a
  // rule first needs it.
  EXPECT_EQ(ReadOrder(sio),
            (std::vector<std::string>{
                "W07=08", "R30", "RE0", "RE1", "RE2", "RE4", "R2A",       // bank 0
                "RF0", "RF1", "RF2", "RF4",                               // bank 1
                "W07=09", "R30", "RE0", "RE1", "RE2", "RE9",              // bank 2
                "RE4", "RE5", "RE6", "REA", "R2B",                        // bank 3
                "RF0", "RF1", "RF2", "RF3", "R2F", "R27",                 // bank 4
                "RF4", "RF5", "RF6", "REB", "R2D",                        // bank 5
                "W07=07", "R30", "RF4", "RF5", "RF6", "RF8", "R29",       // bank 6
                "RE0", "RE1", "RE2", "REC",                               // bank 7
                "RE4", "RE5", "RE6", "RED",                               // bank 8
                "RE8", "RE9", "REA", "REE", "R2C"}));                     // bank 9
  RunReads(kNct6775, {
      {"all registers 0: banks off; 4, 5, 6, 7 routed away; pins 31, 69, 72, 73 by rules",
       {},
       {{0, {D, D, D, D, D, D}}, {8, {D, D, D, D, D, D, D, D}}, {24, {D, D, D, D, D, D, D, N}},
        {32, {N, N, N, N, N, N, N, N}}, {40, {N, N, N, N, N, N, N, N}},
        {48, {N, N, N, N, N, N, N, N}}, {56, {N, N, N, N, N, N, N, N}},
        {64, {D, D, D, D, D, N, D, D}}, {72, {N, N, D, D, D, D, D, D}}}},
      {"bank 0: activation bit 2 of LDN 8; 0xE4 takes pin 1; pin 3 by bit 3 of 0x2A",
       {{0x08, 0x30, 0x04}, {kGlobal, 0x2A, 0x08}, {0x08, 0xE4, 0x02}, {0x08, 0xE1, 0x21},
        {0x08, 0xE0, 0x30}},
       {{0, {H, NL, L, N, IL, IH}}, {8, {D, D, D, D, D, D, D, D}}},
       {{"GPIO04", 0}}},
      {"bank 1 taken by bit 6 of 0x2A although active", {{0x08, 0x30, 0x02}, {kGlobal, 0x2A, 0x40}},
       {{8, {N, N, N, N, N, N, N, N}}}},
      {"bank 3: pins 24-26 and 28-30 by their bit of 0x2B set, 31 by bit 7 clear, 27 never",
       {{0x09, 0x30, 0x02}, {kGlobal, 0x2B, 0x0D}},
       {{24, {N, L, N, L, L, L, L, N}}}},
      {"bank 3 with 0x2B = 0xF0", {{0x09, 0x30, 0x02}, {kGlobal, 0x2B, 0xF0}},
       {{24, {L, L, L, L, N, N, N, L}}}},
      {"banks 4 and 5 routed by bit 0 of 0x2F; pins 40, 41, 43, 44 by 0x2D",
       {{0x09, 0x30, 0x0C}, {kGlobal, 0x2F, 0x01}, {kGlobal, 0x2D, 0x09}},
       {{32, {L, L, L, L, L, L, L, L}}, {40, {L, N, L, L, N, L, L, L}}}},
      {"banks 4 and 5 routed by bit 4 of 0x27", {{0x09, 0x30, 0x0C}, {kGlobal, 0x27, 0x10},
                                                 {kGlobal, 0x2D, 0x1B}},
       {{32, {L, L, L, L, L, L, L, L}}, {40, {L, L, L, L, L, L, L, L}}}},
      {"bank 6 by bit 3 of 0x29, bank 7 by bit 5 of 0x2A; single pins by 0xF8 and 0xEC",
       {{kGlobal, 0x29, 0x08}, {kGlobal, 0x2A, 0x20}, {0x07, 0x30, 0x06}, {0x07, 0xF8, 0x80},
        {0x07, 0xEC, 0x01}, {0x07, 0xF5, 0xFF}},
       {{48, {H, H, H, H, H, H, H, NH}}, {56, {NL, L, L, L, L, L, L, L}}}},
      {"bank 8 pin 69; bank 9 pins 72-78 by 0x2D and 0x2C",
       {{0x07, 0x30, 0x18}, {kGlobal, 0x2D, 0x80}, {kGlobal, 0x2C, 0x05}},
       {{64, {L, L, L, L, L, N, L, L}}, {72, {L, N, N, N, L, L, L, L}}}},
      {"pin 69 routed by bit 4 of 0x27; bank 9 pins 76-78 by bits 3-5 of 0x2C",
       {{0x07, 0x30, 0x18}, {kGlobal, 0x27, 0x10}, {kGlobal, 0x2D, 0xC0}, {kGlobal, 0x2C, 0x38}},
       {{64, {L, L, L, L, L, L, L, L}}, {72, {L, L, L, L, N, N, N, L}}}},
  });
}

TEST_F(NuvotonModelsTest, NCT6775PinsItDoesNotDecodeKeepTheirEntries) {
  TAbstractSio& sio = Start(kNct6775);
  for (unsigned pin : {6u, 7u, 80u, 87u, 255u}) sio.GPIO[pin] = 0x77;
  sio.ReadGPIO();
  for (unsigned pin : {6u, 7u, 80u, 87u, 255u}) EXPECT_EQ(int(sio.GPIO[pin]), 0x77) << pin;
}

TEST_F(NuvotonModelsTest, NCT6775WriteGPIOEveryBank) {
  RunWrites(kNct6775, {
      // Bank 0: LDN 8, activation bit 2, the pin's bit of 0xE4 (see the class's note).
      {2, L, Join({{W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x04), R(0xE4, 0xFF), W(0xE4, 0xFB)},
                   Bits(0xE0, 0xE1, 0xE2, 0x04, L)}), "output_low"},
      {12, H, Join({{W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x02), R(0xF4, 0xFF), W(0xF4, 0xEF)},
                    Bits(0xF0, 0xF1, 0xF2, 0x10, H)}), "output_high"},
      // Pin 18: LDN 9, bit 0 of 0x30, bit 2 of 0xE2 cleared, of 0xE0 cleared, of 0xE1 set.
      {18, H, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x01)}, Bits(0xE0, 0xE1, 0xE2, 0x04, H)}),
       "output_high"},
      {27, L, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x02)}, Bits(0xE4, 0xE5, 0xE6, 0x08, L)}),
       "output_low"},
      {33, H, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x04)}, Bits(0xF0, 0xF1, 0xF2, 0x02, H)}),
       "output_high"},
      {42, L, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x08)}, Bits(0xF4, 0xF5, 0xF6, 0x04, L)}),
       "output_low"},
      // Pin 50: bit 3 of global 0x29 first, then LDN 7 bit 1; an input leaves the data alone.
      {50, GPIO_INPUT,
       Join({{R(0x29, 0x40), W(0x29, 0x48), W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x02)},
             Bits(0xF4, 0xF5, 0xF6, 0x04, GPIO_INPUT)}), "input"},
      {57, H, Join({{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x04), R(0xEC, 0xFF), W(0xEC, 0xFD)},
                    Bits(0xE0, 0xE1, 0xE2, 0x02, H)}), "output_high"},
      {69, L, Join({{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x08), R(0xED, 0xFF), W(0xED, 0xDF)},
                    Bits(0xE4, 0xE5, 0xE6, 0x20, L)}), "output_low"},
      {79, H, Join({{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x10), R(0xEE, 0xFF), W(0xEE, 0x7F)},
                    Bits(0xE8, 0xE9, 0xEA, 0x80, H)}), "output_high"},
      // A mode outside the input/output codes: the bank's steps and the inversion only.
      {44, GPIO_DISABLED, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x08)},
                                Bits(0xF4, 0xF5, 0xF6, 0x10, GPIO_DISABLED)}), ""},
      // Pins 6 and 7 do not exist; pins from 80 up are ignored.
      {6, L, {}, ""}, {7, H, {}, ""}, {80, L, {}, ""}, {88, H, {}, ""}, {255, L, {}, ""},
  });
}

TEST_F(NuvotonModelsTest, NCT6775Bank6IsNoGpioUntilAWriteRoutesIt) {
  TAbstractSio& sio = Start(kNct6775, {{kGlobal, 0x29, 0x00}, {0x07, 0xF5, 0x04}});
  sio.ReadGPIO();
  for (unsigned pin = 48; pin < 56; ++pin) EXPECT_EQ(int(sio.GPIO[pin]), N) << pin;
  sio.WriteGPIO(50, GPIO_OUTPUT_LOW);  // sets bit 3 of 0x29 and LDN 7 bit 1
  sio.ReadGPIO();
  // Outputs with data 0: the written pin low, the others high through their inversion bits.
  EXPECT_EQ(std::vector<int>(sio.GPIO + 48, sio.GPIO + 56),
            std::vector<int>({H, H, L, H, H, H, H, H}));
}

TEST_F(NuvotonModelsTest, NCT6775WrittenPinsReadBack) {
  ExpectWrittenPinsReadBack(kNct6775, {0, 5, 8, 15, 16, 23, 24, 27, 32, 39, 42, 47, 48, 55, 56,
                                       63, 64, 71, 74, 79});
}

// ---------------------------------------------------------------------------------------------
// NCT6776
// ---------------------------------------------------------------------------------------------

TEST_F(NuvotonModelsTest, NCT6776ReadGPIO) {
  TAbstractSio& sio = Start({kNct6776.Name, kNct6776.Id, {}});
  EXPECT_NE(dynamic_cast<TNCT6776Sio*>(&sio), nullptr);
  EXPECT_EQ(sio.PinCount, 88);
  // Banks 0 and 10; banks 1 to 7 (LDN 9's 0x30 first: it holds their enables); banks 8, 9.
  EXPECT_EQ(ReadOrder(sio),
            (std::vector<std::string>{
                "W07=08", "R30", "RE0", "RE1", "RE2", "RE4",              // bank 0
                "W07=17", "RE0", "RE1", "RE2", "RE5",                     // bank 10
                "W07=09", "R30", "W07=08", "RF0", "RF1", "RF2", "RF4",    // bank 1
                "R27", "R2A",
                "W07=09", "RE0", "RE1", "RE2", "RE9", "R1B", "R2C",       // bank 2
                "RE4", "RE5", "RE6", "REA", "R2B", "R2F",                 // bank 3
                "RF0", "RF1", "RF2", "REE", "R1A",                        // bank 4
                "RF4", "RF5", "RF6", "REB", "R2D", "R1C",                 // bank 5
                "W07=07", "RF4", "RF5", "RF6", "RF8",                     // bank 6
                "RE0", "RE1", "RE2", "REC",                               // bank 7
                "W07=07", "R30", "RE4", "RE5", "RE6", "RED",              // bank 8
                "RE8", "RE9", "REA", "REE"}));                            // bank 9
  RunReads(kNct6776, {
      {"bank 9 with 0xEE = 0xFF: 72-75 not GPIO with their level, 76-79 inputs",
       {{0x07, 0x30, 0x02}, {0x07, 0xEE, 0xFF}, {0x07, 0xE9, 0xA5}, {0x07, 0xE8, 0xF0}},
       {{72, {NH, NL, NH, NL, IH, IH, IH, IH}}}},
      {"LDN 8 bit 1 enables bank 0 only; bank 1's enable is LDN 9 bit 1",
       {{0x08, 0x30, 0x02}, {kGlobal, 0x2A, 0x20}},
       {{0, {L, L, L, L, L, L, L, L}}, {8, {D, D, D, D, D, D, D, D}}}},
      {"banks 1, 6, 7 enabled in LDN 9 with registers in LDN 8 and 7; bank 2 off (16-19 routed away)",
       {{0x09, 0x30, 0xC2}, {kGlobal, 0x2A, 0x20}, {kGlobal, 0x27, 0x90}},
       {{8, {L, L, L, L, L, L, L, L}}, {16, {N, N, N, N, D, D, D, D}},
        {48, {L, L, L, L, L, L, L, L}}, {56, {L, L, L, L, L, L, N, N}}}},
      {"bank 10: LDN 0x17 registers, LDN 8 bit 2; pin 80 alone has inversion and mux bits",
       {{0x08, 0x30, 0x04}, {0x17, 0xE5, 0xFF}, {0x17, 0xE2, 0xFF}, {0x17, 0xE1, 0x03}},
       {{80, {NL, H, L, L, L, L, L, L}}}},
      {"bank 2 rules: 16-19 by 0x2A bits 0, 1; 21 by bit 3",
       {{0x09, 0x30, 0x04}, {kGlobal, 0x2A, 0x0B}, {kGlobal, 0x27, 0x00}},
       {{16, {L, L, L, L, L, N, L, L}}}},
      {"bank 2 rules: 20 by 0x27 bit 3 as 21; 23 by 0x2C bit 7",
       {{0x09, 0x30, 0x04}, {kGlobal, 0x2A, 0x02}, {kGlobal, 0x27, 0x08}, {kGlobal, 0x2C, 0x80}},
       {{16, {N, N, L, L, N, N, L, N}}}},
      {"pin 20 by 0x1B bit 4", {{0x09, 0x30, 0x04}, {kGlobal, 0x2A, 0x03}, {kGlobal, 0x27, 0x00},
                                {kGlobal, 0x1B, 0x10}},
       {{16, {L, L, L, L, N, L, L, L}}}},
      {"bank 3: 25-30 by their bit of 0x2B clear; 31 by bit 7 of 0x2B clear",
       {{0x09, 0x30, 0x08}, {kGlobal, 0x2B, 0x0E}},
       {{24, {L, L, L, L, N, N, N, N}}}},
      {"pin 31 by bit 3 of 0x2F", {{0x09, 0x30, 0x08}, {kGlobal, 0x2B, 0xFE}, {kGlobal, 0x2F, 0x08}},
       {{24, {L, L, L, L, L, L, L, N}}}},
      {"bank 4, globals 0", {{0x09, 0x30, 0x10}, {kGlobal, 0x27, 0x00}},
       {{32, {L, N, N, N, L, L, L, N}}}},
      {"bank 4 routed pin by pin", {{0x09, 0x30, 0x10}, {kGlobal, 0x1A, 0x08}, {kGlobal, 0x1B, 0x86},
                                    {kGlobal, 0x27, 0x10}},
       {{32, {L, L, L, L, L, L, L, L}}}},
      {"bank 4: bit 1 of 0x2F takes 33 to 38; 32 by 0x1B bit 3, 36/37 by bit 6",
       {{0x09, 0x30, 0x10}, {kGlobal, 0x1A, 0x08}, {kGlobal, 0x1B, 0xCE}, {kGlobal, 0x27, 0x30},
        {kGlobal, 0x2F, 0x02}},
       {{32, {N, N, N, N, N, N, N, L}}}},
      {"bank 5, 0x2F = 0x20: all GPIO", {{0x09, 0x30, 0x20}, {kGlobal, 0x27, 0x00},
                                         {kGlobal, 0x2C, 0x20}, {kGlobal, 0x2D, 0x1E},
                                         {kGlobal, 0x2F, 0x20}},
       {{40, {L, L, L, L, L, L, L, L}}}},
      {"bank 5, 0x2F = 0x28: pin 45 stays GPIO (bit 5 set, bit 1 clear), 46 goes",
       {{0x09, 0x30, 0x20}, {kGlobal, 0x27, 0x00}, {kGlobal, 0x2C, 0x20}, {kGlobal, 0x2D, 0x1E},
        {kGlobal, 0x2F, 0x28}},
       {{40, {L, L, L, L, L, L, N, L}}}},
      {"bank 5, 0x2F = 0x08: 45 and 46 go", {{0x09, 0x30, 0x20}, {kGlobal, 0x27, 0x00},
                                             {kGlobal, 0x2C, 0x20}, {kGlobal, 0x2D, 0x1E},
                                             {kGlobal, 0x2F, 0x08}},
       {{40, {L, L, L, L, L, N, N, L}}}},
      {"bank 5, 0x2F = 0x2A: 45, 46, 47 go", {{0x09, 0x30, 0x20}, {kGlobal, 0x27, 0x00},
                                              {kGlobal, 0x2C, 0x20}, {kGlobal, 0x2D, 0x1E},
                                              {kGlobal, 0x2F, 0x2A}},
       {{40, {L, L, L, L, L, N, N, N}}}},
      {"bank 5: 40 by 0x2C, 41-44 by 0x2D, 45 by 0x27 bit 0, 45/46 by 0x1C bit 7",
       {{0x09, 0x30, 0x20}, {kGlobal, 0x27, 0x01}, {kGlobal, 0x2C, 0x60}, {kGlobal, 0x2D, 0x14},
        {kGlobal, 0x2F, 0x20}, {kGlobal, 0x1C, 0x80}},
       {{40, {N, N, L, N, L, N, N, L}}}},
  });
}

TEST_F(NuvotonModelsTest, NCT6776WriteGPIOEveryBank) {
  RunWrites(kNct6776, {
      {3, L, Join({{R(0x24, 0x44), W(0x24, 0x04), W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x02)},
                   Bits(0xE0, 0xE1, 0xE2, 0x08, L)}), "output_low"},
      // Banks 1, 2, 3, 6, 7: the enable bit of LDN 9 the read tests, then the register device.
      {9, H, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x02), W(0x07, 0x08), R(0xF4, 0xFF),
                    W(0xF4, 0xFD)}, Bits(0xF0, 0xF1, 0xF2, 0x02, H)}), "output_high"},
      {17, L, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x04)}, Bits(0xE0, 0xE1, 0xE2, 0x02, L)}),
       "output_low"},
      {24, H, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x08)}, Bits(0xE4, 0xE5, 0xE6, 0x01, H)}),
       "output_high"},
      {32, L, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x10)}, Bits(0xF0, 0xF1, 0xF2, 0x01, L)}),
       "output_low"},
      {47, H, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x20)}, Bits(0xF4, 0xF5, 0xF6, 0x80, H)}),
       "output_high"},
      {50, L, Join({{R(0x29, 0x40), W(0x29, 0x48), W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x40),
                     W(0x07, 0x07)}, Bits(0xF4, 0xF5, 0xF6, 0x04, L)}), "output_low"},
      {57, H, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x80), W(0x07, 0x07), R(0xEC, 0xFF),
                     W(0xEC, 0xFD)}, Bits(0xE0, 0xE1, 0xE2, 0x02, H)}), "output_high"},
      {64, L, Join({{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x01), R(0xED, 0xFF), W(0xED, 0xFE)},
                    Bits(0xE4, 0xE5, 0xE6, 0x01, L)}), "output_low"},
      {75, H, Join({{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x02), R(0xEE, 0xFF), W(0xEE, 0xF7)},
                    Bits(0xE8, 0xE9, 0xEA, 0x08, H)}), "output_high"},
      {20, GPIO_NOT_GPIO, Join({{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x04)},
                                Bits(0xE0, 0xE1, 0xE2, 0x10, GPIO_NOT_GPIO)}), ""},
      // Bank 10 is not written; nothing from 88 up either.
      {80, L, {}, ""}, {87, H, {}, ""}, {88, L, {}, ""}, {255, H, {}, ""},
  });
}

TEST_F(NuvotonModelsTest, NCT6776WrittenPinsReadBack) {
  // With the NCT6775's enables (LDN 8 bit 1, LDN 9 bits 0 and 1, LDN 7 bits 1 and 2) these
  // pins of banks 1, 2, 3, 6 and 7 would read Disabled and never move.
  ExpectWrittenPinsReadBack(kNct6776, {0, 7, 8, 15, 16, 19, 24, 32, 47, 48, 55, 56, 61, 64, 71,
                                       72, 79});
}

TEST_F(NuvotonModelsTest, ReadGPIOAgreesWithTheBoardsPins) {
  const std::vector<std::uint8_t> globals = {0x1A, 0x1B, 0x1C, 0x24, 0x27, 0x29, 0x2A,
                                             0x2B, 0x2C, 0x2D, 0x2F};
  ExpectReadGPIOAgreesWithPins(kNct6775, globals, {0x07, 0x08, 0x09}, {}, 60, 20260301);
  ExpectReadGPIOAgreesWithPins(kNct6776, globals, {0x07, 0x08, 0x09, 0x17}, {}, 60, 20260302);
}

}  // namespace
