// gavreloctl script as an engineer runs it: the executable against a board file.

#ifndef _WIN32  // the runs are /bin/sh command lines

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/TempDir.h"

namespace {

const std::string kCtl = std::string(GAVRELO_BIN_DIR) + "/gavreloctl";
const std::string kBoard = std::string(GAVRELO_SOURCE_DIR) + "/boards/demo.json";

struct TRun {
  int Exit = -1;
  std::string Out;
};

// Runs gavreloctl with `arguments` (shell syntax), `input` on standard input.
TRun Ctl(const std::string& arguments, const std::string& input = "",
         const std::string& board = kBoard) {
  TTempDir dir;
  const std::string in = dir.Write("in", input), out = dir.File("out");
  const std::string line = "env -u GAVRELO_BOARD -u GAVRELO_TRACE " + kCtl + " --board " + board +
                           " script " + arguments + " <" + in + " >" + out + " 2>/dev/null";
  const int status = std::system(line.c_str());
  TRun run;
  run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream file(out);
  std::stringstream text;
  text << file.rdbuf();
  run.Out = text.str();
  return run;
}

TEST(CtlScript, TextsShareTheirVariables) {
  const TRun run = Ctl("\"Local0= 5\" \"Local0=\" \"Local1=add(Local0,3)\"");
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(run.Out,
            "Local0 = 0x00000005 (5)\nLocal00 = 0x00000005 (5)\nAdd (0x5, 0x3) = 0x00000008\n");
}

TEST(CtlScript, OutputLinesFailuresAndStandardInput) {
  // Output lines follow the status line; a failing text stops the run with exit code 1.
  TRun run = Ctl("\"cpuid 0\" \"frob 1\" \"o 0x80 1\"");
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Out,
            "CPUID 0x0\n"
            "                 31    24 23    16 15     8 7      0\n"
            "EAX = 0x00000016 00000000-00000000-00000000-00010110\n"
            "EBX = 0x756E6547 01110101-01101110-01100101-01000111\n"
            "ECX = 0x6C65746E 01101100-01100101-01110100-01101110\n"
            "EDX = 0x49656E69 01001001-01100101-01101110-01101001\n"
            "Unknown command!\n");

  // One script per line from standard input; the budget ends an endless loop.
  run = Ctl("--max-statements 100 -", "Local2= 7\r\nLOOP{0 o 0x80 1}\nLocal2=\n");
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Out, "Local2 = 0x00000007 (7)\nStatement budget exhausted!\n");

  // Without texts: the console, which goes on after an error and ends at "exit".
  run = Ctl("", "Local3= 9\nbad\nLocal3=\nexit\nLocal3= 1\n");
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(run.Out, "Local3 = 0x00000009 (9)\nCommand error!\nLocal03 = 0x00000009 (9)\n");
}

TEST(CtlScript, ExtendedConfigurationSpaceThroughTheMcfgBase) {
  // The q35 board's PCI Express window is known only from its MCFG table: the script
  // command reads the board description first, as the tool's start-up does.
  if (!std::filesystem::exists(std::string(GAVRELO_SOURCE_DIR) + "/../shared/firmware/qemu-q35"))
    GTEST_SKIP() << "../shared/firmware/qemu-q35 is absent";
  const TRun run = Ctl("\"ERPCIE32 0x10 0x100\"", "",
                       std::string(GAVRELO_SOURCE_DIR) + "/boards/qemu-q35.json");
  EXPECT_EQ(run.Exit, 0);
  // 00:02.0 (the e1000e) has its AER capability header at 0x100.
  EXPECT_EQ(run.Out, "Read PCIE Bus/Dev/Fun/Offset 0x00/0x02/0x00/0x00 = 0x14020001\n");
}

}  // namespace

#endif
