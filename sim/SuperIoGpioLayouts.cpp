// GPIO layouts of the Super I/O chip models the virtual board knows, one per model, shared by
// every board whose chip carries that name. Each bank row and each mux rule is checked line
// by line against the chip's register map: the banks give the logical device, the I/O-select,
// data and inversion registers and the activation bit; the rules say when a pin is a GPIO at
// all (a pin is GPIO while every rule naming it holds; a rule holds when one of its terms
// does). Registers below 0x30 are global, the others belong to the named logical device.
//
// Adding a model: its banks and rules beside the others, and a row in kLayouts at the end.

#include <iterator>

#include "sim/SuperIoGpio.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Winbond W83627DHG, W83627EHF/EHG: banks 1 and 6 in logical device 7, banks 2 to 5 in
// logical device 9.
// ---------------------------------------------------------------------------------------------
constexpr TSioGpioBank kW83627Banks[] = {
    // Bank, LDN, I/O, data, inv, enable LDN, enable bit
    {1, 0x07, 0xF0, 0xF1, 0xF2, 0x07, 0},
    {2, 0x09, 0xE3, 0xE4, 0xE5, 0x09, 0},
    {3, 0x09, 0xF0, 0xF1, 0xF2, 0x09, 1},
    {4, 0x09, 0xF4, 0xF5, 0xF6, 0x09, 2},
    {5, 0x09, 0xE0, 0xE1, 0xE2, 0x09, 3},
    {6, 0x07, 0xF4, 0xF5, 0xF6, 0x07, 3},
};
constexpr TSioMuxRule kW83627Rules[] = {
    // 0: bit 0 of global 0x29 routes bank 1 to GPIO; LDN 7 0xF3 gives single pins away
    {1, 0xFF, {GlobalBit(0x29, 0, true)}},
    {1, 0xFF, {PinBitClear(0x07, 0xF3)}},
    // 2: bank 3 belongs to another function while bit 4 of global 0x2C is set; pins 26, 27
    //    and 28 each while bit 5, 6 or 7 is set
    {3, 0xFF, {GlobalBit(0x2C, 4, false)}},
    {3, 0x04, {GlobalBit(0x2C, 5, false)}},
    {3, 0x08, {GlobalBit(0x2C, 6, false)}},
    // 5
    {3, 0x10, {GlobalBit(0x2C, 7, false)}},
    // 6: bank 4 is no GPIO while bits 1..0 of global 0x2C are both set; LDN 9 0xF7 gives
    //    single pins away; pins 34 and 35 need bit 1 set
    {4, 0xFF, {GlobalNotEqual(0x2C, 0x03, 0x03)}},
    {4, 0xFF, {PinBitClear(0x09, 0xF7)}},
    {4, 0x0C, {GlobalBit(0x2C, 1, true)}},
    // 9: a set bit of global 0x2D makes the bank 5 pin a GPIO
    {5, 0xFF, {PinBitSet(0x00, 0x2D)}},
    // 10: bit 3 of global 0x29 routes bank 6 to GPIO
    {6, 0xFF, {GlobalBit(0x29, 3, true)}},
};

// ---------------------------------------------------------------------------------------------
// Winbond W83627UHG: banks 1, 2 in logical device 9, 3, 4 in 7, 5, 6 in 8; banks 3 to 6 share
// their pins with the serial ports C to F (logical devices 6, 0x0D, 0x0E, 0x0F).
// ---------------------------------------------------------------------------------------------
constexpr TSioGpioBank kW83627UhgBanks[] = {
    // Bank, LDN, I/O, data, inv, enable LDN, enable bit
    {1, 0x09, 0xE0, 0xE1, 0xE2, 0x09, 0},
    {2, 0x09, 0xE4, 0xE5, 0xE6, 0x09, 1},
    {3, 0x07, 0xE0, 0xE1, 0xE2, 0x07, 0},
    {4, 0x07, 0xE4, 0xE5, 0xE6, 0x07, 1},
    {5, 0x08, 0xE0, 0xE1, 0xE2, 0x08, 1},
    {6, 0x08, 0xE4, 0xE5, 0xE6, 0x08, 2},
};
constexpr TSioMuxRule kW83627UhgRules[] = {
    // 0: bits 1..0 of global 0x2C: 11 gives all of bank 1 away; pins 10 to 13 are GPIO only
    //    with 10
    {1, 0xFF, {GlobalNotEqual(0x2C, 0x03, 0x03)}},
    {1, 0x3C, {GlobalBit(0x2C, 1, true)}},
    // 2: pins 16, 17 are GPIO while bit 1 of LDN 0x0B 0xF2 is set; pins 21, 22 while bit 1 of
    //    global 0x2A is clear
    {2, 0x03, {DeviceBit(0x0B, 0xF2, 1, true)}},
    {2, 0x60, {GlobalBit(0x2A, 1, false)}},
    // 4: an active serial port takes its bank's pins
    {3, 0xFF, {DeviceBit(0x06, 0x30, 0, false)}},
    // 5
    {4, 0xFF, {DeviceBit(0x0D, 0x30, 0, false)}},
    {5, 0xFF, {DeviceBit(0x0E, 0x30, 0, false)}},
    {6, 0xFF, {DeviceBit(0x0F, 0x30, 0, false)}},
};

