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
