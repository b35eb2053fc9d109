#include "sio/NCT6102DSio.h"

#include <string>

#include "diag/DebugConsole.h"

namespace {

using namespace gpio_table;

constexpr std::uint8_t kLdnGpio = 0x07;
constexpr std::uint8_t kLdnMultiFunction = 0x08;

// Bank 6's gpioSelect: pins 48-54 are GPIO where LDN 8 0xE6 has a clear bit; pin 55 only while
// bits 5 to 7 of LDN 8 0xE7 are all 0.
std::uint8_t Bank6Select(TReads& reads) {
  auto select = static_cast<std::uint8_t>(~reads.Value(kLdnMultiFunction, 0xE6) & 0x7F);
  if ((reads.Value(kLdnMultiFunction, 0xE7) & 0xE0) == 0) select |= 0x80;
  return select;
}

// Bank 7's gpioSelect: pin 57 alone, while bit 0 of LDN 8 0xE7 is 0; the other pins of the bank
// always read as not GPIO, with their level. 0xE7 is read again: it is this bank's own
// multi-function register (bank 6 read it for pin 55).
std::uint8_t Bank7Select(TReads& reads) {
  return (reads.Reread(0xE7) & 0x01) == 0 ? 0x02 : 0x00;
}

// ReadGPIO, bank by bank: LDN 7, its register 0x30 (read again for every bank) and the bank's
// three registers, then LDN 8 and the bank's multi-function register. The globals 0x1A, 0x1B,
// 0x1C, 0x24 and 0x27 are read once, before the first bank (0x24 is read and not used). A pin
// rule marks its pins GPIO_NOT_GPIO while it holds.
constexpr TReadBank kReadBanks[] = {
    // 0: bank 0 (pins 0-7) — all while bit 3 of 0x1C is set
    {0, {Read(0x1A), Read(0x1B), Read(0x1C), Read(0x24), Read(0x27), Ldn(kLdnGpio), Reread(0x30)},
     0, kNever, 0xE0, 0xE1, 0xE2, NotRegIn(kLdnMultiFunction, 0xE0),
     {TPinRule{0xFF, {Bit(0x1C, 3, true)}}}},
    // 1: bank 1 (pins 8-15) — all while bit 2 of 0x1C is set
    {1, {Ldn(kLdnGpio), Reread(0x30)}, 1, kNever, 0xE4, 0xE5, 0xE6,
     NotRegIn(kLdnMultiFunction, 0xE1), {TPinRule{0xFF, {Bit(0x1C, 2, true)}}}},
    // 2: bank 2 (pins 16-23) — all while bit 1 of 0x1C is set
    {2, {Ldn(kLdnGpio), Reread(0x30)}, 2, kNever, 0xE8, 0xE9, 0xEA,
     NotRegIn(kLdnMultiFunction, 0xE2), {TPinRule{0xFF, {Bit(0x1C, 1, true)}}}},
    // 3: bank 3 (pins 24-31) — all while bit 4 or bit 5 of 0x1A is set
    {3, {Ldn(kLdnGpio), Reread(0x30)}, 3, kNever, 0xEC, 0xED, 0xEE,
     NotRegIn(kLdnMultiFunction, 0xE3), {TPinRule{0xFF, {Bit(0x1A, 4, true), Bit(0x1A, 5, true)}}}},
    // 4: bank 4 (pins 32-39) — all while bits 5 and 4 of 0x1A are 0 and 1
    {4, {Ldn(kLdnGpio), Reread(0x30)}, 4, kNever, 0xF0, 0xF1, 0xF2,
     NotRegIn(kLdnMultiFunction, 0xE4), {TPinRule{0xFF, {Masked(0x1A, 0x30, 0x10)}}}},
    // 5: bank 5 (pins 40-47) — 40, 41 by bit 3 of 0x1A set; 42, 43 by bit 2 set; 44, 45 by
    //    bit 1, 0 clear; 46, 47 by bit 7, 6 of 0x1B clear
    {5, {Ldn(kLdnGpio), Reread(0x30)}, 5, kNever, 0xF4, 0xF5, 0xF6,
     NotRegIn(kLdnMultiFunction, 0xE5),
     {TPinRule{0x03, {Bit(0x1A, 3, true)}}, TPinRule{0x0C, {Bit(0x1A, 2, true)}},
      TPinRule{0x10, {Bit(0x1A, 1, false)}}, TPinRule{0x20, {Bit(0x1A, 0, false)}},
      TPinRule{0x40, {Bit(0x1B, 7, false)}}, TPinRule{0x80, {Bit(0x1B, 6, false)}}}},
    // 6: bank 6 (pins 48-55) — 48, 49, 50 by bit 5, 4, 3 of 0x1B clear; 51, 52 by bit 0 or 1
    //    of 0x1B set; 53 by bit 6 of 0x1C clear; 54 by bit 5 or 4 of 0x1C clear or bit 2 of
    //    0x27 set
    {6, {Ldn(kLdnGpio), Reread(0x30)}, 6, kNever, 0xF8, 0xF9, 0xFA,
     ComputedIn(kLdnMultiFunction, &Bank6Select),
     {TPinRule{0x01, {Bit(0x1B, 5, false)}}, TPinRule{0x02, {Bit(0x1B, 4, false)}},
      TPinRule{0x04, {Bit(0x1B, 3, false)}},
      TPinRule{0x18, {Bit(0x1B, 0, true), Bit(0x1B, 1, true)}},
      TPinRule{0x20, {Bit(0x1C, 6, false)}},
      TPinRule{0x40, {Bit(0x1C, 5, false), Bit(0x1C, 4, false), Bit(0x27, 2, true)}}}},
    // 7: bank 7 (pins 56-63) — 57 by bit 2 of 0x1B or bit 3 of 0x27 set
    {7, {Ldn(kLdnGpio), Reread(0x30)}, 7, kNever, 0xFC, 0xFD, 0xFE,
     ComputedIn(kLdnMultiFunction, &Bank7Select),
     {TPinRule{0x02, {Bit(0x1B, 2, true), Bit(0x27, 3, true)}}}},
};

// WriteGPIO: LDN 7 and the bank's activation bit, then the pin.
constexpr TWriteBank kWriteBanks[] = {
    // Bank, steps, I/O select, data, inversion
    {0, {Ldn(kLdnGpio), Or(0x30, 0x01)}, 0xE0, 0xE1, 0xE2},
    {1, {Ldn(kLdnGpio), Or(0x30, 0x02)}, 0xE4, 0xE5, 0xE6},
    {2, {Ldn(kLdnGpio), Or(0x30, 0x04)}, 0xE8, 0xE9, 0xEA},
    {3, {Ldn(kLdnGpio), Or(0x30, 0x08)}, 0xEC, 0xED, 0xEE},
    {4, {Ldn(kLdnGpio), Or(0x30, 0x10)}, 0xF0, 0xF1, 0xF2},
    {5, {Ldn(kLdnGpio), Or(0x30, 0x20)}, 0xF4, 0xF5, 0xF6},
    {6, {Ldn(kLdnGpio), Or(0x30, 0x40)}, 0xF8, 0xF9, 0xFA},
    {7, {Ldn(kLdnGpio), Or(0x30, 0x80)}, 0xFC, 0xFD, 0xFE},
};
// Of bank 7 only pin 57 (bit 1) is written; the others get the bank's steps and a log line.
constexpr std::uint8_t kBank7 = 7;
constexpr std::uint8_t kBank7GpioBits = 0x02;

// EnableGPIOGroup: LDN 7 and the group's activation bit; group 0 sets bit 1 (group 1's) too.
constexpr TGroupSwitch kGroupSwitches[] = {
    {0, {Ldn(kLdnGpio), Or(0x30, 0x01), Or(0x30, 0x02)}},
    {1, {Ldn(kLdnGpio), Or(0x30, 0x02)}},
    {2, {Ldn(kLdnGpio), Or(0x30, 0x04)}},
    {3, {Ldn(kLdnGpio), Or(0x30, 0x08)}},
    {4, {Ldn(kLdnGpio), Or(0x30, 0x10)}},
    {5, {Ldn(kLdnGpio), Or(0x30, 0x20)}},
    {6, {Ldn(kLdnGpio), Or(0x30, 0x40)}},
    {7, {Ldn(kLdnGpio), Or(0x30, 0x80)}},
};
// After group 2 the activation register is read back into the log.
constexpr std::uint8_t kGroupLoggedBack = 2;

}  // namespace

