#pragma once
// The candidate walk of the firmware searches: every copy of an anchor text in an area of
// physical memory, in address order, until one is accepted (its checksum holds). Firmware
// may hold stray copies of an anchor (in its code, in stale tables); the walk tries them all
// and ends where the area ends, never after an arbitrary count.

#include <cstdint>

#include "hwaccess/ReadWrite.h"

namespace firmware {

// Calls accept(address) for each copy of `pattern` (length bytes) lying wholly inside
// [start, start + size), in address order, until it returns true. True when a copy was
// accepted. Each search starts just after the previous copy, which finds the same copies as
// counting matches from the start of the area, reading the area about once.
template <class Accept>
bool FindAcceptedCopy(TReadWrite& access, std::uint64_t start, std::uint32_t size,
                      const char* pattern, std::uint32_t length, Accept&& accept) {
  constexpr std::uint32_t kNotFound = 0xFFFFFFFF;
  std::uint64_t from = start;
  while (from - start < size) {
    const auto rest = static_cast<std::uint32_t>(size - (from - start));
    const std::uint64_t match = access.SearchMem(from, rest, 1, pattern, length, 0);
    if ((match & 0xFFFFFFFF) == kNotFound) return false;
    if (accept(match)) return true;
    from = match + 1;
  }
  return false;
}

}  // namespace firmware
