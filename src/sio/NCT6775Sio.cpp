#include "sio/NCT6775Sio.h"

namespace {

using namespace gpio_table;

// Banks 4 and 5 (and pin 69) leave GPIO use while bit 0 of 0x2F and bit 4 of 0x27 are both
// clear.
constexpr TPinRule kBank4And5Routed(std::uint8_t pins) {
  return WhenBoth(pins, Bit(0x2F, 0, false), Bit(0x27, 4, false));
}

// ReadGPIO: three passes, LDN 8 (banks 0, 1), LDN 9 (banks 2 to 5), LDN 7 (banks 6 to 9),
// register 0x30 of each device read once after selecting it; every global once, when first
// needed. A pin rule marks its pins GPIO_NOT_GPIO while it holds.
constexpr TReadBank kReadBanks[] = {
    // 0: bank 0 (pins 0-5; 6 and 7 are not decoded and keep their entries), LDN 8 bit 2 —
    //    pin 3 while bit 3 of 0x2A is set
    {0, {Ldn(0x08), Read(0x30)}, 2, kNever, 0xE0, 0xE1, 0xE2, NotReg(0xE4),
     {TPinRule{0x08, {Bit(0x2A, 3, true)}}}, 6},
    // 1: bank 1 (pins 8-15), LDN 8 bit 1 — bit 6 of 0x2A takes the bank
    {1, {}, 1, Bit(0x2A, 6, true), 0xF0, 0xF1, 0xF2, NotReg(0xF4), {}},
    // 2: bank 2 (pins 16-23), LDN 9 bit 0
    {2, {Ldn(0x09), Read(0x30)}, 0, kNever, 0xE0, 0xE1, 0xE2, NotReg(0xE9), {}},
    // 3: bank 3 (pins 24-31), LDN 9 bit 1 — pins 24, 25, 26, 28, 29, 30 each while its bit of
    //    0x2B is set, pin 31 while bit 7 of 0x2B is clear; pin 27 has no rule
    {3, {}, 1, kNever, 0xE4, 0xE5, 0xE6, NotReg(0xEA),
     {TPinRule{0x01, {Bit(0x2B, 0, true)}}, TPinRule{0x02, {Bit(0x2B, 1, true)}},
      TPinRule{0x04, {Bit(0x2B, 2, true)}}, TPinRule{0x10, {Bit(0x2B, 4, true)}},
      TPinRule{0x20, {Bit(0x2B, 5, true)}}, TPinRule{0x40, {Bit(0x2B, 6, true)}},
      TPinRule{0x80, {Bit(0x2B, 7, false)}}}},
    // 4: bank 4 (pins 32-39), LDN 9 bit 2 — the whole bank by 0x2F/0x27
    {4, {}, 2, kNever, 0xF0, 0xF1, 0xF2, NotReg(0xF3), {kBank4And5Routed(0xFF)}},
    // 5: bank 5 (pins 40-47), LDN 9 bit 3 — the whole bank as bank 4; pins 40, 41, 43, 44
    //    each while its bit of 0x2D is clear
    {5, {}, 3, kNever, 0xF4, 0xF5, 0xF6, NotReg(0xEB),
     {kBank4And5Routed(0xFF), TPinRule{0x01, {Bit(0x2D, 0, false)}},
      TPinRule{0x02, {Bit(0x2D, 1, false)}}, TPinRule{0x08, {Bit(0x2D, 3, false)}},
      TPinRule{0x10, {Bit(0x2D, 4, false)}}}},
    // 6: bank 6 (pins 48-55), LDN 7 bit 1 — bit 3 of 0x29 routes it to GPIO
    {6, {Ldn(0x07), Read(0x30)}, 1, Bit(0x29, 3, false), 0xF4, 0xF5, 0xF6, NotReg(0xF8), {}},
    // 7: bank 7 (pins 56-63), LDN 7 bit 2 — bit 5 of 0x2A routes it to GPIO
    {7, {}, 2, Bit(0x2A, 5, false), 0xE0, 0xE1, 0xE2, NotReg(0xEC), {}},
    // 8: bank 8 (pins 64-71), LDN 7 bit 3 — pin 69 by 0x2F/0x27 as banks 4 and 5
    {8, {}, 3, kNever, 0xE4, 0xE5, 0xE6, NotReg(0xED), {kBank4And5Routed(0x20)}},
    // 9: bank 9 (pins 72-79), LDN 7 bit 4 — pins 72, 73 while bit 7 / bit 6 of 0x2D is
    //    clear; pins 74 to 78 while bit 0, 2, 3, 4, 5 of 0x2C is set; pin 79 has no rule
    {9, {}, 4, kNever, 0xE8, 0xE9, 0xEA, NotReg(0xEE),
     {TPinRule{0x01, {Bit(0x2D, 7, false)}}, TPinRule{0x02, {Bit(0x2D, 6, false)}},
      TPinRule{0x04, {Bit(0x2C, 0, true)}}, TPinRule{0x08, {Bit(0x2C, 2, true)}},
      TPinRule{0x10, {Bit(0x2C, 3, true)}}, TPinRule{0x20, {Bit(0x2C, 4, true)}},
      TPinRule{0x40, {Bit(0x2C, 5, true)}}}},
};

// WriteGPIO: the bank's activation bit, and in banks 0, 1, 7, 8 and 9 the pin's bit of the
// device's multi-function register cleared after it.
//
// Bank 0 is written with the registers its read decodes (LDN 8 0xE0-0xE2, multi-function
// 0xE4, activation bit 2), so its six pins can be driven like those of bank 1; a chip
// without a write for the bank leaves GPIO00-GPIO05 forever as the firmware set them.
// Global 0x2A bit 3 (pin 3's other function) is not touched, as bank 1 leaves 0x2A bit 6.
// Pins 6 and 7 do not exist and are not written.
constexpr TWriteBank kWriteBanks[] = {
    // Bank, steps, I/O select, data, inversion
    {0, {Ldn(0x08), Or(0x30, 0x04), ClearPinBit(0xE4)}, 0xE0, 0xE1, 0xE2},
    {1, {Ldn(0x08), Or(0x30, 0x02), ClearPinBit(0xF4)}, 0xF0, 0xF1, 0xF2},
    {2, {Ldn(0x09), Or(0x30, 0x01)}, 0xE0, 0xE1, 0xE2},
    {3, {Ldn(0x09), Or(0x30, 0x02)}, 0xE4, 0xE5, 0xE6},
    {4, {Ldn(0x09), Or(0x30, 0x04)}, 0xF0, 0xF1, 0xF2},
    {5, {Ldn(0x09), Or(0x30, 0x08)}, 0xF4, 0xF5, 0xF6},
    {6, {Or(0x29, 0x08), Ldn(0x07), Or(0x30, 0x02)}, 0xF4, 0xF5, 0xF6},
    {7, {Ldn(0x07), Or(0x30, 0x04), ClearPinBit(0xEC)}, 0xE0, 0xE1, 0xE2},
    {8, {Ldn(0x07), Or(0x30, 0x08), ClearPinBit(0xED)}, 0xE4, 0xE5, 0xE6},
    {9, {Ldn(0x07), Or(0x30, 0x10), ClearPinBit(0xEE)}, 0xE8, 0xE9, 0xEA},
};
constexpr std::uint8_t kBank0Pins = 6;

}  // namespace

TNCT6775Sio::TNCT6775Sio(std::uint16_t requestedPort) : TNuvotonSio(requestedPort) {
  PinCount = 80;
}

TNCT6775Sio::~TNCT6775Sio() = default;

void TNCT6775Sio::ReadGPIO() { ReadGPIOBanks(kReadBanks); }

void TNCT6775Sio::WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) {
  if (Pin / 8 == 0 && Pin % 8 >= kBank0Pins) return;
  WriteGPIOBank(kWriteBanks, Pin, Mode);
}
