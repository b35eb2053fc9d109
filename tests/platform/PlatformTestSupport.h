#pragma once
// Shared fixture of the platform tests: every case starts as a new process would, on a
// virtual board built from a board-file description.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "sim/VirtualBoard.h"

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