// ---------------------------------------------------------------------------------------------
// Winbond W83667HG, W83667HG-A: bank 1 in logical device 8, banks 2 to 5 in 9, 6 to 9 in 7.
// The multi-function registers of each device give single pins away (a set bit).
// ---------------------------------------------------------------------------------------------
constexpr TSioGpioBank kW83667Banks[] = {
    // Bank, LDN, I/O, data, inv, enable LDN, enable bit
    {1, 0x08, 0xF0, 0xF1, 0xF2, 0x08, 1},
    {2, 0x09, 0xE0, 0xE1, 0xE2, 0x09, 0},
    {3, 0x09, 0xE4, 0xE5, 0xE6, 0x09, 1},
    {4, 0x09, 0xF0, 0xF1, 0xF2, 0x09, 2},
    {5, 0x09, 0xF4, 0xF5, 0xF6, 0x09, 3},
    {6, 0x07, 0xF4, 0xF5, 0xF6, 0x07, 1},
    {7, 0x07, 0xE0, 0xE1, 0xE2, 0x07, 2},
    {8, 0x07, 0xE4, 0xE5, 0xE6, 0x07, 3},
    {9, 0x07, 0xE8, 0xE9, 0xEA, 0x07, 4},
};
constexpr TSioMuxRule kW83667Rules[] = {
    // 0: bank 1 — bit 1 of global 0x2C takes the bank; LDN 8 0xF4 single pins
    {1, 0xFF, {GlobalBit(0x2C, 1, false)}},
    {1, 0xFF, {PinBitClear(0x08, 0xF4)}},
    // 2: bank 2 — LDN 9 0xE9; pin 22 also needs bit 5 of global 0x27 and bit 1 of 0x24 clear
    {2, 0xFF, {PinBitClear(0x09, 0xE9)}},
    {2, 0x40, {GlobalBit(0x27, 5, false)}},
    {2, 0x40, {GlobalBit(0x24, 1, false)}},
    // 5: bank 3 — global 0x2B and LDN 9 0xEA; pin 31 needs bit 7 or bit 6 of 0x2C
    {3, 0xFF, {PinBitClear(0x00, 0x2B)}},
    {3, 0xFF, {PinBitClear(0x09, 0xEA)}},
    {3, 0x80, {GlobalBit(0x2C, 7, true), GlobalBit(0x2C, 6, true)}},
    // 8: bank 4 — bit 2 of global 0x2A takes the bank; LDN 9 0xF3 single pins
    {4, 0xFF, {GlobalBit(0x2A, 2, false)}},
    {4, 0xFF, {PinBitClear(0x09, 0xF3)}},
    // 10: bank 5 — LDN 9 0xEB; pin 40 needs bit 7 or bit 6 of 0x2C
    {5, 0xFF, {PinBitClear(0x09, 0xEB)}},
    {5, 0x01, {GlobalBit(0x2C, 7, true), GlobalBit(0x2C, 6, true)}},
    // 12: bank 6 — bit 3 of global 0x29 routes it to GPIO; LDN 7 0xF8 single pins
    {6, 0xFF, {GlobalBit(0x29, 3, true)}},
    {6, 0xFF, {PinBitClear(0x07, 0xF8)}},
    // 14: bank 7 — bit 1 of global 0x2C takes the bank; LDN 7 0xEC single pins
    {7, 0xFF, {GlobalBit(0x2C, 1, false)}},
    // 15
    {7, 0xFF, {PinBitClear(0x07, 0xEC)}},
    // 16: bank 8 — LDN 7 0xED; pins 67, 68 need bit 0 of 0x2C and bit 0 / bit 1 of 0x27 clear
    {8, 0xFF, {PinBitClear(0x07, 0xED)}},
    {8, 0x18, {GlobalBit(0x2C, 0, false)}},
    {8, 0x08, {GlobalBit(0x27, 0, false)}},
    {8, 0x10, {GlobalBit(0x27, 1, false)}},
    // 20: bank 9 — LDN 7 0xEE; every pin needs bit 0 of 0x2C clear, and pins 72-74 and
    //     76-78 bit 2 of 0x27, pin 75 bit 3, pin 79 bit 4
    {9, 0xFF, {PinBitClear(0x07, 0xEE)}},
    {9, 0xFF, {GlobalBit(0x2C, 0, false)}},
    {9, 0x77, {GlobalBit(0x27, 2, false)}},
    {9, 0x08, {GlobalBit(0x27, 3, false)}},
    {9, 0x80, {GlobalBit(0x27, 4, false)}},
};

