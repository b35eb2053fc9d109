// The executables against board files and without any: what an engineer sees.

#ifndef _WIN32  // /bin/sh command lines and the Linux back end; Windows: tests/wine

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "host/LinuxMachine.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kBin = GAVRELO_BIN_DIR;
const std::filesystem::path kBoards = std::filesystem::path(GAVRELO_SOURCE_DIR) / "boards";

struct TRun {
  int Exit = -1;
  std::string Out;
  std::string Err;
};

// Runs `command` under /bin/sh with the environment prefix `env`, capturing both streams.
TRun RunTool(const std::string& env, const std::string& command) {
  TTempDir dir;
  const std::string out = dir.File("out"), err = dir.File("err");
  const std::string line = "env -u GAVRELO_BOARD -u GAVRELO_TRACE " + env + " " + command + " >" +
                           out + " 2>" + err;
  TRun run;
  const int status = std::system(line.c_str());
  run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto slurp = [](const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  run.Out = slurp(out);
  run.Err = slurp(err);
  return run;
}

// gavrelo refuses to run while another process of the same executable name runs, so each
// test runs its own copy under a name of its own (other tests run gavrelo in parallel).
class TGavreloCopy {
 public:
  TGavreloCopy() {
    m_Path = m_Dir.File("gavrelo-hw-" + std::to_string(::getpid()));
    std::filesystem::copy_file(kBin + "/gavrelo", m_Path);
  }
  const std::string& Path() const { return m_Path; }

 private:
  TTempDir m_Dir;
  std::string m_Path;
};

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

const std::string kLoadError =
    "Driver cannot be loaded, re-install the program may fix the issue, if it happens again, "
    "report the problem with your system configuration as detail as possible.";

}  // namespace

TEST(ToolProcess, PciListOnTheQ35BoardShowsItsSixFunctions) {
  if (!std::filesystem::exists(kBoards / "../../shared/firmware/qemu-q35/ecam-bus0.bin")) {
    GTEST_SKIP() << "firmware images absent";
  }
  const TRun run = RunTool("GAVRELO_BOARD=" + (kBoards / "qemu-q35.json").string(), kBin + "/gavreloctl pci list");
  EXPECT_EQ(run.Exit, 0) << run.Err;
  EXPECT_EQ(run.Out,
            "00:00.0 8086:29c0 class 060000\n"
            "00:01.0 1234:1111 class 030000\n"
            "00:02.0 8086:10d3 class 020000\n"
            "00:1f.0 8086:2918 class 060100 multi-function\n"
            "00:1f.2 8086:2922 class 010601 multi-function\n"
            "00:1f.3 8086:2930 class 0c0500 multi-function\n");
}

TEST(ToolProcess, MemDumpWritesTheTraceAsJsonLines) {
  TTempDir dir;
  dir.Write("board.json", R"({"memory": [{"base": "0xF0000", "bytes": "24 43 4E 31 33 36 38 24", "size": 32}]})");
  const TRun run = RunTool("GAVRELO_TRACE=" + dir.File("trace.jsonl"),
                       kBin + "/gavreloctl --board " + dir.File("board.json") + " mem dump 0xF0000 20");
  EXPECT_EQ(run.Exit, 0) << run.Err;
  EXPECT_EQ(run.Out,
            "000f0000  24 43 4e 31 33 36 38 24 00 00 00 00 00 00 00 00  |$CN1368$........|\n"
            "000f0010  00 00 00 00                                      |....|\n");
  std::ifstream trace(dir.File("trace.jsonl"));
  std::vector<nlohmann::json> events;
  for (std::string line; std::getline(trace, line);) events.push_back(nlohmann::json::parse(line));
  // The run's header and end around the one memory request.
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0]["kind"], "header");
  EXPECT_EQ(events[0]["tool"], "gavreloctl");
  EXPECT_EQ(events[1]["kind"], "mem_read");
  EXPECT_EQ(events[1]["address"], 0xF0000);
  EXPECT_EQ(events[1]["length"], 20);
  EXPECT_EQ(events[1]["seq"], 2);
  EXPECT_EQ(events[2]["kind"], "end");
  EXPECT_EQ(events[2]["exit_code"], 0);

  // Outside the board's memory: "unreadable" lines and exit 1.
  const TRun gap = RunTool("", kBin + "/gavreloctl --board " + dir.File("board.json") + " mem dump 0xF0010 0x20");
  EXPECT_EQ(gap.Exit, 1);
  EXPECT_EQ(Count(gap.Out, "unreadable"), 1u) << gap.Out;

  // At the top of the 64-bit range: a range past it wraps and is refused as such; one that
  // ends on the last byte is dumped (nothing is there: unreadable).
  const std::string dump = kBin + "/gavreloctl --board " + dir.File("board.json") + " mem dump ";
  const TRun wraps = RunTool("", dump + "0xFFFFFFFFFFFFFFF0 0x11");
  EXPECT_EQ(wraps.Exit, 2);
  EXPECT_EQ(wraps.Out, "");
  EXPECT_NE(wraps.Err.find("wraps past the top of the 64-bit address space"), std::string::npos)
      << wraps.Err;
  const TRun top = RunTool("", dump + "0xFFFFFFFFFFFFFFF0 0x10");
  EXPECT_EQ(top.Exit, 1) << top.Err;
  EXPECT_EQ(top.Out, "fffffffffffffff0  unreadable\n");
}

TEST(ToolProcess, WithoutHardwareAccessTheLoaderSaysSoOnceAndTheRunEndsNormally) {
  std::string why;
  if (TLinuxMachine::Open(why)) GTEST_SKIP() << "this machine gives the Linux back end its interfaces";
  TGavreloCopy gavrelo;
  const TRun run = RunTool("", gavrelo.Path());
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(Count(run.Err, kLoadError), 1u) << run.Err;
  // With /DEBUG the console also says which interface failed.
  const TRun debug = RunTool("", gavrelo.Path() + " /DEBUG");
  EXPECT_EQ(debug.Exit, 0);
  EXPECT_EQ(Count(debug.Err, kLoadError), 1u);
  EXPECT_NE(debug.Out.find("TLoadDriver::Load"), std::string::npos) << debug.Out;
  EXPECT_NE(debug.Out.find("/dev/"), std::string::npos) << debug.Out;
}

TEST(ToolProcess, ABrokenBoardFileIsALoadFailureNamingTheFile) {
  TTempDir dir;
  dir.Write("bad.json", R"({"ports": [{"first": "0x80"}]})");
  TGavreloCopy gavrelo;
  const TRun run = RunTool("GAVRELO_BOARD=" + dir.File("bad.json"), gavrelo.Path() + " /DEBUG");
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(Count(run.Err, kLoadError), 1u) << run.Err;
  EXPECT_NE(run.Out.find("bad.json"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("ports[0]"), std::string::npos) << run.Out;
}

#endif
