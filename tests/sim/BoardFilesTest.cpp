// The board files shipped in boards/ load, and show what they describe.

#include <gtest/gtest.h>

#include <filesystem>

#include "sim/VirtualBoard.h"

namespace {
const std::filesystem::path kBoards = std::filesystem::path(GAVRELO_SOURCE_DIR) / "boards";
}

TEST(BoardFiles, DemoBoardLoadsAndAnswersThroughBothPciMechanisms) {
  auto board = TVirtualBoard::FromFile(kBoards / "demo.json");
  std::uint32_t ids = 0;
  ASSERT_TRUE(board->PciConfigRead(0x8000F800, 0xCFC, 4, ids));
  EXPECT_EQ(ids, 0x29188086u);
  std::uint32_t window = 0;
  ASSERT_TRUE(board->MemoryRead(board->EcamBase() + (0x1F << 15), &window, 4, 4));
  EXPECT_EQ(window, ids);
}

TEST(BoardFiles, Q35BoardCarriesTheSixFunctionsOfTheRealImage) {
  const auto image = kBoards / "../../shared/firmware/qemu-q35/ecam-bus0.bin";
  if (!std::filesystem::exists(image)) GTEST_SKIP() << "firmware images absent: " << image;
  auto board = TVirtualBoard::FromFile(kBoards / "qemu-q35.json");
  int present = 0;
  for (unsigned fn = 0; fn < 256; ++fn) present += board->PciFunction(static_cast<std::uint16_t>(fn)) != nullptr;
  EXPECT_EQ(present, 6);
  std::uint32_t lpc = 0;
  ASSERT_TRUE(board->MemoryRead(0xB0000000ull + (0x1F << 15), &lpc, 4, 4));
  EXPECT_EQ(lpc, 0x29188086u);
}