// ---------------------------------------------------------------------------------------------
// Nuvoton NCT6775F/NCT6771F: banks 0 and 1 in logical device 8, 2 to 5 in 9, 6 to 9 in 7;
// bank 0 has six pins. Each device's multi-function registers give single pins away.
// ---------------------------------------------------------------------------------------------
constexpr TSioGpioBank kNct6775Banks[] = {
    // Bank, LDN, I/O, data, inv, enable LDN, enable bit, pins
    {0, 0x08, 0xE0, 0xE1, 0xE2, 0x08, 2, 6},
    {1, 0x08, 0xF0, 0xF1, 0xF2, 0x08, 1},
    {2, 0x09, 0xE0, 0xE1, 0xE2, 0x09, 0},
    {3, 0x09, 0xE4, 0xE5, 0xE6, 0x09, 1},
    {4, 0x09, 0xF0, 0xF1, 0xF2, 0x09, 2},
    {5, 0x09, 0xF4, 0xF5, 0xF6, 0x09, 3},
    {6, 0x07, 0xF4, 0xF5, 0xF6, 0x07, 1},
    {7, 0x07, 0xE0, 0xE1, 0xE2, 0x07, 2},
    {8, 0x07, 0xE4, 0xE5, 0xE6, 0x07, 3},
    {9, 0x07, 0xE8, 0xE9, 0xEA, 0x07, 4},
};
// Banks 4 and 5 and pin 69 are GPIO while bit 0 of global 0x2F or bit 4 of 0x27 is set.
constexpr TSioMuxRule kNct6775Rules[] = {
    // 0: bank 0 — LDN 8 0xE4 single pins; pin 3 needs bit 3 of 0x2A clear
    {0, 0xFF, {PinBitClear(0x08, 0xE4)}},
    {0, 0x08, {GlobalBit(0x2A, 3, false)}},
    // 2: bank 1 — bit 6 of 0x2A takes the bank; LDN 8 0xF4 single pins
    {1, 0xFF, {GlobalBit(0x2A, 6, false)}},
    {1, 0xFF, {PinBitClear(0x08, 0xF4)}},
    // 4: bank 2 — LDN 9 0xE9
    {2, 0xFF, {PinBitClear(0x09, 0xE9)}},
    // 5: bank 3 — LDN 9 0xEA; pins 24-26 and 28-30 need their bit of 0x2B clear, 31 bit 7 set
    {3, 0xFF, {PinBitClear(0x09, 0xEA)}},
    {3, 0x77, {PinBitClear(0x00, 0x2B)}},
    {3, 0x80, {GlobalBit(0x2B, 7, true)}},
    // 8: bank 4 — 0x2F/0x27; LDN 9 0xF3
    {4, 0xFF, {GlobalBit(0x2F, 0, true), GlobalBit(0x27, 4, true)}},
    {4, 0xFF, {PinBitClear(0x09, 0xF3)}},
    // 10: bank 5 — 0x2F/0x27; LDN 9 0xEB; pins 40, 41, 43, 44 need their bit of 0x2D set
    {5, 0xFF, {GlobalBit(0x2F, 0, true), GlobalBit(0x27, 4, true)}},
    {5, 0xFF, {PinBitClear(0x09, 0xEB)}},
    {5, 0x1B, {PinBitSet(0x00, 0x2D)}},
    // 13: bank 6 — bit 3 of 0x29 routes it to GPIO; LDN 7 0xF8
    {6, 0xFF, {GlobalBit(0x29, 3, true)}},
    {6, 0xFF, {PinBitClear(0x07, 0xF8)}},
    // 15: bank 7 — bit 5 of 0x2A routes it to GPIO; LDN 7 0xEC
    {7, 0xFF, {GlobalBit(0x2A, 5, true)}},
    {7, 0xFF, {PinBitClear(0x07, 0xEC)}},
    // 17: bank 8 — LDN 7 0xED; pin 69 by 0x2F/0x27
    {8, 0xFF, {PinBitClear(0x07, 0xED)}},
    {8, 0x20, {GlobalBit(0x2F, 0, true), GlobalBit(0x27, 4, true)}},
    // 19: bank 9 — LDN 7 0xEE; 72, 73 need bit 7, 6 of 0x2D set; 74 to 78 bit 0, 2, 3, 4, 5
    //     of 0x2C clear
    {9, 0xFF, {PinBitClear(0x07, 0xEE)}},
    {9, 0x01, {GlobalBit(0x2D, 7, true)}},
    {9, 0x02, {GlobalBit(0x2D, 6, true)}},
    {9, 0x04, {GlobalBit(0x2C, 0, false)}},
    {9, 0x08, {GlobalBit(0x2C, 2, false)}},
    // 24
    {9, 0x10, {GlobalBit(0x2C, 3, false)}},
    {9, 0x20, {GlobalBit(0x2C, 4, false)}},
    {9, 0x40, {GlobalBit(0x2C, 5, false)}},
};

