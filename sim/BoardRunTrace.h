#pragma once
// TBoardRunTrace: a virtual board's access trace as the sink of the run's own account
// (diag/RunTrace.h). The header, the tool's decisions and the end go into the board's trace
// between its bus cycles; the end names the chips the run left in configuration mode.
//
// The process's board attaches one when it writes its trace to a file (GAVRELO_TRACE); a
// test attaches one to see the decisions of an in-process run among the board's events.

#include <string>

#include "diag/RunTrace.h"

class TVirtualBoard;

class TBoardRunTrace : public TRunTraceSink {
 public:
  // Attaches to the process's run trace; `header` puts the header event first.
  TBoardRunTrace(TVirtualBoard& board, const std::string& boardFile, bool header = true);
  ~TBoardRunTrace() override;
  TBoardRunTrace(const TBoardRunTrace&) = delete;
  TBoardRunTrace& operator=(const TBoardRunTrace&) = delete;

  void RecordRunEvent(const nlohmann::json& event) override;
  // {"left_unlocked": ["superio W83627UHG @0x2E", ...]}
  nlohmann::json EndFields() override;
  std::int64_t OriginUnixMicroseconds() override;

 private:
  TVirtualBoard& m_Board;
};
