// gavreloctl snapshot as a real process against board files: the snapshot of a virtual
// board, loaded as a board of its own, shows what the original showed; taking it writes
// nothing but the Super I/O index and logical-device select registers; a read that fails
// leaves no board file.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kCtl = std::string(GAVRELO_BIN_DIR) + "/gavreloctl";

TProcessResult Ctl(const TTempDir& dir, const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env = {}) {
  return RunProcess(kCtl, args, env, dir.File("run"));
}

TEST(CtlSnapshot, TheSnapshotOfABoardShowsWhatTheBoardShowed) {
  TTempDir dir;
  const std::string original = std::string(GAVRELO_SOURCE_DIR) + "/boards/demo.json";
  const std::string snapshot = dir.File("demo.json");
  const TProcessResult taken = Ctl(dir, {"--board", original, "snapshot", snapshot},
                                   {{"GAVRELO_TRACE", dir.File("trace.jsonl")}});
  ASSERT_EQ(taken.ExitCode, 0) << taken.Stderr;
  ASSERT_TRUE(std::filesystem::exists(dir.Path() / "demo-images" / "pci-00-1f.0.bin"));

  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"info"}, {"pci", "list"}, {"detect"},
        {"sio", "read", "0x30", "--ldn", "0x07"},
        {"script", "rdmsr 0x1b", "cpuid 1", "dmem 0xf0000 0x40"}}) {
    std::vector<std::string> onOriginal{"--board", original}, onSnapshot{"--board", snapshot};
    onOriginal.insert(onOriginal.end(), command.begin(), command.end());
    onSnapshot.insert(onSnapshot.end(), command.begin(), command.end());
    const TProcessResult want = Ctl(dir, onOriginal);
    const TProcessResult got = Ctl(dir, onSnapshot);
    ASSERT_EQ(want.ExitCode, 0) << command[0] << ": " << want.Stderr;
    EXPECT_EQ(got.ExitCode, 0) << command[0] << ": " << got.Stderr;
    EXPECT_EQ(got.Stdout, want.Stdout) << command[0];
  }

  // The only writes: configuration index and logical-device select at the configuration
  // ports (the chips' unlock and lock keys included), and the PCI mechanism's address port. No configuration,
  // memory or register write.
  std::ifstream trace(dir.File("trace.jsonl"));
  std::string line;
  unsigned lastIndex = 0xFFFF, configWrites = 0;
  while (std::getline(trace, line)) {
    const auto event = nlohmann::json::parse(line);
    const std::string kind = event["kind"];
    EXPECT_TRUE(kind != "pci_write" && kind != "mem_write" && kind != "wrmsr" && kind != "cr_write") << line;
    if (kind != "out") continue;
    const unsigned port = event["port"];
    if (port == 0xCF8) continue;
    ASSERT_TRUE(port == 0x2E || port == 0x2F || port == 0x4E || port == 0x4F) << line;
    if (port == 0x2E || port == 0x4E) {
      lastIndex = event["value"];
    } else if (lastIndex == 0x02 && event["value"] == 0x02) {
      // ITE's lock key: bit 1 written to register 0x02 (the detection pass's probes).
    } else {
      EXPECT_EQ(lastIndex, 0x07u) << "a data-port write to register " << lastIndex << ": " << line;
      ++configWrites;
    }
  }
  EXPECT_GT(configWrites, 0u);  // the logical devices were selected
}

TEST(CtlSnapshot, AReadThatFailsLeavesNoBoardFile) {
  TTempDir dir;
  std::string board;
  {
    std::ifstream in(std::string(GAVRELO_SOURCE_DIR) + "/boards/demo.json");
    std::stringstream text;
    text << in.rdbuf();
    auto json = nlohmann::json::parse(text.str());
    json["faults"] = {{"memory", {{{"base", "0xF0000"}, {"size", "0x1000"}}}}};
    board = dir.Write("faulty.json", json.dump());
  }
  const TProcessResult run = Ctl(dir, {"--board", board, "snapshot", dir.File("out.json")});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Stderr.find("0xF0000"), std::string::npos) << run.Stderr;
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.json")));
}

}  // namespace
