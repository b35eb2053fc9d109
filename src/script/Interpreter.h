#pragma once
// TInterpreter: runs scripts of the tool's command language (Super I/O detection, unlock
// and lock sequences, and the platform commands) against the access service.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "hwaccess/IoObject.h"

class TInterpreter : public TIoObject {
 public:
  TInterpreter();
  ~TInterpreter() override;

  // Runs a whole script; each value-producing statement stores its value in `result`.
  // False at the first error (Message then holds the error text).
  bool Run(const std::string& script, std::int32_t& result);
  bool Run(const std::string& script);

  // Upper bound on statements one Run may execute (0 = unbounded, the default). When it is
  // reached the script fails; a caller (gavreloctl, the fuzzer) uses it to bound runaway
  // WAIT/LOOP blocks. The chip table's scripts never need it.
  void SetStatementBudget(std::uint64_t budget) { m_StatementBudget = budget; }

  std::string Message;
  std::vector<std::string> Output;
  std::int32_t Local[16] = {};
  std::int32_t Scratch = 0;
  std::int32_t LastResult = 0;

  // The rest of the interpreter's state is private to Interpreter.cpp.
 private:
  std::uint64_t m_StatementBudget = 0;
  struct TState;
  TState* m_State = nullptr;
};
