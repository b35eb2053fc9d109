// gavreloctl detect / sio read / sio write as real processes against the board files.

#ifndef _WIN32  // the runs are /bin/sh command lines

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "SioTestBoard.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

struct TRun {
  int Exit = -1;
  std::string Out;
};

TRun Ctl(const std::string& args) {
  const std::string command = std::string(GAVRELO_BIN_DIR) + "/gavreloctl " + args + " 2>/dev/null";
  TRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.Out.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string OnBoard(const std::string& board, const std::string& args) {
  return "--board " + BoardFile(board) + " " + args;
}

TEST(CtlSioTest, DetectNamesTheChipOfEveryBoard) {
  const std::vector<std::pair<std::string, std::string>> boards = {
      {"sio-W.json", "NCT6791D"},       {"sio-WM.json", "W83627UHG"},
      {"sio-W8.json", "W83627EHF/EHG"}, {"sio-I.json", "IT8712F"},
      {"sio-I2.json", "IT8720F"},       {"sio-E.json", "IT8512E"},
      {"sio-S.json", "SMSC LPC47M15x/LPC47M192"},
      {"sio-F.json", "FinTek F71882/F71883"},
      {"sio-dual.json", "W83627DHG"},  {"demo.json", "W83627UHG"}};
  for (const auto& [board, chip] : boards) {
    SCOPED_TRACE(board);
    const TRun run = Ctl(OnBoard(board, "detect --json"));
    ASSERT_EQ(run.Exit, 0) << run.Out;
    const nlohmann::json report = nlohmann::json::parse(run.Out);
    EXPECT_EQ(report["matches"].back()["full_name"], chip);
    EXPECT_FALSE(report["build"]["devices"].empty());
    EXPECT_TRUE(report["left_unlocked"].empty()) << report["left_unlocked"].dump();
  }
}

TEST(CtlSioTest, DetectReportsClassMonitorAndDevices) {
  const TRun run = Ctl(OnBoard("sio-WM.json", "detect --json"));
  ASSERT_EQ(run.Exit, 0);
  const nlohmann::json report = nlohmann::json::parse(run.Out);
  ASSERT_EQ(report["matches"].size(), 1u);
  const nlohmann::json& match = report["matches"][0];
  EXPECT_EQ(match["port"], 0x2E);
  EXPECT_EQ(match["vendor"], "Winbond");
  EXPECT_EQ(match["family"], 0x103);
  EXPECT_EQ(match["class"], "TW83627UHG");
  EXPECT_EQ(report["current_config_port"], 0x2E);
  const nlohmann::json& build = report["build"];
  EXPECT_EQ(build["hwm_base"], 0x290);
  EXPECT_EQ(build["devices"].size(), 15u);
  for (const auto& device : build["devices"]) {
    if (device["ldn"] != 0x0B) continue;
    EXPECT_EQ(device["name"], "Hardware Monitor");
    EXPECT_EQ(device["activation"], 0x01);
  }

  const TRun text = Ctl(OnBoard("sio-dual.json", "detect"));
  EXPECT_EQ(text.Exit, 0);
  EXPECT_NE(text.Out.find("Port 0x2E: NCT6776F (vendor Nuvoton) family 0x201 class TNCT6776Sio"),
            std::string::npos)
      << text.Out;
  EXPECT_NE(text.Out.find("Port 0x4E: W83627DHG (vendor Winbond) family 0x102"), std::string::npos);
  EXPECT_NE(text.Out.find("CurrentConfigPort after detection: 0x004E"), std::string::npos);
  EXPECT_NE(text.Out.find("HwmBase 0x0290"), std::string::npos);
}

TEST(CtlSioTest, ReadAndWriteRegisters) {
  TRun run = Ctl(OnBoard("sio-WM.json", "sio read 0x20"));
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(run.Out, "0xA2\n");
  run = Ctl(OnBoard("sio-WM.json", "sio read 0x61 --ldn 0x0B"));
  EXPECT_EQ(run.Out, "0x90\n");
  run = Ctl(OnBoard("sio-I.json", "sio read 33"));
  EXPECT_EQ(run.Out, "0x12\n");
  EXPECT_EQ(Ctl(OnBoard("sio-WM.json", "sio write 0x2C 0x12")).Exit, 0);
  EXPECT_EQ(Ctl(OnBoard("sio-WM.json", "sio write 0x30 1 --ldn 9")).Exit, 0);
  // Bad numbers are usage errors and touch nothing.
  EXPECT_EQ(Ctl(OnBoard("sio-WM.json", "sio read 0x100")).Exit, 2);
  EXPECT_EQ(Ctl(OnBoard("sio-WM.json", "sio read 0x20 --ldn x")).Exit, 2);
  EXPECT_EQ(Ctl(OnBoard("sio-WM.json", "sio write 0x20 256")).Exit, 2);
  EXPECT_EQ(Ctl(OnBoard("sio-WM.json", "sio write 0x20")).Exit, 2);
}

// The chips in configuration mode at the end of a run, from the state events of its trace.
std::vector<std::string> UnlockedAtEnd(const std::string& traceLog) {
  std::map<std::string, bool> open;
  std::istringstream in(traceLog);
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json event = nlohmann::json::parse(line);
    if (event["kind"] == "state" && event["state"].contains("config_mode"))
      open[event["device"]] = event["state"]["config_mode"];
  }
  std::vector<std::string> names;
  for (const auto& [name, unlocked] : open)
    if (unlocked) names.push_back(name);
  return names;
}