// ---------------------------------------------------------------------------------------------
// Nuvoton NCT6776F: the enables of banks 1 to 7 are bits 1 to 7 of register 0x30 of logical
// device 9, those of banks 0 and 10 bits 1 and 2 of device 8, those of banks 8 and 9 bits 0
// and 1 of device 7; the bank registers are in devices 8 (banks 0, 1), 9 (2 to 5), 7 (6 to 9)
// and 0x17 (bank 10, whose pin 80 alone has inversion and multi-function bits).
// ---------------------------------------------------------------------------------------------
constexpr TSioGpioBank kNct6776Banks[] = {
    // Bank, LDN, I/O, data, inv, enable LDN, enable bit, pins, inversion bits
    {0, 0x08, 0xE0, 0xE1, 0xE2, 0x08, 1},
    {1, 0x08, 0xF0, 0xF1, 0xF2, 0x09, 1},
    {2, 0x09, 0xE0, 0xE1, 0xE2, 0x09, 2},
    {3, 0x09, 0xE4, 0xE5, 0xE6, 0x09, 3},
    {4, 0x09, 0xF0, 0xF1, 0xF2, 0x09, 4},
    {5, 0x09, 0xF4, 0xF5, 0xF6, 0x09, 5},
    {6, 0x07, 0xF4, 0xF5, 0xF6, 0x09, 6},
    {7, 0x07, 0xE0, 0xE1, 0xE2, 0x09, 7},
    {8, 0x07, 0xE4, 0xE5, 0xE6, 0x07, 0},
    {9, 0x07, 0xE8, 0xE9, 0xEA, 0x07, 1},
    {10, 0x17, 0xE0, 0xE1, 0xE2, 0x08, 2, 8, 0x01},
};
constexpr TSioMuxRule kNct6776Rules[] = {
    // 0: bank 0 — LDN 8 0xE4
    {0, 0xFF, {PinBitClear(0x08, 0xE4)}},
    // 1: bank 1 — LDN 8 0xF4; bit 5 of 0x2A routes the bank; pins 10, 11 also need bit 2 of
    //    0x27 clear
    {1, 0xFF, {PinBitClear(0x08, 0xF4)}},
    {1, 0xFF, {GlobalBit(0x2A, 5, true)}},
    {1, 0x0C, {GlobalBit(0x27, 2, false)}},
    // 4: bank 2 — LDN 9 0xE9; 16, 17 need bit 0 of 0x2A; 18, 19 bit 1; 20 bit 4 of 0x1B and
    //    bit 3 of 0x27 clear; 21 bit 3 of 0x2A and bit 3 of 0x27 clear; 23 bit 7 of 0x2C clear
    {2, 0xFF, {PinBitClear(0x09, 0xE9)}},
    // 5
    {2, 0x03, {GlobalBit(0x2A, 0, true)}},
    {2, 0x0C, {GlobalBit(0x2A, 1, true)}},
    {2, 0x10, {GlobalBit(0x1B, 4, false)}},
    {2, 0x30, {GlobalBit(0x27, 3, false)}},
    {2, 0x20, {GlobalBit(0x2A, 3, false)}},
    // 10
    {2, 0x80, {GlobalBit(0x2C, 7, false)}},
    // 11: bank 3 — LDN 9 0xEA; 25 to 30 need their bit of 0x2B set; 31 bit 3 of 0x2F clear
    //     and bit 7 of 0x2B set
    {3, 0xFF, {PinBitClear(0x09, 0xEA)}},
    {3, 0x7E, {PinBitSet(0x00, 0x2B)}},
    {3, 0x80, {GlobalBit(0x2F, 3, false)}},
    {3, 0x80, {GlobalBit(0x2B, 7, true)}},
    // 15: bank 4 — LDN 9 0xEE; 33 to 38 need bit 1 of 0x2F clear
    {4, 0xFF, {PinBitClear(0x09, 0xEE)}},
    {4, 0x7E, {GlobalBit(0x2F, 1, false)}},
    {4, 0x01, {GlobalBit(0x1B, 3, false)}},
    {4, 0x02, {GlobalBit(0x1A, 3, true)}},
    {4, 0x02, {GlobalBit(0x1A, 2, false)}},
    // 20
    {4, 0x04, {GlobalBit(0x1B, 2, true)}},
    {4, 0x04, {GlobalBit(0x1B, 1, true)}},
    {4, 0x08, {GlobalBit(0x27, 4, true)}},
    {4, 0x30, {GlobalBit(0x1B, 6, false)}},
    {4, 0x40, {GlobalBit(0x27, 5, false)}},
    // 25
    {4, 0x80, {GlobalBit(0x1B, 7, true)}},
    // 26: bank 5 — LDN 9 0xEB; 40 needs bit 6 of 0x2C clear and bit 5 set; 41 to 44 their
    //     bit of 0x2D set; 45 bit 7 of 0x1C and bit 0 of 0x27 clear, and bit 3 of 0x2F clear
    //     or (bit 5 set and bit 1 clear); 46 bit 7 of 0x1C, bits 3 and 1 of 0x2F clear and
    //     bit 5 of 0x2F set; 47 bit 1 of 0x2F clear
    {5, 0xFF, {PinBitClear(0x09, 0xEB)}},
    {5, 0x01, {GlobalBit(0x2C, 6, false)}},
    {5, 0x01, {GlobalBit(0x2C, 5, true)}},
    {5, 0x1E, {PinBitSet(0x00, 0x2D)}},
    // 30
    {5, 0x60, {GlobalBit(0x1C, 7, false)}},
    {5, 0x20, {GlobalBit(0x27, 0, false)}},
    {5, 0x20, {GlobalBit(0x2F, 3, false), GlobalMasked(0x2F, 0x22, 0x20)}},
    {5, 0x40, {GlobalBit(0x2F, 3, false)}},
    {5, 0x40, {GlobalBit(0x2F, 5, true)}},
    // 35
    {5, 0xC0, {GlobalBit(0x2F, 1, false)}},
    // 36: bank 6 — LDN 7 0xF8; bit 1 of 0x2F clear and bit 4 of 0x27 set
    {6, 0xFF, {PinBitClear(0x07, 0xF8)}},
    {6, 0xFF, {GlobalBit(0x2F, 1, false)}},
    {6, 0xFF, {GlobalBit(0x27, 4, true)}},
    // 39: bank 7 — LDN 7 0xEC; 56 to 61 need bit 7 of 0x27, 62 and 63 bit 6
    {7, 0xFF, {PinBitClear(0x07, 0xEC)}},
    // 40
    {7, 0x3F, {GlobalBit(0x27, 7, true)}},
    {7, 0xC0, {GlobalBit(0x27, 6, true)}},
    // 42: bank 8 — LDN 7 0xED; bank 9 — LDN 7 0xEE for pins 72 to 75; bank 10 — LDN 0x17 0xE5
    //     for pin 80
    {8, 0xFF, {PinBitClear(0x07, 0xED)}},
    {9, 0x0F, {PinBitClear(0x07, 0xEE)}},
    {10, 0x01, {PinBitClear(0x17, 0xE5)}},
};

