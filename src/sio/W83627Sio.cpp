#include "sio/W83627Sio.h"

#include <iterator>

namespace {

using namespace gpio_table;

// ReadGPIO, in read order: logical device 7 with global 0x29 (banks 1 and 6), then logical
// device 9 with global 0x2C (banks 2 to 5). "never" is kNever.
constexpr TReadBank kReadBanks[] = {
    // 0: bank 1 (pins 8-15) — not GPIO while bit 0 of 0x29 is clear; LDN 7 0xF3 takes
    //    single pins
    {1, {Ldn(0x07), Read(0x30), Read(0x29)}, 0, Bit(0x29, 0, false), 0xF0, 0xF1, 0xF2,
     NotReg(0xF3), {}},
    // 1: bank 6 (pins 48-55) — bit 3 of 0x29 routes it to GPIO
    {6, {}, 3, Bit(0x29, 3, false), 0xF4, 0xF5, 0xF6, kAllGpio, {}},
    // 2: bank 2 (pins 16-23)
    {2, {Ldn(0x09), Read(0x30), Read(0x2C)}, 0, kNever, 0xE3, 0xE4, 0xE5, kAllGpio, {}},
    // 3: bank 3 (pins 24-31) — bit 4 of 0x2C takes the bank; bits 5, 6, 7 pins 26, 27, 28
    {3, {}, 1, Bit(0x2C, 4, true), 0xF0, 0xF1, 0xF2, kAllGpio,
     {TPinRule{0x04, {Bit(0x2C, 5, true)}}, TPinRule{0x08, {Bit(0x2C, 6, true)}},
      TPinRule{0x10, {Bit(0x2C, 7, true)}}}},
    // 4: bank 4 (pins 32-39) — bits 1..0 of 0x2C both set take the bank; pins 34, 35 need
    //    bit 1; LDN 9 0xF7 takes single pins
    {4, {}, 2, Masked(0x2C, 0x03, 0x03), 0xF4, 0xF5, 0xF6, NotReg(0xF7),
     {TPinRule{0x0C, {Bit(0x2C, 1, false)}}}},
    // 5: bank 5 (pins 40-47) — global 0x2D as read: a set bit makes the pin a GPIO
    {5, {}, 3, kNever, 0xE0, 0xE1, 0xE2, AsRead(0x2D), {}},
};

// WriteGPIO: preparation steps, then WriteGPIOBits with the bank's registers.
constexpr TWriteBank kWriteBanks[] = {
    // Bank, steps, I/O select, data, inversion
    {1, {Or(0x29, 0x01), Ldn(0x07), Or(0x30, 0x01)}, 0xF0, 0xF1, 0xF2},
    {2, {Ldn(0x09), Or(0x30, 0x01)}, 0xE3, 0xE4, 0xE5},
    {3, {Ldn(0x09), Or(0x30, 0x02)}, 0xF0, 0xF1, 0xF2},
    {4, {Ldn(0x09), Or(0x30, 0x04)}, 0xF4, 0xF5, 0xF6},
    {5, {Ldn(0x09), Or(0x30, 0x08)}, 0xE0, 0xE1, 0xE2},
    {6, {Or(0x29, 0x08), Ldn(0x07), Or(0x30, 0x08)}, 0xF4, 0xF5, 0xF6},
};

}  // namespace

TW83627Sio::TW83627Sio(std::uint16_t requestedPort) : TWinbondSio(requestedPort) {
  PinCount = 56;
}

TW83627Sio::~TW83627Sio() = default;

void TW83627Sio::ReadGPIO() { ReadGPIOBanks(kReadBanks); }

void TW83627Sio::WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) {
  WriteGPIOBank(kWriteBanks, Pin, Mode);
}
