#pragma once
// Fixture of the chipset GPIO tests: a fresh process state with a virtual board installed
// under the access service.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "diag/ProcessState.h"
#include "sim/VirtualBoard.h"

class ChipsetBoardTest : public ::testing::Test {
 protected:
  void SetUp() override { gavrelo::ResetProcessStateForTests(); }
  void TearDown() override { gavrelo::ResetProcessStateForTests(); }

  TVirtualBoard& Load(const std::string& boardName) {
    m_Board = &TVirtualBoard::Install(
        TVirtualBoard::FromFile(std::string(GAVRELO_SOURCE_DIR) + "/boards/" + boardName));
    return *m_Board;
  }
  TVirtualBoard& LoadJson(const nlohmann::json& description) {
    m_Board = &TVirtualBoard::Install(TVirtualBoard::FromJson(description));
    return *m_Board;
  }
  TVirtualBoard& Board() { return *m_Board; }
  std::vector<TPortCycle> Cycles() { return m_Board->Trace().PortCycles(); }
  void ClearTrace() { m_Board->Trace().Clear(); }
  // The fields of every pin event, in order.
  std::vector<nlohmann::json> PinEvents() {
    std::vector<nlohmann::json> events;
    for (const TTraceEvent& e : m_Board->Trace().OfKind(TTraceKind::Pin))
      events.push_back(nlohmann::json::parse(e.Detail));
    return events;
  }

 private:
  TVirtualBoard* m_Board = nullptr;
};