// ---------------------------------------------------------------------------------------------
// Nuvoton NCT6791D: banks 0 and 1 in logical device 8, 2 to 5 in 9, 6 to 8 in 7; banks 3 and
// 7 have seven pins. Nearly every pin is routed by the globals 0x1A-0x1D and 0x27-0x2F.
// ---------------------------------------------------------------------------------------------
constexpr TSioGpioBank kNct6791Banks[] = {
    // Bank, LDN, I/O, data, inv, enable LDN, enable bit, pins
    {0, 0x08, 0xE0, 0xE1, 0xE2, 0x08, 1},
    {1, 0x08, 0xF0, 0xF1, 0xF2, 0x08, 7},
    {2, 0x09, 0xE0, 0xE1, 0xE2, 0x09, 0},
    {3, 0x09, 0xE4, 0xE5, 0xE6, 0x09, 1, 7},
    {4, 0x09, 0xF0, 0xF1, 0xF2, 0x09, 2},
    {5, 0x09, 0xF4, 0xF5, 0xF6, 0x09, 3},
    {6, 0x07, 0xF4, 0xF5, 0xF6, 0x07, 0},
    {7, 0x07, 0xE0, 0xE1, 0xE2, 0x07, 1, 7},
    {8, 0x07, 0xE4, 0xE5, 0xE6, 0x07, 2},
};
constexpr TSioMuxRule kNct6791Rules[] = {
    // 0: bank 0 — LDN 8 0xE4; 0, 1, 2 need bit 0, 1, 2 of 0x1C set; 3 bits 4 and 3 clear;
    //    4, 5, 6 bit 5, 6, 7 set; 7 bit 0 of 0x1D clear
    {0, 0xFF, {PinBitClear(0x08, 0xE4)}},
    {0, 0x07, {PinBitSet(0x00, 0x1C)}},
    {0, 0x08, {GlobalMasked(0x1C, 0x18, 0x00)}},
    {0, 0x10, {GlobalBit(0x1C, 5, true)}},
    {0, 0x20, {GlobalBit(0x1C, 6, true)}},
    // 5
    {0, 0x40, {GlobalBit(0x1C, 7, true)}},
    {0, 0x80, {GlobalBit(0x1D, 0, false)}},
    // 7: bank 1 — LDN 8 0xF4; bit 6 of 0x2A; 10, 11 also bit 2 of 0x27 clear
    {1, 0xFF, {PinBitClear(0x08, 0xF4)}},
    {1, 0xFF, {GlobalBit(0x2A, 6, true)}},
    {1, 0x0C, {GlobalBit(0x27, 2, false)}},
    // 10: bank 2 — LDN 9 0xE9; 16, 17 bit 0 of 0x2A; 18, 19 bit 1; 20 bit 4 of 0x1B clear; 20,
    //     21 bit 3 of 0x27 clear; 21 bit 3 of 0x2A clear; 22 bit 0 of 0x2C clear; 23 bits 4
    //     and 3 of 0x2C clear
    {2, 0xFF, {PinBitClear(0x09, 0xE9)}},
    {2, 0x03, {GlobalBit(0x2A, 0, true)}},
    {2, 0x0C, {GlobalBit(0x2A, 1, true)}},
    {2, 0x10, {GlobalBit(0x1B, 4, false)}},
    {2, 0x30, {GlobalBit(0x27, 3, false)}},
    // 15
    {2, 0x20, {GlobalBit(0x2A, 3, false)}},
    {2, 0x40, {GlobalBit(0x2C, 0, false)}},
    {2, 0x80, {GlobalMasked(0x2C, 0x18, 0x00)}},
    // 18: bank 3 — LDN 9 0xEA; 24 bit 7 of 0x1A clear and bit 6 set; 25 bit 0 of 0x1B clear
    //     and bit 5 of 0x1A set; 26 bit 0 of 0x1B clear and bit 4 of 0x1A set; 27 bit 6 of
    //     0x2C clear and bit 5 set; 28 bit 7 of 0x2F clear; 28-30 bit 4 of 0x27 clear; 29, 30
    //     bit 1 of 0x2F clear
    {3, 0xFF, {PinBitClear(0x09, 0xEA)}},
    {3, 0x01, {GlobalMasked(0x1A, 0xC0, 0x40)}},
    // 20
    {3, 0x06, {GlobalBit(0x1B, 0, false)}},
    {3, 0x02, {GlobalBit(0x1A, 5, true)}},
    {3, 0x04, {GlobalBit(0x1A, 4, true)}},
    {3, 0x08, {GlobalMasked(0x2C, 0x60, 0x20)}},
    {3, 0x10, {GlobalBit(0x2F, 7, false)}},
    // 25
    {3, 0x70, {GlobalBit(0x27, 4, false)}},
    {3, 0x60, {GlobalBit(0x2F, 1, false)}},
    // 27: bank 4 — LDN 9 0xEE; 32 bit 3 of 0x1B set; 33-37 bit 1 of 0x2F and bit 4 of 0x27
    //     clear; 33 bit 3 of 0x1A set and bit 2 clear; 34 bits 2 and 1 of 0x1B set; 36, 37 bit
    //     6 of 0x1B clear; 38 bits 4 and 5 of 0x27 clear; 39 bit 7 of 0x1B set
    {4, 0xFF, {PinBitClear(0x09, 0xEE)}},
    {4, 0x01, {GlobalBit(0x1B, 3, true)}},
    {4, 0x3E, {GlobalBit(0x2F, 1, false)}},
    // 30
    {4, 0x3E, {GlobalBit(0x27, 4, false)}},
    {4, 0x02, {GlobalMasked(0x1A, 0x0C, 0x08)}},
    {4, 0x04, {GlobalMasked(0x1B, 0x06, 0x06)}},
    {4, 0x30, {GlobalBit(0x1B, 6, false)}},
    {4, 0x40, {GlobalMasked(0x27, 0x30, 0x00)}},
    // 35
    {4, 0x80, {GlobalBit(0x1B, 7, true)}},
    // 36: bank 5 — LDN 9 0xEB; 40-45 bit 3 of 0x2F clear and, respectively, bit 2 of LDN 0x0B
    //     0xE6, bit 1 of 0x2D, bit 1 of LDN 0x0B 0xE6, bit 0 of 0x2D, bit 3 of 0x1D, bit 2 of
    //     0x2F clear; 46, 47 bit 5 of 0x2F clear
    {5, 0xFF, {PinBitClear(0x09, 0xEB)}},
    {5, 0x3F, {GlobalBit(0x2F, 3, false)}},
    {5, 0x01, {DeviceBit(0x0B, 0xE6, 2, false)}},
    {5, 0x02, {GlobalBit(0x2D, 1, false)}},
    // 40
    {5, 0x04, {DeviceBit(0x0B, 0xE6, 1, false)}},
    {5, 0x08, {GlobalBit(0x2D, 0, false)}},
    {5, 0x10, {GlobalBit(0x1D, 3, false)}},
    {5, 0x20, {GlobalBit(0x2F, 2, false)}},
    {5, 0xC0, {GlobalBit(0x2F, 5, false)}},
    // 45: bank 6 — LDN 7 0xF8; bit 1 of 0x2F and bit 4 of 0x27 clear
    {6, 0xFF, {PinBitClear(0x07, 0xF8)}},
    {6, 0xFF, {GlobalBit(0x2F, 1, false)}},
    {6, 0xFF, {GlobalBit(0x27, 4, false)}},
    // 48: bank 7 — LDN 7 0xEC; 56-59 bit 2 of 0x2F clear; 60, 61, 62 bit 5, 6, 7 of 0x2B set
    {7, 0xFF, {PinBitClear(0x07, 0xEC)}},
    {7, 0x0F, {GlobalBit(0x2F, 2, false)}},
    // 50
    {7, 0x10, {GlobalBit(0x2B, 5, true)}},
    {7, 0x20, {GlobalBit(0x2B, 6, true)}},
    {7, 0x40, {GlobalBit(0x2B, 7, true)}},
    // 53: bank 8 — LDN 7 0xED; bit 7 of 0x2A set; 69 also bit 6 of 0x2F clear
    {8, 0xFF, {PinBitClear(0x07, 0xED)}},
    {8, 0xFF, {GlobalBit(0x2A, 7, true)}},
    // 55
    {8, 0x20, {GlobalBit(0x2F, 6, false)}},
};

