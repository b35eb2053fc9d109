#include "sio/NCT6776Sio.h"

namespace {

using namespace gpio_table;

// Pins of bank 4 and 6 routed away while bit 1 of 0x2F is set.
constexpr TTest kUart2F = Bit(0x2F, 1, true);

// ReadGPIO: three passes — banks 0 and 10; banks 1 to 7; banks 8 and 9. The activation bit
// is read from the device its row names (EnableLdn), which for banks 1, 6, 7 and 10 is not
// the device of the bank's registers; that device's register 0x30 is read first. Every
// global once, when first needed. A pin rule marks its pins GPIO_NOT_GPIO while it holds.
constexpr TReadBank kReadBanks[] = {
    // 0: bank 0 (pins 0-7), registers and activation bit 1 in LDN 8
    {0, {Ldn(0x08), Read(0x30)}, 1, kNever, 0xE0, 0xE1, 0xE2, NotReg(0xE4), {}},
    // 1: bank 10 (pins 80-87), registers in LDN 0x17, activation bit 2 of LDN 8; only pin 80
    //    has an inversion bit (0xE2 bit 0) and a multi-function bit (0xE5 bit 0)
    {10, {Ldn(0x17)}, 2, kNever, 0xE0, 0xE1, 0xE2, NotRegBits(0xE5, 0x01), {}, 8, 0x08, 0x01},
    // 2: bank 1 (pins 8-15), registers in LDN 8, activation bit 1 of LDN 9 — pins 10, 11 while
    //    bit 2 of 0x27 is set or bit 5 of 0x2A clear; the others while bit 5 of 0x2A is clear
    {1, {Ldn(0x09), Read(0x30), Ldn(0x08)}, 1, kNever, 0xF0, 0xF1, 0xF2, NotReg(0xF4),
     {TPinRule{0x0C, {Bit(0x27, 2, true), Bit(0x2A, 5, false)}},
      TPinRule{0xF3, {Bit(0x2A, 5, false)}}},
     8, 0x09},
    // 3: bank 2 (pins 16-23), LDN 9 bit 2 — 16, 17 by bit 0 of 0x2A; 18, 19 by bit 1; 20 by
    //    bit 4 of 0x1B or bit 3 of 0x27; 21 by bit 3 of 0x2A or bit 3 of 0x27; 23 by bit 7 of
    //    0x2C
    {2, {Ldn(0x09)}, 2, kNever, 0xE0, 0xE1, 0xE2, NotReg(0xE9),
     {TPinRule{0x03, {Bit(0x2A, 0, false)}}, TPinRule{0x0C, {Bit(0x2A, 1, false)}},
      TPinRule{0x10, {Bit(0x1B, 4, true), Bit(0x27, 3, true)}},
      TPinRule{0x20, {Bit(0x2A, 3, true), Bit(0x27, 3, true)}},
      TPinRule{0x80, {Bit(0x2C, 7, true)}}}},
    // 4: bank 3 (pins 24-31), LDN 9 bit 3 — pins 25 to 30 each while its bit of 0x2B is
    //    clear; pin 31 while bit 3 of 0x2F is set or bit 7 of 0x2B clear
    {3, {}, 3, kNever, 0xE4, 0xE5, 0xE6, NotReg(0xEA),
     {TPinRule{0x02, {Bit(0x2B, 1, false)}}, TPinRule{0x04, {Bit(0x2B, 2, false)}},
      TPinRule{0x08, {Bit(0x2B, 3, false)}}, TPinRule{0x10, {Bit(0x2B, 4, false)}},
      TPinRule{0x20, {Bit(0x2B, 5, false)}}, TPinRule{0x40, {Bit(0x2B, 6, false)}},
      TPinRule{0x80, {Bit(0x2F, 3, true), Bit(0x2B, 7, false)}}}},
    // 5: bank 4 (pins 32-39), LDN 9 bit 4, multi-function 0xEE
    {4, {}, 4, kNever, 0xF0, 0xF1, 0xF2, NotReg(0xEE),
     {TPinRule{0x01, {Bit(0x1B, 3, true)}},
      TPinRule{0x02, {kUart2F, Bit(0x1A, 3, false), Bit(0x1A, 2, true)}},
      TPinRule{0x04, {kUart2F, Bit(0x1B, 2, false), Bit(0x1B, 1, false)}},
      TPinRule{0x08, {kUart2F, Bit(0x27, 4, false)}},
      TPinRule{0x30, {kUart2F, Bit(0x1B, 6, true)}},
      TPinRule{0x40, {kUart2F, Bit(0x27, 5, true)}},
      TPinRule{0x80, {Bit(0x1B, 7, false)}}}},
    // 6: bank 5 (pins 40-47), LDN 9 bit 5. Pin 45: bit 7 of 0x1C, bit 0 of 0x27, or bit 3 of
    //    0x2F with (bit 5 of 0x2F clear or bit 1 of 0x2F set), the last as two masked tests.
    //    Pin 47 by bit 1 of 0x2F alone (see the note after the table).
    {5, {}, 5, kNever, 0xF4, 0xF5, 0xF6, NotReg(0xEB),
     {TPinRule{0x01, {Bit(0x2C, 6, true), Bit(0x2C, 5, false)}},
      TPinRule{0x02, {Bit(0x2D, 1, false)}}, TPinRule{0x04, {Bit(0x2D, 2, false)}},
      TPinRule{0x08, {Bit(0x2D, 3, false)}}, TPinRule{0x10, {Bit(0x2D, 4, false)}},
      TPinRule{0x20, {Bit(0x1C, 7, true), Bit(0x27, 0, true), Masked(0x2F, 0x28, 0x08),
                      Masked(0x2F, 0x0A, 0x0A)}},
      TPinRule{0x40, {Bit(0x1C, 7, true), Bit(0x2F, 3, true), Bit(0x2F, 5, false), kUart2F}},
      TPinRule{0x80, {kUart2F}}}},
    // 7: bank 6 (pins 48-55), registers in LDN 7, activation bit 6 of LDN 9 — all eight while
    //    bit 1 of 0x2F is set or bit 4 of 0x27 clear
    {6, {Ldn(0x07)}, 6, kNever, 0xF4, 0xF5, 0xF6, NotReg(0xF8),
     {TPinRule{0xFF, {kUart2F, Bit(0x27, 4, false)}}}, 8, 0x09},
    // 8: bank 7 (pins 56-63), registers in LDN 7, activation bit 7 of LDN 9 — 56 to 61 while
    //    bit 7 of 0x27 is clear, 62 and 63 while bit 6 is clear
    {7, {}, 7, kNever, 0xE0, 0xE1, 0xE2, NotReg(0xEC),
     {TPinRule{0x3F, {Bit(0x27, 7, false)}}, TPinRule{0xC0, {Bit(0x27, 6, false)}}}, 8, 0x09},
    // 9: bank 8 (pins 64-71), LDN 7 bit 0
    {8, {Ldn(0x07), Read(0x30)}, 0, kNever, 0xE4, 0xE5, 0xE6, NotReg(0xED), {}},
    // 10: bank 9 (pins 72-79), LDN 7 bit 1; the multi-function bits of 0xEE cover 72-75 only
    {9, {}, 1, kNever, 0xE8, 0xE9, 0xEA, NotRegBits(0xEE, 0x0F), {}},
};
// Pin 47: the chip's read also tests global 0x1B with an empty bit mask, a test that never
// holds. No bit of 0x1B is guessed for it (0x1B bits 1 to 4, 6 and 7 route other pins of
// banks 2 and 4): a wrong guess would report a working pin as not GPIO, so the pin is routed
// by bit 1 of 0x2F alone, on the chip's model of the virtual board too.

// WriteGPIO: the bank's activation bit — in LDN 9 for banks 1 to 7, the device whose enables
// the read tests —, then the bank's register device and in banks 1, 7, 8 and 9 the pin's
// multi-function bit cleared. Banks 1, 2, 3, 6 and 7 set the bit of this chip's own device
// list (LDN 9 bits 1, 2, 3, 6, 7): the bits of the NCT6775 (LDN 8 bit 1, which is bank 0's;
// LDN 9 bits 0 and 1; LDN 7 bits 1 and 2, the first bank 9's) left a disabled bank's pins
// unmoved and enabled an unrelated bank. Bank 10 is not written.
constexpr TWriteBank kWriteBanks[] = {
    // Bank, steps, I/O select, data, inversion
    {0, {And(0x24, 0xBF), Ldn(0x08), Or(0x30, 0x02)}, 0xE0, 0xE1, 0xE2},
    {1, {Ldn(0x09), Or(0x30, 0x02), Ldn(0x08), ClearPinBit(0xF4)}, 0xF0, 0xF1, 0xF2},
    {2, {Ldn(0x09), Or(0x30, 0x04)}, 0xE0, 0xE1, 0xE2},
    {3, {Ldn(0x09), Or(0x30, 0x08)}, 0xE4, 0xE5, 0xE6},
    {4, {Ldn(0x09), Or(0x30, 0x10)}, 0xF0, 0xF1, 0xF2},
    {5, {Ldn(0x09), Or(0x30, 0x20)}, 0xF4, 0xF5, 0xF6},
    {6, {Or(0x29, 0x08), Ldn(0x09), Or(0x30, 0x40), Ldn(0x07)}, 0xF4, 0xF5, 0xF6},
    {7, {Ldn(0x09), Or(0x30, 0x80), Ldn(0x07), ClearPinBit(0xEC)}, 0xE0, 0xE1, 0xE2},
    {8, {Ldn(0x07), Or(0x30, 0x01), ClearPinBit(0xED)}, 0xE4, 0xE5, 0xE6},
    {9, {Ldn(0x07), Or(0x30, 0x02), ClearPinBit(0xEE)}, 0xE8, 0xE9, 0xEA},
};

}  // namespace

TNCT6776Sio::TNCT6776Sio(std::uint16_t requestedPort) : TNuvotonSio(requestedPort) {
  PinCount = 88;
}

TNCT6776Sio::~TNCT6776Sio() = default;

void TNCT6776Sio::ReadGPIO() { ReadGPIOBanks(kReadBanks); }

void TNCT6776Sio::WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) {
  WriteGPIOBank(kWriteBanks, Pin, Mode);
}
