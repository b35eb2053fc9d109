#pragma once
// Fixture of the Super I/O tests: a fresh process state with a virtual board installed under
// the access service, and helpers to reach the board's chips.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "sim/SuperIoChip.h"
#include "sim/VirtualBoard.h"

inline std::string BoardFile(const std::string& name) {
  return std::string(GAVRELO_SOURCE_DIR) + "/boards/" + name;
}

// One chip of each group of unlock and lock scripts in the chip table, for boards that carry
// two chips of different groups.
struct TChipGroup {
  const char* Group;  // short name for test messages
  const char* Row;    // FullName of the row that detects it
  const char* Keys;   // the board file's key protocol
  const char* Id;     // identification bytes from register 0x20 up
  bool FoundAt4E;     // the row's 0x4E probe opens it (the SMSC probe there sends 0x87)
};

inline const std::vector<TChipGroup>& ChipGroups() {
  static const std::vector<TChipGroup> groups = {
      {"W", "NCT6791D", "nuvoton", "C8 03", true},
      {"F", "FinTek F71882/F71883", "fintek", "05 41 19 34", true},
      {"S", "SMSC LPC47M15x/LPC47M192", "smsc", "60", false},
      {"I", "IT8712F", "ite", "87 12", true},
      {"I2", "IT8720F", "ite", "87 20", true},
      {"E", "IT8512E", "none", "85 12", true},
  };
  return groups;
}

// The board-file entry of a group's chip at `port`, with logical device 0x0B based at
// 0x0290 (port 0x2E) or 0x0A30 (port 0x4E), so the monitor base tells which chip answered.
inline nlohmann::json GroupChip(const TChipGroup& group, std::uint16_t port) {
  const bool first = port == 0x2E;
  return {{"name", std::string(group.Group) + (first ? "-2E" : "-4E")},
          {"port", first ? "0x2E" : "0x4E"},
          {"keys", group.Keys},
          {"id", group.Id},
          {"devices",
           {{"0x0B", {{"registers", {{"0x30", "0x01"},
                                     {"0x60", first ? "0x02" : "0x0A"},
                                     {"0x61", first ? "0x90" : "0x30"}}}}}}}};
}

inline nlohmann::json TwoChipBoard(const TChipGroup& at2E, const TChipGroup& at4E) {
  return {{"description", std::string(at2E.Row) + " at 0x2E, " + at4E.Row + " at 0x4E"},
          {"superio", {{"chips", nlohmann::json::array({GroupChip(at2E, 0x2E), GroupChip(at4E, 0x4E)})}}}};
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
  // One byte port cycle straight on the board (no access service, no singletons).
  void Out(std::uint16_t port, std::uint8_t value) { m_Board->PortWrite(port, 1, value); }
  std::uint8_t In(std::uint16_t port) {
    std::uint32_t value = 0;
    m_Board->PortRead(port, 1, value);
    return static_cast<std::uint8_t>(value);
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
