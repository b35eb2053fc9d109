#pragma once
// Configuration-register accesses read back from a board's port cycles, for tests that
// assert the register sequence of a chip operation: every access must be one bracket of the
// Winbond-type unlock (0x87 0x87 to the index port), the index write, one data read or
// write, and the lock (0xAA); a cycle outside that shape fails the test.
//
//   EXPECT_EQ(ConfigAccesses(Cycles()), (TAccesses{W(0x07, 0x09), R(0x30, 0x00), W(0x30, 0x01)}));

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <ostream>
#include <utility>
#include <vector>

#include "sim/AccessTrace.h"
#include "sim/SuperIoChip.h"

struct TConfigAccess {
  bool Write = false;
  std::uint8_t Reg = 0;
  std::uint8_t Value = 0;
  friend bool operator==(const TConfigAccess&, const TConfigAccess&) = default;
};
using TAccesses = std::vector<TConfigAccess>;

inline TConfigAccess R(std::uint8_t reg, std::uint8_t value) { return {false, reg, value}; }
inline TConfigAccess W(std::uint8_t reg, std::uint8_t value) { return {true, reg, value}; }

inline std::ostream& operator<<(std::ostream& os, const TConfigAccess& access) {
  char text[32];
  std::snprintf(text, sizeof text, "%s(0x%02X, 0x%02X)", access.Write ? "W" : "R", access.Reg,
                access.Value);
  return os << text;
}
inline void PrintTo(const TConfigAccess& access, std::ostream* os) { *os << access; }

inline TAccesses ConfigAccesses(const std::vector<TPortCycle>& cycles, std::uint16_t port = 0x2E) {
  TAccesses accesses;
  const auto data = static_cast<std::uint16_t>(port + 1);
  std::size_t i = 0;
  while (i < cycles.size()) {
    if (i + 4 >= cycles.size() || cycles[i] != TPortCycle::Out(port, 0x87) ||
        cycles[i + 1] != TPortCycle::Out(port, 0x87) || !cycles[i + 2].Write ||
        cycles[i + 2].Port != port || cycles[i + 3].Port != data ||
        cycles[i + 4] != TPortCycle::Out(port, 0xAA)) {
      ADD_FAILURE() << "cycle " << i << " (" << cycles[i]
                    << ") does not start an unlock/index/data/lock bracket";
      return accesses;
    }
    accesses.push_back({cycles[i + 3].Write, static_cast<std::uint8_t>(cycles[i + 2].Value),
                        static_cast<std::uint8_t>(cycles[i + 3].Value)});
    i += 5;
  }
  return accesses;
}

// Every configuration register of a chip: globals 0x00-0x2F, then 0x30-0xFF of each logical
// device; keyed ldn << 8 | reg (ldn 0x100 for the globals).
using TChipRegisters = std::map<std::uint32_t, std::uint8_t>;

inline TChipRegisters ChipRegisters(const TSuperIoChip& chip) {
  TChipRegisters regs;
  for (unsigned reg = 0; reg < 0x30; ++reg)
    regs[0x10000u | reg] = chip.Global(static_cast<std::uint8_t>(reg));
  for (const auto& [ldn, active] : chip.DeviceActivation())
    for (unsigned reg = 0x30; reg <= 0xFF; ++reg)
      regs[static_cast<std::uint32_t>(ldn) << 8 | reg] =
          chip.Device(ldn, static_cast<std::uint8_t>(reg));
  return regs;
}

// The registers whose value differs: key -> {before, after}.
inline std::map<std::uint32_t, std::pair<int, int>> ChangedRegisters(const TChipRegisters& before,
                                                                     const TChipRegisters& after) {
  std::map<std::uint32_t, std::pair<int, int>> changed;
  for (const auto& [key, value] : after) {
    const auto it = before.find(key);
    const int old = it == before.end() ? -1 : it->second;
    if (old != value) changed[key] = {old, value};
  }
  return changed;
}
// Keys for ChangedRegisters: a global register, a register of a logical device.
inline std::uint32_t GlobalKey(std::uint8_t reg) { return 0x10000u | reg; }
inline std::uint32_t DeviceKey(std::uint8_t ldn, std::uint8_t reg) {
  return static_cast<std::uint32_t>(ldn) << 8 | reg;
}
