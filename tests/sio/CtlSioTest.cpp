// gavreloctl detect / sio read / sio write as real processes against the board files.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "SioTestBoard.h"

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

}  // namespace