TEST(CtlSioTest, TwoChipBoardsOfEveryGroupPairEndLocked) {
  // detect, sio read at each port and a gavrelo run (no INI beside this copy: it ends right
  // after Build(0x2E)) on boards with two chips of different script groups. Every chip ends
  // locked, and each port's register reads come from its own chip.
  TTempDir dir("gavrelo-sio");
  const std::string gavrelo = dir.File(dir.Path().filename().string());  // a mutex of its own
  std::filesystem::copy_file(std::string(GAVRELO_BIN_DIR) + "/gavrelo", gavrelo);
  const std::string ctl = std::string(GAVRELO_BIN_DIR) + "/gavreloctl";
  for (const TChipGroup& at2E : ChipGroups()) {
    for (const TChipGroup& at4E : ChipGroups()) {
      if (&at2E == &at4E) continue;
      SCOPED_TRACE(std::string(at2E.Group) + " at 0x2E, " + at4E.Group + " at 0x4E");
      const std::string board = dir.Write("board.json", TwoChipBoard(at2E, at4E).dump());
      const std::string trace = dir.File("trace.jsonl");
      const std::map<std::string, std::string> env = {{"GAVRELO_TRACE", trace}};
      const std::string out = dir.File("out");

      TProcessResult run = RunProcess(ctl, {"--board", board, "detect", "--json"}, env, out);
      ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
      const nlohmann::json report = nlohmann::json::parse(run.Stdout);
      EXPECT_TRUE(report["left_unlocked"].empty()) << report["left_unlocked"].dump();
      EXPECT_EQ(report["build"]["chip"], at2E.Row);
      EXPECT_EQ(report["build"]["hwm_base"], 0x0290);
      EXPECT_EQ(UnlockedAtEnd(TSubprocess::Slurp(trace)), std::vector<std::string>{});
      if (at4E.FoundAt4E) {
        ASSERT_EQ(report["builds"].size(), 2u);
        EXPECT_EQ(report["builds"][1]["chip"], at4E.Row);
        EXPECT_EQ(report["builds"][1]["hwm_base"], 0x0A30);
      }

      for (const TChipGroup* group : {&at2E, &at4E}) {
        const bool second = group == &at4E;
        run = RunProcess(ctl, {"--board", board, "sio", "read", "0x20", "--port", second ? "0x4E" : "0x2E"},
                         env, out);
        if (second && !group->FoundAt4E) {
          EXPECT_EQ(run.ExitCode, 1);
          EXPECT_EQ(run.Stdout, "");
          EXPECT_EQ(run.Stderr, "sio: no Super I/O chip detected at port 0x4E\n");
        } else {
          EXPECT_EQ(run.ExitCode, 0);
          EXPECT_EQ(run.Stdout, "0x" + std::string(group->Id).substr(0, 2) + "\n");
          EXPECT_EQ(run.Stderr, "");  // no chip left in configuration mode
        }
        EXPECT_EQ(UnlockedAtEnd(TSubprocess::Slurp(trace)), std::vector<std::string>{});
      }

      run = RunProcess(gavrelo, {}, {{"GAVRELO_TRACE", trace}, {"GAVRELO_BOARD", board}}, out);
      EXPECT_EQ(run.ExitCode, 0);
      const std::string log = TSubprocess::Slurp(trace);
      EXPECT_NE(log.find("\"port\":78"), std::string::npos);  // the run did probe 0x4E
      EXPECT_EQ(UnlockedAtEnd(log), std::vector<std::string>{});
    }
  }
}

}  // namespace

#endif
