#include "sio/W83627UHG.h"

namespace {

using namespace gpio_table;

// Bank 1's gpioSelect from bits 1..0 of global 0x2C: 00 and 01 leave pins 12 and 13 to their
// other function, 10 makes the whole bank GPIO, 11 none of it.
std::uint8_t Bank1Select(TReads& reads) {
  constexpr std::uint8_t kByMode[4] = {0xCF, 0xCF, 0xFF, 0x00};
  return kByMode[reads.Value(0, 0x2C) & 0x03];
}

// Bank 2's gpioSelect: pins 18, 19, 20 and 23 always; 21 and 22 while bit 1 of global 0x2A is
// clear; 16 and 17 while bit 1 of LDN 0x0B register 0xF2 is set.
std::uint8_t Bank2Select(TReads& reads) {
  std::uint8_t select = 0x9C;
  if ((reads.Value(0, 0x2A) & 0x02) == 0) select |= 0x60;
  if ((reads.Value(0x0B, 0xF2) & 0x02) != 0) select |= 0x03;
  return select;
}

// Banks 3 to 6: none of the pins while the serial port sharing them is active.
template <std::uint8_t SerialLdn>
std::uint8_t SerialPortSelect(TReads& reads) {
  return (reads.Value(SerialLdn, 0x30) & 0x01) != 0 ? 0x00 : 0xFF;
}

// ReadGPIO, bank by bank. Before bank 2: LDN 0x0B register 0xF2 and global 0x2A; before each
// of banks 3 to 6: register 0x30 of its serial port, with that device selected.
constexpr TReadBank kReadBanks[] = {
    // 0: bank 1 (pins 8-15), LDN 9 bit 0 — 0x2C bits 1..0: 00/01 pins 10, 11 not GPIO,
    //    11 the whole bank
    {1, {Ldn(0x09), Read(0x30), Read(0x2C)}, 0, kNever, 0xE0, 0xE1, 0xE2,
     ComputedBy(&Bank1Select),
     {TPinRule{0x0C, {Bit(0x2C, 1, false)}}, TPinRule{0xFF, {Masked(0x2C, 0x03, 0x03)}}}},
    // 1: bank 2 (pins 16-23), LDN 9 bit 1 — pins 21, 22 not GPIO while bit 1 of 0x2A is set,
    //    pins 16, 17 while bit 1 of LDN 0x0B 0xF2 is clear
    {2, {Ldn(0x0B), Read(0xF2), Read(0x2A), Ldn(0x09)}, 1, kNever, 0xE4, 0xE5, 0xE6,
     ComputedBy(&Bank2Select),
     {TPinRule{0x60, {Bit(0x2A, 1, true)}}, TPinRule{0x03, {DeviceBit(0x0B, 0xF2, 1, false)}}}},
    // 2: bank 3 (pins 24-31), LDN 7 bit 0 — UART C (LDN 6)
    {3, {Ldn(0x06), Read(0x30), Ldn(0x07)}, 0, kNever, 0xE0, 0xE1, 0xE2,
     ComputedBy(&SerialPortSelect<0x06>), {TPinRule{0xFF, {DeviceBit(0x06, 0x30, 0, true)}}}},
    // 3: bank 4 (pins 32-39), LDN 7 bit 1 — UART D (LDN 0x0D)
    {4, {Ldn(0x0D), Read(0x30), Ldn(0x07)}, 1, kNever, 0xE4, 0xE5, 0xE6,
     ComputedBy(&SerialPortSelect<0x0D>), {TPinRule{0xFF, {DeviceBit(0x0D, 0x30, 0, true)}}}},
    // 4: bank 5 (pins 40-47), LDN 8 bit 1 — UART E (LDN 0x0E)
    {5, {Ldn(0x0E), Read(0x30), Ldn(0x08)}, 1, kNever, 0xE0, 0xE1, 0xE2,
     ComputedBy(&SerialPortSelect<0x0E>), {TPinRule{0xFF, {DeviceBit(0x0E, 0x30, 0, true)}}}},
    // 5: bank 6 (pins 48-55), LDN 8 bit 2 — UART F (LDN 0x0F)
    {6, {Ldn(0x0F), Read(0x30), Ldn(0x08)}, 2, kNever, 0xE4, 0xE5, 0xE6,
     ComputedBy(&SerialPortSelect<0x0F>), {TPinRule{0xFF, {DeviceBit(0x0F, 0x30, 0, true)}}}},
};

// WriteGPIO: for banks 3 to 6 the serial port sharing the pins goes off before the bank
// goes on.
constexpr TWriteBank kWriteBanks[] = {
    // Bank, steps, I/O select, data, inversion
    {1, {Ldn(0x09), Or(0x30, 0x01), OrAnd(0x2C, 0x02, 0xFE)}, 0xE0, 0xE1, 0xE2},
    {2, {Ldn(0x0B), Or(0xF2, 0x02), Ldn(0x09), And(0x2A, 0xFD), Or(0x30, 0x02), Or(0x2D, 0x77)},
     0xE4, 0xE5, 0xE6},
    {3, {Ldn(0x06), And(0x30, 0xFE), Ldn(0x07), Or(0x30, 0x01)}, 0xE0, 0xE1, 0xE2},
    {4, {Ldn(0x0D), And(0x30, 0xFE), Ldn(0x07), Or(0x30, 0x02)}, 0xE4, 0xE5, 0xE6},
    {5, {Ldn(0x0E), And(0x30, 0xFE), Ldn(0x08), Or(0x30, 0x02)}, 0xE0, 0xE1, 0xE2},
    {6, {Ldn(0x0F), And(0x30, 0xFE), Ldn(0x08), Or(0x30, 0x04)}, 0xE4, 0xE5, 0xE6},
};

// EnableGPIOGroup: the bank's activation bit alone.
constexpr TGroupSwitch kGroupSwitches[] = {
    {1, {Ldn(0x09), Or(0x30, 0x01)}},
    {2, {Ldn(0x09), Or(0x30, 0x02)}},
    {3, {Ldn(0x07), Or(0x30, 0x01)}},
    {4, {Ldn(0x07), Or(0x30, 0x02)}},
    {5, {Ldn(0x08), Or(0x30, 0x02)}},
    {6, {Ldn(0x08), Or(0x30, 0x04)}},
};

}  // namespace

TW83627UHG::TW83627UHG(std::uint16_t requestedPort) : TWinbondSio(requestedPort) {
  PinCount = 48;
}

TW83627UHG::~TW83627UHG() = default;

void TW83627UHG::ReadGPIO() { ReadGPIOBanks(kReadBanks); }

void TW83627UHG::WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) {
  WriteGPIOBank(kWriteBanks, Pin, Mode);
}

void TW83627UHG::EnableGPIOGroup(std::uint8_t Pin) {
  if (const TGroupSwitch* group = FindGroupSwitch(kGroupSwitches, Pin))
    RunGPIOSteps(group->Steps, 0);
}
