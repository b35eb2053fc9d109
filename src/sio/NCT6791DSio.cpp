#include "sio/NCT6791DSio.h"


namespace {

using namespace gpio_table;

// Pins of banks 3, 4 and 6 routed away while bit 1 of 0x2F or bit 4 of 0x27 is set.
constexpr TTest kUart2F = Bit(0x2F, 1, true);
constexpr TTest kUart27 = Bit(0x27, 4, true);
// Pins 40 to 45 routed away while bit 3 of 0x2F is set.
constexpr TTest kBank5Off = Bit(0x2F, 3, true);

// ReadGPIO: three passes, LDN 8 (banks 0, 1), LDN 9 (banks 2 to 5; LDN 0x0B register 0xE6
// read first, for the rules of pins 40 and 42), LDN 7 (banks 6 to 8). Every global once, when
// first needed. A pin rule marks its pins GPIO_NOT_GPIO while it holds.
constexpr TReadBank kReadBanks[] = {
    // 0: bank 0 (pins 0-7), LDN 8 bit 1 — 0, 1, 2 while bit 0, 1, 2 of 0x1C is clear; 3 while
    //    bit 4 or 3 is set; 4, 5, 6 while bit 5, 6, 7 is clear; 7 while bit 0 of 0x1D is set
    {0, {Ldn(0x08), Read(0x30)}, 1, kNever, 0xE0, 0xE1, 0xE2, NotReg(0xE4),
     {TPinRule{0x01, {Bit(0x1C, 0, false)}}, TPinRule{0x02, {Bit(0x1C, 1, false)}},
      TPinRule{0x04, {Bit(0x1C, 2, false)}},
      TPinRule{0x08, {Bit(0x1C, 4, true), Bit(0x1C, 3, true)}},
      TPinRule{0x10, {Bit(0x1C, 5, false)}}, TPinRule{0x20, {Bit(0x1C, 6, false)}},
      TPinRule{0x40, {Bit(0x1C, 7, false)}}, TPinRule{0x80, {Bit(0x1D, 0, true)}}}},
    // 1: bank 1 (pins 8-15), LDN 8 bit 7 — 10, 11 while bit 2 of 0x27 is set or bit 6 of 0x2A
    //    clear; the others while bit 6 of 0x2A is clear
    {1, {}, 7, kNever, 0xF0, 0xF1, 0xF2, NotReg(0xF4),
     {TPinRule{0x0C, {Bit(0x27, 2, true), Bit(0x2A, 6, false)}},
      TPinRule{0xF3, {Bit(0x2A, 6, false)}}}},
    // 2: bank 2 (pins 16-23), LDN 9 bit 0 — 16, 17 by bit 0 of 0x2A; 18, 19 by bit 1; 20 by
    //    bit 4 of 0x1B or bit 3 of 0x27; 21 by bit 3 of 0x2A or bit 3 of 0x27; 22 by bit 0 of
    //    0x2C; 23 by bit 4 or 3 of 0x2C
    {2, {Ldn(0x0B), Read(0xE6), Ldn(0x09), Read(0x30)}, 0, kNever, 0xE0, 0xE1, 0xE2, NotReg(0xE9),
     {TPinRule{0x03, {Bit(0x2A, 0, false)}}, TPinRule{0x0C, {Bit(0x2A, 1, false)}},
      TPinRule{0x10, {Bit(0x1B, 4, true), Bit(0x27, 3, true)}},
      TPinRule{0x20, {Bit(0x2A, 3, true), Bit(0x27, 3, true)}},
      TPinRule{0x40, {Bit(0x2C, 0, true)}},
      TPinRule{0x80, {Bit(0x2C, 4, true), Bit(0x2C, 3, true)}}}},
    // 3: bank 3 (pins 24-30; 31 is not decoded and keeps its entry), LDN 9 bit 1
    {3, {}, 1, kNever, 0xE4, 0xE5, 0xE6, NotReg(0xEA),
     {TPinRule{0x01, {Bit(0x1A, 7, true), Bit(0x1A, 6, false)}},
      TPinRule{0x02, {Bit(0x1B, 0, true), Bit(0x1A, 5, false)}},
      TPinRule{0x04, {Bit(0x1B, 0, true), Bit(0x1A, 4, false)}},
      TPinRule{0x08, {Bit(0x2C, 6, true), Bit(0x2C, 5, false)}},
      TPinRule{0x10, {Bit(0x2F, 7, true), kUart27}},
      TPinRule{0x60, {kUart2F, kUart27}}},
     7},
    // 4: bank 4 (pins 32-39), LDN 9 bit 2, multi-function 0xEE
    {4, {}, 2, kNever, 0xF0, 0xF1, 0xF2, NotReg(0xEE),
     {TPinRule{0x01, {Bit(0x1B, 3, false)}},
      TPinRule{0x02, {kUart2F, Bit(0x1A, 3, false), Bit(0x1A, 2, true), kUart27}},
      TPinRule{0x04, {kUart2F, Bit(0x1B, 2, false), Bit(0x1B, 1, false), kUart27}},
      TPinRule{0x08, {kUart2F, kUart27}},
      TPinRule{0x30, {kUart2F, Bit(0x1B, 6, true), kUart27}},
      TPinRule{0x40, {kUart27, Bit(0x27, 5, true)}},
      TPinRule{0x80, {Bit(0x1B, 7, false)}}}},
    // 5: bank 5 (pins 40-47), LDN 9 bit 3 — 40 to 45 while bit 3 of 0x2F is set or,
    //    respectively, bit 2 of LDN 0x0B 0xE6, bit 1 of 0x2D, bit 1 of LDN 0x0B 0xE6, bit 0
    //    of 0x2D, bit 3 of 0x1D, bit 2 of 0x2F is set; 46, 47 while bit 5 of 0x2F is set
    {5, {}, 3, kNever, 0xF4, 0xF5, 0xF6, NotReg(0xEB),
     {TPinRule{0x01, {kBank5Off, DeviceBit(0x0B, 0xE6, 2, true)}},
      TPinRule{0x02, {kBank5Off, Bit(0x2D, 1, true)}},
      TPinRule{0x04, {kBank5Off, DeviceBit(0x0B, 0xE6, 1, true)}},
      TPinRule{0x08, {kBank5Off, Bit(0x2D, 0, true)}},
      TPinRule{0x10, {kBank5Off, Bit(0x1D, 3, true)}},
      TPinRule{0x20, {kBank5Off, Bit(0x2F, 2, true)}},
      TPinRule{0xC0, {Bit(0x2F, 5, true)}}}},
    // 6: bank 6 (pins 48-55), LDN 7 bit 0 — all eight by bit 1 of 0x2F or bit 4 of 0x27
    {6, {Ldn(0x07), Read(0x30)}, 0, kNever, 0xF4, 0xF5, 0xF6, NotReg(0xF8),
     {TPinRule{0xFF, {kUart2F, kUart27}}}},
    // 7: bank 7 (pins 56-62; 63 is not decoded and keeps its entry), LDN 7 bit 1 — 56 to 59
    //    while bit 2 of 0x2F is set; 60, 61, 62 while bit 5, 6, 7 of 0x2B is clear
    {7, {}, 1, kNever, 0xE0, 0xE1, 0xE2, NotReg(0xEC),
     {TPinRule{0x0F, {Bit(0x2F, 2, true)}}, TPinRule{0x10, {Bit(0x2B, 5, false)}},
      TPinRule{0x20, {Bit(0x2B, 6, false)}}, TPinRule{0x40, {Bit(0x2B, 7, false)}}},
     7},
    // 8: bank 8 (pins 64-71), LDN 7 bit 2 — all but 69 while bit 7 of 0x2A is clear; 69 also
    //    while bit 6 of 0x2F is set
    {8, {}, 2, kNever, 0xE4, 0xE5, 0xE6, NotReg(0xED),
     {TPinRule{0xDF, {Bit(0x2A, 7, false)}},
      TPinRule{0x20, {Bit(0x2F, 6, true), Bit(0x2A, 7, false)}}}},
};

// WriteGPIO, bank steps: the bank's device and activation bit (and, for banks 1 and 8, the
// global that routes the whole bank).
//
// Bank 6 also sets its activation bit (LDN 7 0x30 bit 0), which the read tests for the bank
// and the group switch of group 6 sets: without it a pin of bank 6 whose bank the firmware
// left off never drives, however its routing bits are set.
constexpr TWriteBank kWriteBanks[] = {
    // Bank, steps, I/O select, data, inversion
    {0, {Ldn(0x08), Or(0x30, 0x02)}, 0xE0, 0xE1, 0xE2},
    {1, {Ldn(0x08), Or(0x30, 0x80), Or(0x2A, 0x40)}, 0xF0, 0xF1, 0xF2},
    {2, {Ldn(0x09), Or(0x30, 0x01)}, 0xE0, 0xE1, 0xE2},
    {3, {Ldn(0x09), Or(0x30, 0x02)}, 0xE4, 0xE5, 0xE6},
    {4, {Ldn(0x09), Or(0x30, 0x04)}, 0xF0, 0xF1, 0xF2},
    {5, {Ldn(0x09), Or(0x30, 0x08)}, 0xF4, 0xF5, 0xF6},
    {6, {Ldn(0x07), Or(0x30, 0x01)}, 0xF4, 0xF5, 0xF6},
    {7, {Ldn(0x07), Or(0x30, 0x02)}, 0xE0, 0xE1, 0xE2},
    {8, {Ldn(0x07), Or(0x30, 0x04), Or(0x2A, 0x80)}, 0xE4, 0xE5, 0xE6},
};

// WriteGPIO, pin steps after the bank steps: each row runs for the bits it names, in table
// order, so a bit named by two rows runs both (bank 3 bit 5 clears its own multi-function
// bit and then performs every step of bit 6). Bits without a row have no pin step.
constexpr TPinSteps kPinSteps[] = {
    // Bank, bits, steps
    // bank 0: the pin's routing bit of 0x1C (pin 3: bits 4 and 3 cleared)
    {0, 0x01, {Or(0x1C, 0x01)}},
    {0, 0x02, {Or(0x1C, 0x02)}},
    {0, 0x04, {Or(0x1C, 0x04)}},
    {0, 0x08, {And(0x1C, 0xE7)}},
    {0, 0x10, {Or(0x1C, 0x20)}},
    {0, 0x20, {Or(0x1C, 0x40)}},
    {0, 0x40, {Or(0x1C, 0x80)}},
    // bank 1
    {1, 0x0C, {And(0x27, 0xFB)}},
    // bank 2
    {2, 0x03, {Or(0x2A, 0x01)}},
    {2, 0x0C, {Or(0x2A, 0x02)}},
    {2, 0x10, {And(0x1B, 0xEF), And(0x27, 0xF7)}},
    {2, 0x20, {And(0x2A, 0xF7), And(0x27, 0xF7)}},
    {2, 0x40, {And(0x2C, 0xFE)}},
    {2, 0x80, {And(0x2C, 0xEF), And(0x2C, 0xF7)}},
    // bank 3: the pin's bit of 0xEA (LDN 9), then its globals
    {3, 0x01, {And(0xEA, 0xFE), And(0x1A, 0x7F), Or(0x1A, 0x40)}},
    {3, 0x02, {And(0xEA, 0xFD), And(0x1B, 0xFE), Or(0x1A, 0x20)}},
    {3, 0x04, {And(0xEA, 0xFB), And(0x1B, 0xFE), Or(0x1A, 0x10)}},
    {3, 0x08, {And(0xEA, 0xF7), And(0x2C, 0xBF), Or(0x2C, 0x20)}},
    {3, 0x10, {And(0xEA, 0xEF), And(0x2F, 0x7F), And(0x27, 0xEF)}},
    {3, 0x20, {And(0xEA, 0xDF)}},
    {3, 0x60, {And(0xEA, 0xBF), And(0x2F, 0xFD), And(0x27, 0xEF)}},
    // bank 4
    {4, 0x01, {Or(0x1B, 0x08)}},
    {4, 0x02, {And(0x2F, 0xFD), Or(0x1A, 0x08), And(0x1A, 0xFB), And(0x27, 0xEF)}},
    {4, 0x04, {And(0x2F, 0xFD), Or(0x1B, 0x04), Or(0x1B, 0x02), And(0x27, 0xEF)}},
    {4, 0x08, {And(0x2F, 0xFD), And(0x27, 0xEF)}},
    // bits 4 and 5 (pins 36, 37) share their routing: 0x2F bit 1, 0x1B bit 6, 0x27 bit 4;
    // bit 6 (pin 38) is routed by 0x27 bits 4 and 5, bit 7 (pin 39) by 0x1B bit 7. (Steps one
    // bit lower — pin 38's on bit 5, pin 39's on bit 6 — leave pins 37 to 39 in their other
    // function for good.)
    {4, 0x30, {And(0x2F, 0xFD), And(0x1B, 0xBF), And(0x27, 0xEF)}},
    {4, 0x40, {And(0x27, 0xEF), And(0x27, 0xDF)}},
    {4, 0x80, {Or(0x1B, 0x80)}},
    // bank 5: bits 0 and 2 go through LDN 0x0B register 0xE6 and back to LDN 9
    {5, 0x01, {And(0x2F, 0xF7), Ldn(0x0B), And(0xE6, 0xFB), Ldn(0x09)}},
    {5, 0x02, {And(0x2F, 0xF7), And(0x2D, 0xFD)}},
    {5, 0x04, {And(0x2F, 0xF7), Ldn(0x0B), And(0xE6, 0xFD), Ldn(0x09)}},
    {5, 0x08, {And(0x2F, 0xF7), And(0x2D, 0xFE)}},
    {5, 0x10, {And(0x2F, 0xF7), And(0x1D, 0xF7)}},
    {5, 0x20, {And(0x2F, 0xF7), And(0x2F, 0xFB)}},
    {5, 0xC0, {And(0x2F, 0xDF)}},
    // bank 6: every bit
    {6, 0xFF, {And(0x2F, 0xFD), And(0x27, 0xEF)}},
    // bank 7
    {7, 0x0F, {And(0x2F, 0xFB)}},
    {7, 0x10, {Or(0x2B, 0x20)}},
    {7, 0x20, {Or(0x2B, 0x40)}},
    {7, 0x40, {Or(0x2B, 0x80)}},
    // bank 8
    {8, 0x20, {And(0x2F, 0xBF)}},
};

// EnableGPIOGroup: the group's activation bit and the globals that route the whole bank.
constexpr TGroupSwitch kGroupSwitches[] = {
    // group 0: 0x1C written whole, then the steps of group 1
    {0, {Ldn(0x08), Or(0x30, 0x02), Assign(0x1C, 0xE7), Ldn(0x08), Or(0x30, 0x80)}},
    {1, {Ldn(0x08), Or(0x30, 0x80)}},
    {2, {Ldn(0x09), Or(0x30, 0x01), Or(0x2A, 0x03), And(0x1B, 0xEF), And(0x27, 0xF7),
         And(0x2C, 0xFE)}},
    {3, {Ldn(0x09), Or(0x30, 0x02), And(0x2F, 0x7F), And(0x27, 0xEF)}},
    {4, {Ldn(0x09), Or(0x30, 0x04), And(0x2F, 0xFD), Or(0x1A, 0x08), And(0x1A, 0xFB),
         And(0x27, 0xEF), Or(0x1B, 0x04), Or(0x1B, 0x02), And(0x1B, 0xBF), And(0x27, 0xDF),
         Or(0x1B, 0x80)}},
    {5, {Ldn(0x09), Or(0x30, 0x08), And(0x2F, 0xF7), And(0x2F, 0xFB), And(0x2F, 0xDF),
         And(0x2D, 0xFE), And(0x2D, 0xFD), And(0x1D, 0xF7), Ldn(0x0B), And(0xE6, 0xFB),
         And(0xE6, 0xFD)}},
    {6, {Ldn(0x07), Or(0x30, 0x01)}},
    {7, {Ldn(0x07), Or(0x30, 0x02)}},
    {8, {Ldn(0x07), Or(0x30, 0x04), Or(0x2A, 0x80)}},
};
// Read once before a group's steps; the value is not used.
constexpr std::uint8_t kRegBank0Routing = 0x1C;

}  // namespace

TNCT6791DSio::TNCT6791DSio(std::uint16_t requestedPort) : TNuvotonSio(requestedPort) {
  PinCount = 72;
}

TNCT6791DSio::~TNCT6791DSio() = default;

void TNCT6791DSio::ReadGPIO() { ReadGPIOBanks(kReadBanks); }

void TNCT6791DSio::WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) {
  WriteGPIOBankWithPinSteps(kWriteBanks, kPinSteps, Pin, Mode);
}

void TNCT6791DSio::EnableGPIOGroup(std::uint8_t Pin) {
  const TGroupSwitch* group = FindGroupSwitch(kGroupSwitches, Pin);
  if (group == nullptr) return;
  ReadConfigRegister(kRegBank0Routing);
  RunGPIOSteps(group->Steps, 0);
}