// ---------------------------------------------------------------------------------------------
// Nuvoton NCT6102D (NCT6106D): bank n in logical device 7 at 0xE0 + 4n (I/O select, data,
// inversion), activation bit n of its register 0x30; multi-function register 0xE0 + n of
// logical device 8. Of bank 7 only pin 57 can be a GPIO.
// ---------------------------------------------------------------------------------------------
constexpr TSioGpioBank kNct6102Banks[] = {
    // Bank, LDN, I/O, data, inv, enable LDN, enable bit
    {0, 0x07, 0xE0, 0xE1, 0xE2, 0x07, 0},
    {1, 0x07, 0xE4, 0xE5, 0xE6, 0x07, 1},
    {2, 0x07, 0xE8, 0xE9, 0xEA, 0x07, 2},
    {3, 0x07, 0xEC, 0xED, 0xEE, 0x07, 3},
    {4, 0x07, 0xF0, 0xF1, 0xF2, 0x07, 4},
    {5, 0x07, 0xF4, 0xF5, 0xF6, 0x07, 5},
    {6, 0x07, 0xF8, 0xF9, 0xFA, 0x07, 6},
    {7, 0x07, 0xFC, 0xFD, 0xFE, 0x07, 7},
};
constexpr TSioMuxRule kNct6102Rules[] = {
    // 0: banks 0 to 5 — LDN 8 0xE0 + n single pins; banks 0, 1, 2 need bit 3, 2, 1 of 0x1C
    //    clear
    {0, 0xFF, {PinBitClear(0x08, 0xE0)}},
    {0, 0xFF, {GlobalBit(0x1C, 3, false)}},
    {1, 0xFF, {PinBitClear(0x08, 0xE1)}},
    {1, 0xFF, {GlobalBit(0x1C, 2, false)}},
    {2, 0xFF, {PinBitClear(0x08, 0xE2)}},
    // 5
    {2, 0xFF, {GlobalBit(0x1C, 1, false)}},
    // 6: bank 3 — bits 4 and 5 of 0x1A clear; bank 4 — bits 5..4 of 0x1A other than 01
    {3, 0xFF, {PinBitClear(0x08, 0xE3)}},
    {3, 0xFF, {GlobalMasked(0x1A, 0x30, 0x00)}},
    {4, 0xFF, {PinBitClear(0x08, 0xE4)}},
    {4, 0xFF, {GlobalNotEqual(0x1A, 0x30, 0x10)}},
    // 10: bank 5 — 40, 41 bit 3 of 0x1A clear; 42, 43 bit 2 clear; 44, 45 bit 1, 0 set; 46,
    //     47 bit 7, 6 of 0x1B set
    {5, 0xFF, {PinBitClear(0x08, 0xE5)}},
    {5, 0x03, {GlobalBit(0x1A, 3, false)}},
    {5, 0x0C, {GlobalBit(0x1A, 2, false)}},
    {5, 0x10, {GlobalBit(0x1A, 1, true)}},
    {5, 0x20, {GlobalBit(0x1A, 0, true)}},
    // 15
    {5, 0x40, {GlobalBit(0x1B, 7, true)}},
    {5, 0x80, {GlobalBit(0x1B, 6, true)}},
    // 17: bank 6 — LDN 8 0xE6 for 48-54, 55 while bits 7..5 of LDN 8 0xE7 are 0; 48, 49, 50
    //     bit 5, 4, 3 of 0x1B set; 51, 52 bits 0 and 1 of 0x1B clear; 53 bit 6 of 0x1C set; 54
    //     bits 5 and 4 of 0x1C set and bit 2 of 0x27 clear
    {6, 0x7F, {PinBitClear(0x08, 0xE6)}},
    {6, 0x80, {DeviceMasked(0x08, 0xE7, 0xE0, 0x00)}},
    {6, 0x01, {GlobalBit(0x1B, 5, true)}},
    // 20
    {6, 0x02, {GlobalBit(0x1B, 4, true)}},
    {6, 0x04, {GlobalBit(0x1B, 3, true)}},
    {6, 0x18, {GlobalMasked(0x1B, 0x03, 0x00)}},
    {6, 0x20, {GlobalBit(0x1C, 6, true)}},
    {6, 0x40, {GlobalMasked(0x1C, 0x30, 0x30)}},
    // 25
    {6, 0x40, {GlobalBit(0x27, 2, false)}},
    // 26: bank 7 — pin 57 alone, while bit 0 of LDN 8 0xE7 is 0 and bit 2 of 0x1B and bit 3
    //     of 0x27 are clear; the other pins never (a rule with no term)
    {7, 0xFD, {}},
    {7, 0x02, {DeviceBit(0x08, 0xE7, 0, false)}},
    {7, 0x02, {GlobalBit(0x1B, 2, false)}},
    // 30
    {7, 0x02, {GlobalBit(0x27, 3, false)}},
};

