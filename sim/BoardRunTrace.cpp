#include "sim/BoardRunTrace.h"

#include "sim/SuperIoChip.h"
#include "sim/VirtualBoard.h"

TBoardRunTrace::TBoardRunTrace(TVirtualBoard& board, const std::string& boardFile, bool header)
    : m_Board(board) {
  TRunTrace::Instance().Attach(*this, boardFile, header);
}

TBoardRunTrace::~TBoardRunTrace() { TRunTrace::Instance().Detach(*this); }

void TBoardRunTrace::RecordRunEvent(const nlohmann::json& event) { m_Board.Trace().RunEvent(event); }

nlohmann::json TBoardRunTrace::EndFields() {
  return {{"left_unlocked", TSuperIoChip::LeftUnlocked(m_Board)}};
}

std::int64_t TBoardRunTrace::OriginUnixMicroseconds() {
  return m_Board.Trace().OriginUnixMicroseconds();
}
