// Firmware tables are data from outside the tool. This target builds a virtual board whose
// physical memory comes from the fuzz input and runs the board description over it,
// which runs the SMBIOS reader, the BIOS identity record search, the ACPI walk and the
// P-state check.
//
// Input: a sequence of chunks, each a 32-bit little-endian physical address, a 16-bit
// little-endian length and that many bytes. The legacy BIOS area 0xE0000-0xFFFFF is always
// present (zero-filled); chunks inside it are written into it, other chunks become memory
// regions of their own (a chunk overlapping an earlier one is dropped). make_corpus.py
// writes the seed corpus in this form.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "diag/ProcessState.h"
#include "platform/OrvSpec.h"
#include "sim/VirtualBoard.h"

namespace {

constexpr std::uint64_t kLegacyBase = 0xE0000;
constexpr std::uint64_t kLegacySize = 0x20000;
constexpr int kMaxChunks = 32;

std::unique_ptr<TVirtualBoard> BoardFromInput(const std::uint8_t* data, std::size_t size) {
  auto board = std::make_unique<TVirtualBoard>();
  board->AddMemoryRegion(kLegacyBase, std::vector<std::uint8_t>(kLegacySize, 0));
  std::size_t at = 0;
  for (int chunk = 0; chunk < kMaxChunks && size - at >= 6; ++chunk) {
    std::uint64_t address = static_cast<std::uint32_t>(data[at] | data[at + 1] << 8 | data[at + 2] << 16) |
                            static_cast<std::uint64_t>(data[at + 3]) << 24;
    std::size_t length = data[at + 4] | data[at + 5] << 8;
    at += 6;
    if (length > size - at) length = size - at;
    if (length == 0) continue;
    std::vector<std::uint8_t> bytes(data + at, data + at + length);
    at += length;
    if (address >= kLegacyBase && address + length <= kLegacyBase + kLegacySize) {
      board->PokeMemory(address, bytes.data(), static_cast<std::uint32_t>(length));
    } else {
      try {
        board->AddMemoryRegion(address, std::move(bytes));
      } catch (const std::runtime_error&) {
        // overlaps an earlier chunk
      }
    }
  }
  return board;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gavrelo::ResetProcessStateForTests();
  TVirtualBoard::Install(BoardFromInput(data, size));
  TOrvSpec::Instance();
  gavrelo::ResetProcessStateForTests();
  return 0;
}
