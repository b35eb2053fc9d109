// Board files are input: any text either builds a board or is refused with an error naming
// the field, never a crash or a runaway allocation. A board that loads is also driven a
// little, so what it built is exercised too.

#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "sim/BoardJson.h"
#include "sim/VirtualBoard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    // Parsed as the executables parse a board file: nesting is bounded while it parses.
    const nlohmann::json description = board::Parse(data, size);
    // Relative image names resolve against a directory that holds none.
    auto board = TVirtualBoard::FromJson(description, "/nonexistent-board-dir");
    std::uint32_t value = 0;
    for (std::uint16_t port : {0x2E, 0x2F, 0x70, 0x71, 0x80, 0xCF8}) board->PortRead(port, 1, value);
    board->PciConfigRead(0x8000F800, 0xCFC, 4, value);
    std::uint8_t bytes[64];
    board->MemoryRead(0xE0000, bytes, sizeof(bytes), 1);
    TCpuidRegisters regs;
    board->Cpuid(regs);
  } catch (const std::runtime_error&) {
  }
  return 0;
}
