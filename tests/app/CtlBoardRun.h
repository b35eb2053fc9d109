#pragma once
// gavreloctl as a process on a board from boards/, each run with its trace in a file of its
// own, and the events of one kind read back from it.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

class CtlBoardRun : public ::testing::Test {
 protected:
  // gavreloctl on a board from boards/, with the trace written to a file of its own.
  TProcessResult Ctl(const std::string& board, std::vector<std::string> args) {
    args.insert(args.begin(), {"--board", std::string(GAVRELO_SOURCE_DIR) + "/boards/" + board});
    m_TracePath = m_Dir.File("trace-" + std::to_string(++m_Runs) + ".jsonl");
    return RunProcess(std::string(GAVRELO_BIN_DIR) + "/gavreloctl", args,
                      {{"GAVRELO_TRACE", m_TracePath}}, m_Dir.File("ctl"));
  }
  std::vector<nlohmann::json> Trace(const std::string& kind) {
    std::vector<nlohmann::json> events;
    std::ifstream in(m_TracePath);
    for (std::string line; std::getline(in, line);) {
      nlohmann::json event = nlohmann::json::parse(line);
      if (event["kind"] == kind) events.push_back(event);
    }
    return events;
  }

  TTempDir m_Dir;
  int m_Runs = 0;
  std::string m_TracePath;
};
