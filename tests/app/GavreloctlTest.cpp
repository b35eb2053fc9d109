// gavreloctl's command line: global options, exit codes and the gpio parse command.

#include <gtest/gtest.h>

#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

TProcessResult Ctl(const std::vector<std::string>& args) {
  static TTempDir dir;
  return RunProcess(std::string(GAVRELO_BIN_DIR) + "/gavreloctl", args, {}, dir.File("ctl"));
}

TEST(Gavreloctl, GpioParsePrintsWhatThePinModelDerives) {
  TProcessResult r = Ctl({"gpio", "parse", "gpio12=input_high"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Stdout, "GPIO12=INPUT_HIGH: pin 10, mode 0x42, Input High\n");
  r = Ctl({"gpio", "parse", "GPIO12=Low,GPIO19=high", "x::y", "GPIO12=foo"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Stdout,
            "GPIO12=LOW: pin 10, mode 0x81, Output Low\n"
            "GPIO19=HIGH: pin 17, mode 0x82, Output High\n"
            "X::Y: accepted, no effect (contains \"::\")\n"
            "GPIO12=FOO: pin 10, mode 0x13, Not GPIO\n");
  r = Ctl({"gpio", "parse", "--naming", "decimal", "--offset", "3", "GPIO23=LOW", "GPIO2=LOW"});
  EXPECT_EQ(r.ExitCode, 1);  // one setting was rejected
  EXPECT_EQ(r.Stdout,
            "GPIO23=LOW: pin 20, mode 0x81, Output Low\n"
            "GPIO2=LOW: rejected: the pin number gives index 255, which is no pin\n");
  r = Ctl({"gpio", "parse", "GPIOA3=LOW", "GPIO12", "PIN12=LOW", ""});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout,
            "GPIOA3=LOW: rejected: the bank after GPIO must be a decimal digit\n"
            "GPIO12: rejected: there is no \"=\" and state word\n"
            "PIN12=LOW: rejected: the setting does not start with GPIO\n"
            "\"\": rejected: empty setting\n");
}

TEST(Gavreloctl, ExitCodesForHelpVersionAndUsageErrors) {
  for (auto args : std::vector<std::vector<std::string>>{
           {"--help"}, {"gpio", "--help"}, {"gpio", "parse", "--help"}, {"--version"}}) {
    TProcessResult r = Ctl(args);
    EXPECT_EQ(r.ExitCode, 0) << args.back();
    EXPECT_FALSE(r.Stdout.empty());
  }
  for (auto args :
       std::vector<std::vector<std::string>>{{},
                                             {"nosuchcommand"},
                                             {"gpio"},
                                             {"gpio", "parse"},
                                             {"gpio", "parse", "--naming", "octal", "GPIO1=LOW"},
                                             {"gpio", "parse", "--offset", "ten", "GPIO1=LOW"},
                                             {"--board"},
                                             {"--bogus", "gpio", "parse", "GPIO1=LOW"}}) {
    TProcessResult r = Ctl(args);
    EXPECT_EQ(r.ExitCode, 2) << (args.empty() ? "" : args.back());
    EXPECT_FALSE(r.Stderr.empty());
  }
}

TEST(Gavreloctl, BoardOptionIsTheSameAsTheEnvironmentVariableBeforeOrAfterTheCommand) {
  static TTempDir dir;
  const std::string ctl = std::string(GAVRELO_BIN_DIR) + "/gavreloctl";
  const std::string board = std::string(GAVRELO_SOURCE_DIR) + "/boards/demo.json";
  TProcessResult byEnvironment =
      RunProcess(ctl, {"pci", "list"}, {{"GAVRELO_BOARD", board}}, dir.File("env"));
  ASSERT_EQ(byEnvironment.ExitCode, 0) << byEnvironment.Stderr;
  ASSERT_FALSE(byEnvironment.Stdout.empty());
  for (auto args : std::vector<std::vector<std::string>>{{"--board", board, "pci", "list"},
                                                         {"pci", "list", "--board", board}}) {
    TProcessResult r = RunProcess(ctl, args, {{"GAVRELO_BOARD", "/nonexistent/board.json"}},
                                  dir.File("opt"));
    EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
    EXPECT_EQ(r.Stdout, byEnvironment.Stdout);
  }
  TProcessResult r = Ctl({"--debug", "gpio", "parse", "GPIO12=LOW"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Stdout, "GPIO12=LOW: pin 10, mode 0x81, Output Low\n");
}

}  // namespace
