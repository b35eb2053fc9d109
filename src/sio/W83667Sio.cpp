#include "sio/W83667Sio.h"

#include <string>

#include "diag/DebugConsole.h"

namespace {

using namespace gpio_table;

// ReadGPIO: LDN 8 (bank 1), LDN 9 (banks 2 to 5), LDN 7 (banks 6 to 9), register 0x30 of each
// device read once after selecting it; every global register once, when first needed.
constexpr TReadBank kReadBanks[] = {
    // 0: bank 1 (pins 8-15) — bit 1 of 0x2C takes the bank; LDN 8 0xF4 single pins
    {1, {Ldn(0x08), Read(0x30)}, 1, Bit(0x2C, 1, true), 0xF0, 0xF1, 0xF2, NotReg(0xF4), {}},
    // 1: bank 2 (pins 16-23) — LDN 9 0xE9; pin 22 also by bit 5 of 0x27 or bit 1 of 0x24
    {2, {Ldn(0x09), Read(0x30)}, 0, kNever, 0xE0, 0xE1, 0xE2, NotReg(0xE9),
     {TPinRule{0x40, {Bit(0x27, 5, true), Bit(0x24, 1, true)}}}},
    // 2: bank 3 (pins 24-31) — global 0x2B and LDN 9 0xEA; pin 31 while bits 7 and 6 of
    //    0x2C are both clear
    {3, {}, 1, kNever, 0xE4, 0xE5, 0xE6, NotRegs(0x2B, 0xEA), {TPinRule{0x80, {Masked(0x2C, 0xC0, 0x00)}}}},
    // 3: bank 4 (pins 32-39) — bit 2 of 0x2A takes the bank; LDN 9 0xF3 single pins
    {4, {}, 2, Bit(0x2A, 2, true), 0xF0, 0xF1, 0xF2, NotReg(0xF3), {}},
    // 4: bank 5 (pins 40-47) — LDN 9 0xEB; pin 40 while bits 7 and 6 of 0x2C are both clear
    {5, {}, 3, kNever, 0xF4, 0xF5, 0xF6, NotReg(0xEB), {TPinRule{0x01, {Masked(0x2C, 0xC0, 0x00)}}}},
    // 5: bank 6 (pins 48-55) — bit 3 of 0x29 routes it to GPIO; LDN 7 0xF8 single pins
    {6, {Ldn(0x07), Read(0x30)}, 1, Bit(0x29, 3, false), 0xF4, 0xF5, 0xF6, NotReg(0xF8), {}},
    // 6: bank 7 (pins 56-63) — bit 1 of 0x2C takes the bank; LDN 7 0xEC single pins
    {7, {}, 2, Bit(0x2C, 1, true), 0xE0, 0xE1, 0xE2, NotReg(0xEC), {}},
    // 7: bank 8 (pins 64-71) — LDN 7 0xED; pins 67, 68 by bit 0 / bit 1 of 0x27 or bit 0 of
    //    0x2C
    {8, {}, 3, kNever, 0xE4, 0xE5, 0xE6, NotReg(0xED),
     {TPinRule{0x08, {Bit(0x27, 0, true), Bit(0x2C, 0, true)}},
      TPinRule{0x10, {Bit(0x27, 1, true), Bit(0x2C, 0, true)}}}},
    // 8: bank 9 (pins 72-79) — LDN 7 0xEE (0xEA here is bank 9's inversion, not bank 3's
    //    register); pins 72-74, 76-78 by bit 2 of 0x27, 75 by bit 3, 79 by bit 4, each or
    //    bit 0 of 0x2C
    {9, {}, 4, kNever, 0xE8, 0xE9, 0xEA, NotReg(0xEE),
     {TPinRule{0x77, {Bit(0x27, 2, true), Bit(0x2C, 0, true)}},
      TPinRule{0x08, {Bit(0x27, 3, true), Bit(0x2C, 0, true)}},
      TPinRule{0x80, {Bit(0x27, 4, true), Bit(0x2C, 0, true)}}}},
};

// WriteGPIO: in banks 1, 7, 8 and 9 the pin's bit of the device's multi-function register is
// cleared after the activation.
constexpr TWriteBank kWriteBanks[] = {
    // Bank, steps, I/O select, data, inversion
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

}  // namespace

TW83667Sio::TW83667Sio(std::uint16_t requestedPort) : TWinbondSio(requestedPort) {
  PinCount = 80;
  Console.WriteLine("Build W83667 SIO");
  Console.WriteLine("Fan Config = " + std::to_string(Fans.size()));
}

TW83667Sio::~TW83667Sio() = default;

void TW83667Sio::ReadGPIO() { ReadGPIOBanks(kReadBanks); }

void TW83667Sio::WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) {
  WriteGPIOBank(kWriteBanks, Pin, Mode);
}

void TW83667Sio::BuildFanMap() {
  // AUXFANIN counts in register 0x2A with its divisor in 0x4B bits 7..6 and 0x5D bit 7, as in
  // TWinbondSio's map: the chip's monitor has the same three fan inputs at the same
  // registers. (A copy of SYSFANIN's registers here would read the system fan twice.)
  Fans[L"CPUFANIN"] = kCpuFanIn;
  Fans[L"SYSFANIN"] = kSysFanIn;
  Fans[L"AUXFANIN"] = kAuxFanIn;
}
