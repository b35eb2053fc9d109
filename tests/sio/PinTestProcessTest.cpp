// The tool's automatic job end to end, as a real process on each Winbond and Nuvoton demo
// board with GPIO, with the shipped Gavrelo.INI: the INI's pin goes output_low, then output_high at least Delay ms
// later, and the chip ends locked.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "SioTestBoard.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// `gavrelo /DEBUG` on a board file: a copy of the tool beside the shipped INI in `dir`, under a
// name of its own (its single-instance guard is named after the file), with the board's trace
// in dir/trace.jsonl.
TProcessResult RunStagedTool(const TTempDir& dir, const std::string& board) {
  const std::string exe = dir.File(dir.Path().filename().string());
  fs::copy_file(fs::path(GAVRELO_BIN_DIR) / "gavrelo", exe);
  fs::copy_file(fs::path(GAVRELO_BIN_DIR) / "Gavrelo.INI", dir.File("Gavrelo.INI"));
  return RunProcess(exe, {"/DEBUG"},
                    {{"GAVRELO_BOARD", BoardFile(board)}, {"GAVRELO_TRACE", dir.File("trace.jsonl")}},
                    dir.File("run"));
}

TEST(PinTestProcess, EachDemoBoardDrivesItsPinLowThenHigh) {
  struct TCase {
    const char* Board;
    const char* Chip;
    const char* Pin;  // the PIN of the board model's section in the shipped INI
  };
  const std::vector<TCase> cases = {
      {"w83627dhg-demo.json", "W83627DHG", "GPIO63"},
      {"w83627uhg-demo.json", "W83627UHG", "GPIO31"},
      {"w83667hg-demo.json", "W83667HG", "GPIO73"},
      {"demo.json", "W83627UHG", "GPIO12"},
      {"nct6775f-demo.json", "NCT6775F", "GPIO23"},
      {"nct6776f-demo.json", "NCT6776F", "GPIO21"},
      {"nct6791d-demo.json", "NCT6791D", "GPIO35"},
      {"nct6102d-demo.json", "NCT6102D", "GPIO10"},
  };
  constexpr std::uint64_t kDelayUs = 100 * 1000;  // Delay=100 in every section
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Board);
    TTempDir dir("pin-test");
    const TProcessResult r = RunStagedTool(dir, c.Board);
    ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
    // The chip table's row name ("NCT6775F/NCT6771F") begins with the board's chip name.
    EXPECT_NE(r.Stdout.find(std::string("SIO TYPE ... [") + c.Chip), std::string::npos);

    std::vector<nlohmann::json> pin;
    nlohmann::json lastMode;
    std::istringstream in(TSubprocess::Slurp(dir.File("trace.jsonl")));
    for (std::string line; std::getline(in, line);) {
      const nlohmann::json event = nlohmann::json::parse(line);
      if (event["kind"] == "pin" && event["pin"] == c.Pin) pin.push_back(event);
      if (event["kind"] == "state" && event["state"].contains("config_mode")) lastMode = event;
    }
    // From its other function (or an idle input) to output low, then high.
    ASSERT_GE(pin.size(), 2u);
    const nlohmann::json& low = pin[pin.size() - 2];
    const nlohmann::json& high = pin.back();
    EXPECT_EQ(low["state"], "output_low");
    EXPECT_EQ(low["level"], 0);
    EXPECT_EQ(low["owner"], "sio");
    EXPECT_EQ(low["chip"], c.Chip);
    EXPECT_EQ(low["port"], 0x2E);
    EXPECT_EQ(high["state"], "output_high");
    EXPECT_EQ(high["level"], 1);
    EXPECT_GE(high["us"].get<std::uint64_t>() - low["us"].get<std::uint64_t>(), kDelayUs);
    for (std::size_t i = 0; i + 2 < pin.size(); ++i)
      EXPECT_NE(pin[i]["state"].get<std::string>().rfind("output", 0), 0u) << pin[i].dump();
    // The chip is locked at the end.
    ASSERT_FALSE(lastMode.is_null());
    EXPECT_EQ(lastMode["state"]["config_mode"], false);
    EXPECT_EQ(lastMode["device"], std::string("superio ") + c.Chip + " @0x2E");
  }
}

TEST(PinTestProcess, TheNCT6683DBoardRunsTheTestWithoutPins) {
  // The NCT6683D has no bank tables: the section's test runs, detection names the chip, and
  // no pin moves.
  TTempDir dir("pin-test");
  const TProcessResult r = RunStagedTool(dir, "nct6683d-demo.json");
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_NE(r.Stdout.find("SIO TYPE ... [NCT6683D]"), std::string::npos);
  EXPECT_NE(r.Stdout.find("m_ModelName ... [GavreloNCT6683D]"), std::string::npos) << r.Stdout;
  const std::string trace = TSubprocess::Slurp(dir.File("trace.jsonl"));
  EXPECT_FALSE(trace.empty());
  EXPECT_EQ(trace.find("\"kind\":\"pin\""), std::string::npos);
}

}  // namespace
