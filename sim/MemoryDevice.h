#pragma once
// A device in the virtual board's physical address space (memory-mapped registers: a
// chipset GPIO block, a sideband window). The board hands it every access of the unit
// width inside its range, one call per access, at ascending addresses; plain memory
// regions need no device (TVirtualBoard::AddMemoryRegion).

#include <cstdint>
#include <string>

class TVirtualBoard;

class TMemoryDevice {
 public:
  virtual ~TMemoryDevice() = default;
  // `offset` is relative to the base the device was added at; width 1, 2 or 4.
  virtual std::uint32_t Read(std::uint64_t offset, unsigned width) = 0;
  virtual void Write(std::uint64_t offset, unsigned width, std::uint32_t value) = 0;
  virtual std::string Name() const = 0;

  // Set by the board when the device is added (for state events in the trace).
  TVirtualBoard* Board = nullptr;
};
