#pragma once
// Shared fixture of the platform tests: every case starts as a new process would, on a
// virtual board built from a board-file description.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "sim/VirtualBoard.h"

// Where the ACPI tests put the generated root pointer and the tables.
inline constexpr std::uint64_t kRsdp = 0xF6000;
inline constexpr std::uint64_t kTables = 0x100000;

// A board whose firmware holds the ACPI tables `acpi` describes, at kRsdp and kTables.
inline nlohmann::json AcpiBoard(nlohmann::json acpi) {
  acpi["rsdp_address"] = kRsdp;
  acpi["tables_address"] = kTables;
  return {{"firmware", {{"acpi", acpi}}}};
}

// The four signature bytes at `address` ("none" for address 0, which holds no table).
inline std::string SignatureAt(TVirtualBoard& board, std::uint32_t address) {
  char sig[4] = {};
  if (address == 0) return "none";
  board.PeekMemory(address, sig, 4);
  return std::string(sig, 4);
}

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override { gavrelo::ResetProcessStateForTests(); }
  void TearDown() override { gavrelo::ResetProcessStateForTests(); }

  TVirtualBoard& Install(const nlohmann::json& description,
                         const std::filesystem::path& boardDir = {}) {
    return TVirtualBoard::Install(TVirtualBoard::FromJson(description, boardDir));
  }

  static std::uint32_t PeekDword(TVirtualBoard& board, std::uint64_t address) {
    std::uint8_t b[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(board.PeekMemory(address, b, 4)) << std::hex << address;
    return static_cast<std::uint32_t>(b[0] | b[1] << 8 | b[2] << 16) |
           static_cast<std::uint32_t>(b[3]) << 24;
  }
  static void PokeDword(TVirtualBoard& board, std::uint64_t address, std::uint32_t value) {
    std::uint8_t b[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                         static_cast<std::uint8_t>(value >> 16),
                         static_cast<std::uint8_t>(value >> 24)};
    ASSERT_TRUE(board.PokeMemory(address, b, 4)) << std::hex << address;
  }
  // The address the RSDT (as the root pointer names it) lists at `index`.
  static std::uint32_t RsdtEntry(TVirtualBoard& board, std::uint64_t rsdp, unsigned index) {
    return PeekDword(board, PeekDword(board, rsdp + 16) + 36 + 4 * index);
  }
};
