#pragma once
// A device on the virtual board's I/O port space (a Super I/O chip, a hardware monitor, a
// chipset GPIO block, the PCI configuration ports). The board routes each port cycle to
// the device that claims the port; unclaimed ports read all ones and ignore writes.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

class TVirtualBoard;

class TPortDevice {
 public:
  virtual ~TPortDevice() = default;

  // Inclusive port ranges [first, last] the device decodes.
  virtual std::vector<std::pair<std::uint16_t, std::uint16_t>> Ports() const = 0;
  // One port cycle of `width` bytes (1, 2 or 4). A device that only decodes byte cycles
  // may split wider ones into bytes at ascending ports.
  virtual std::uint32_t Read(std::uint16_t port, unsigned width) = 0;
  virtual void Write(std::uint16_t port, unsigned width, std::uint32_t value) = 0;

  // Name used in the trace and in reports.
  virtual std::string Name() const = 0;
  // State for the end-of-run report (for example whether a chip was left unlocked);
  // null when the device has nothing to report.
  virtual nlohmann::json Report() const { return nullptr; }

  // Set by the board when the device is added: devices record their own state changes
  // (a chip entering configuration mode, a logical device selected) through it.
  TVirtualBoard* Board = nullptr;
};
