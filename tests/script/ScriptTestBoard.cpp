#include "ScriptTestBoard.h"

#include "diag/ProcessState.h"

namespace {
ScriptTest* g_current = nullptr;
}

void ScriptTest::SetUp() {
  gavrelo::ResetProcessStateForTests();
  auto board = std::make_unique<TVirtualBoard>();
  Build(*board);
  Board = &TVirtualBoard::Install(std::move(board));
  g_current = this;
}

void ScriptTest::TearDown() {
  m_Interpreter.reset();
  g_current = nullptr;
  gavrelo::ResetProcessStateForTests();
}

void ScriptTest::Build(TVirtualBoard& board) {
  Sio = &static_cast<TIndexDataPorts&>(
      board.AddPortDevice(std::make_unique<TIndexDataPorts>("sio", 0x2E, 0x2F)));
  Status = &static_cast<TQueuedPort&>(board.AddPortDevice(std::make_unique<TQueuedPort>()));
}

TInterpreter& ScriptTest::Script() {
  if (!m_Interpreter) {
    m_Interpreter = std::make_unique<TInterpreter>();
    m_Interpreter->SetSleepFunction([](std::uint32_t ms) { g_current->Sleeps.push_back(ms); });
    ClearTrace();  // whatever bringing up the access service did is not the script's
  }
  return *m_Interpreter;
}

std::vector<std::uint32_t> ScriptTest::WritesTo(std::uint16_t port) const {
  std::vector<std::uint32_t> values;
  for (const TPortCycle& cycle : Cycles()) {
    if (cycle.Write && cycle.Port == port) values.push_back(cycle.Value);
  }
  return values;
}
