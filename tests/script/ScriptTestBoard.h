#pragma once
// The board the interpreter tests run on: a Super I/O chip as an index/data pair at
// 0x2E/0x2F, a status port at 0x64 that answers a queue of values, and whatever a test
// adds. Every test starts from fresh process state with the board installed.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "script/Interpreter.h"
#include "sim/RegisterPorts.h"
#include "sim/VirtualBoard.h"

// Port 0x64: each read takes the next queued value (the last one repeats).
class TQueuedPort : public TPortDevice {
 public:
  std::vector<std::pair<std::uint16_t, std::uint16_t>> Ports() const override {
    return {{0x64, 0x64}};
  }
  std::uint32_t Read(std::uint16_t, unsigned) override {
    std::uint32_t v = Values.empty() ? 0xFF : Values.front();
    if (Values.size() > 1) Values.pop_front();
    return v;
  }
  void Write(std::uint16_t, unsigned, std::uint32_t) override {}
  std::string Name() const override { return "status"; }
  std::deque<std::uint32_t> Values;
};

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Builds the board before the first interpreter exists; tests that need more hardware
  // override it and call the base first.
  virtual void Build(TVirtualBoard& board);

  // The interpreter, created on first use (after the board is installed).
  TInterpreter& Script();
  // Runs `text` on the interpreter with the test's result variable.
  bool Run(const std::string& text) { return Script().Run(text, Result); }
  std::vector<TPortCycle> Cycles() const { return Board->Trace().PortCycles(); }
  void ClearTrace() { Board->Trace().Clear(); }
  // Cycles to the given port only.
  std::vector<std::uint32_t> WritesTo(std::uint16_t port) const;

  TVirtualBoard* Board = nullptr;
  TIndexDataPorts* Sio = nullptr;
  TQueuedPort* Status = nullptr;
  std::int32_t Result = 0x5A5A;
  std::vector<std::uint32_t> Sleeps;

 private:
  std::unique_ptr<TInterpreter> m_Interpreter;
};

inline TPortCycle Out(std::uint16_t port, std::uint32_t value) { return TPortCycle::Out(port, value); }
inline TPortCycle In(std::uint16_t port, std::uint32_t value) { return TPortCycle::In(port, value); }