TNCT6102DSio::TNCT6102DSio(std::uint16_t requestedPort) : TNuvotonSio(requestedPort) {
  PinCount = 64;
}

TNCT6102DSio::~TNCT6102DSio() = default;

void TNCT6102DSio::ReadGPIO() { ReadGPIOBanks(kReadBanks); }

void TNCT6102DSio::WriteGPIO(std::uint8_t Pin, std::uint8_t Mode) {
  const auto mask = static_cast<std::uint8_t>(1u << (Pin % 8));
  if (Pin / 8 == kBank7 && (mask & kBank7GpioBits) == 0) {
    RunGPIOSteps(kWriteBanks[kBank7].Steps, mask);
    Console.WriteLine("NCT6102DSio::WriteGPIO::GPIO70,72~77 is not GPIO!!");
    return;
  }
  WriteGPIOBank(kWriteBanks, Pin, Mode);
}

void TNCT6102DSio::EnableGPIOGroup(std::uint8_t Pin) {
  const TGroupSwitch* group = FindGroupSwitch(kGroupSwitches, Pin);
  if (group == nullptr) return;
  RunGPIOSteps(group->Steps, 0);
  if (group->Bank == kGroupLoggedBack)
    Console.LogValue("active2", std::to_string(ReadConfigRegister(kRegActivation)), 10);
}
