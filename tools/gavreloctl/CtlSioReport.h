#pragma once
// End-of-run check of the Super I/O commands on a virtual board: the chips a command left in
// configuration mode (none, when every access ended with its lock sequence). Empty on real
// hardware, which cannot be asked.

#include <cstdio>
#include <string>
#include <vector>

#include "hwaccess/LoadDriver.h"
#include "sim/SuperIoChip.h"
#include "sim/VirtualBoard.h"

inline std::vector<std::string> CtlChipsLeftUnlocked() {
  const auto* board = dynamic_cast<const TVirtualBoard*>(TLoadDriver::Machine());
  return board != nullptr ? TSuperIoChip::LeftUnlocked(*board) : std::vector<std::string>{};
}

inline void CtlWarnChipsLeftUnlocked() {
  for (const std::string& name : CtlChipsLeftUnlocked())
    std::fprintf(stderr, "gavreloctl: %s left in configuration mode\n", name.c_str());
}
