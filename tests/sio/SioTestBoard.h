#pragma once
// Fixture of the Super I/O tests: a fresh process state with a virtual board installed under
// the access service, and helpers to reach the board's chips.

#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "sim/SuperIoChip.h"
#include "sim/VirtualBoard.h"

inline std::string BoardFile(const std::string& name) {
  return std::string(GAVRELO_SOURCE_DIR) + "/boards/" + name;
}

class SioBoardTest : public ::testing::Test {
 protected:
  void SetUp() override { gavrelo::ResetProcessStateForTests(); }
  void TearDown() override { gavrelo::ResetProcessStateForTests(); }

  TVirtualBoard& Load(const std::string& boardName) {
    m_Board = &TVirtualBoard::Install(TVirtualBoard::FromFile(BoardFile(boardName)));
    return *m_Board;
  }
  TVirtualBoard& LoadJson(const nlohmann::json& description) {
    m_Board = &TVirtualBoard::Install(TVirtualBoard::FromJson(description));
    return *m_Board;
  }
  // A board with one chip given by its board-file entry.
  TVirtualBoard& LoadChip(const nlohmann::json& chip) {
    return LoadJson({{"superio", {{"chips", nlohmann::json::array({chip})}}}});
  }

  TVirtualBoard& Board() { return *m_Board; }
  TSuperIoChip& Chip(std::uint16_t port) {
    auto* chip = dynamic_cast<TSuperIoChip*>(m_Board->PortDeviceAt(port));
    if (chip == nullptr) throw std::runtime_error("no Super I/O chip at the port");
    return *chip;
  }
  std::vector<TPortCycle> Cycles() { return m_Board->Trace().PortCycles(); }
  void ClearTrace() { m_Board->Trace().Clear(); }

  // No chip of the board is in configuration mode.
  void ExpectAllChipsLocked() {
    for (const auto& device : m_Board->PortDevices()) {
      if (auto* chip = dynamic_cast<TSuperIoChip*>(device.get())) {
        EXPECT_FALSE(chip->Report()["left_unlocked"].get<bool>()) << chip->Name();
      }
    }
  }

 private:
  TVirtualBoard* m_Board = nullptr;
};