struct TNamedLayout {
  const char* ChipName;  // as the board file names the chip
  TSioGpioLayout Layout;
};

constexpr TNamedLayout kLayouts[] = {
    {"W83627DHG", {"W83627", kW83627Banks, kW83627Rules}},
    {"W83627EHF", {"W83627", kW83627Banks, kW83627Rules}},
    {"W83627EHG", {"W83627", kW83627Banks, kW83627Rules}},
    {"W83627EHF/EHG", {"W83627", kW83627Banks, kW83627Rules}},
    {"W83627UHG", {"W83627UHG", kW83627UhgBanks, kW83627UhgRules}},
    {"W83667HG", {"W83667HG", kW83667Banks, kW83667Rules}},
    {"W83667HG-A", {"W83667HG", kW83667Banks, kW83667Rules}},
    {"NCT6775F", {"NCT6775F", kNct6775Banks, kNct6775Rules}},
    {"NCT6771F", {"NCT6775F", kNct6775Banks, kNct6775Rules}},
    {"NCT6775F/NCT6771F", {"NCT6775F", kNct6775Banks, kNct6775Rules}},
    {"NCT6776F", {"NCT6776F", kNct6776Banks, kNct6776Rules}},
    {"NCT6791D", {"NCT6791D", kNct6791Banks, kNct6791Rules}},
    {"NCT6102D", {"NCT6102D", kNct6102Banks, kNct6102Rules}},
    {"NCT6106D", {"NCT6102D", kNct6102Banks, kNct6102Rules}},
};

}  // namespace

const TSioGpioLayout* FindSioGpioLayout(std::string_view chipName) {
  for (const TNamedLayout& entry : kLayouts)
    if (chipName == entry.ChipName) return &entry.Layout;
  return nullptr;
}

std::vector<std::string> SioGpioLayoutNames() {
  std::vector<std::string> names;
  for (const TNamedLayout& entry : kLayouts) names.emplace_back(entry.ChipName);
  return names;
}
