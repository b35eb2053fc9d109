// gavreloctl gpio list/set/check/enable as real processes against the board files, with the
// board's trace read back from GAVRELO_TRACE.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "SioTestBoard.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

class CtlGpioTest : public ::testing::Test {
 protected:
  // gavreloctl --board boards/<board> args..., with the board's trace in a file.
  TProcessResult Ctl(const std::string& board, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--board", BoardFile(board)};
    all.insert(all.end(), args.begin(), args.end());
    return RunProcess(std::string(GAVRELO_BIN_DIR) + "/gavreloctl", all,
                      {{"GAVRELO_TRACE", m_Dir.File("trace.jsonl")}}, m_Dir.File("ctl"));
  }
  // The events of the last run's trace, of one kind ("pin", "out", ...).
  std::vector<nlohmann::json> Trace(const std::string& kind) {
    std::vector<nlohmann::json> events;
    std::istringstream in(TSubprocess::Slurp(m_Dir.File("trace.jsonl")));
    for (std::string line; std::getline(in, line);) {
      nlohmann::json event = nlohmann::json::parse(line);
      if (event["kind"] == kind) events.push_back(event);
    }
    return events;
  }

 private:
  TTempDir m_Dir{"ctl-gpio"};
};

TEST_F(CtlGpioTest, RefusesWhenNoChipWithAPinMapWasDetected) {
  // An ITE chip (served by the generic object) and a board without any Super I/O chip.
  for (const char* board : {"sio-I.json", "qemu-q35.json"}) {
    SCOPED_TRACE(board);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"gpio", "set", "GPIO12=Low"},
                                               {"gpio", "list"},
                                               {"gpio", "check", "GPIO12=Low"},
                                               {"gpio", "enable", "GPIO12"}}) {
      const TProcessResult r = Ctl(board, args);
      EXPECT_EQ(r.ExitCode, 2) << args[1];
      EXPECT_EQ(r.Stdout, "") << args[1];
      EXPECT_NE(r.Stderr.find("gpio " + args[1] + ": "), std::string::npos) << r.Stderr;
      EXPECT_NE(r.Stderr.find("nothing was read or written"), std::string::npos) << r.Stderr;
      // Detection probed the chip; no GPIO register was touched: no device was selected.
      for (const nlohmann::json& event : Trace("state"))
        EXPECT_FALSE(event["state"].contains("ldn")) << event.dump();
    }
  }
  const TProcessResult r = Ctl("sio-I.json", {"gpio", "list"});
  EXPECT_NE(r.Stderr.find("family 0x400"), std::string::npos) << r.Stderr;
  EXPECT_NE(r.Stderr.find("which has no pin map"), std::string::npos) << r.Stderr;
}

}  // namespace
