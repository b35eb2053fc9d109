// gavreloctl's command line: global options, exit codes and the gpio parse command.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

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

// Every command that needs the hardware, as gavreloctl arguments after the global options.
const std::vector<std::vector<std::string>> kHardwareCommands = {
    {"info"},       {"info", "--json"}, {"detect"},          {"sio", "read", "0x20"},
    {"sio", "write", "0x07", "0x0B"},   {"mem", "dump", "0xE0000"}, {"pci", "list"},
    {"script", "Local0= 5"}, {"gpio", "list"}, {"gpio", "set", "GPIO12=LOW"},
    {"snapshot", "/nonexistent-dir/snap.json"}, {"config"}, {"hwm"}};

TEST(Gavreloctl, ABoardFileThatDoesNotLoadIsNamedAndEveryHardwareCommandExits1) {
  TTempDir dir;
  const std::string badField = dir.Write("bad-field.json", R"({"ports": [{"first": "0xZZ", "values": "00"}]})");
  const std::string badJson = dir.Write("bad-json.json", "{\"ports\": [");
  const std::string missing = dir.File("missing.json");
  const std::size_t n = 100000;
  const std::string deep = dir.Write(
      "deep.json", "{\"ports\": [{\"first\": \"0x80\", \"values\": " + std::string(n, '[') +
                       std::string(n, ']') + "}]}");
  const std::vector<std::pair<std::string, std::string>> boards = {
      {missing, "missing.json: cannot be opened"},
      {deep, "deep.json: arrays and objects nested deeper than 64 levels"},
      {badJson, "bad-json.json: not valid JSON"},
      {badField, "bad-field.json: ports[0].first: not a number: \"0xZZ\""}};
  for (const auto& [board, reason] : boards) {
    for (const std::vector<std::string>& command : kHardwareCommands) {
      SCOPED_TRACE(board + " " + command[0]);
      std::vector<std::string> args = {"--board", board};
      args.insert(args.end(), command.begin(), command.end());
      const TProcessResult r = RunProcess(std::string(GAVRELO_BIN_DIR) + "/gavreloctl", args, {},
                                          dir.File("out"));
      EXPECT_EQ(r.ExitCode, 1);
      EXPECT_EQ(r.Stdout, "");  // no report of an absent machine
      EXPECT_NE(r.Stderr.find("gavreloctl: no hardware access: board file "), std::string::npos)
          << r.Stderr;
      EXPECT_NE(r.Stderr.find(reason), std::string::npos) << r.Stderr;
      EXPECT_EQ(r.Stderr.find("re-install"), std::string::npos) << r.Stderr;
    }
  }
  // (gavrelo itself keeps its way, the loader's text once and exit 0: ToolProcess tests.)
}

TEST(Gavreloctl, WithoutHardwareAccessEveryHardwareCommandSaysWhyAndExits1) {
  TTempDir dir;
  const std::string ctl = std::string(GAVRELO_BIN_DIR) + "/gavreloctl";
  // No board: the machine this test runs on, through the Linux back end (on Windows through
  // the kernel driver, which the loader cannot start here).
  const std::map<std::string, std::string> host = {{"GAVRELO_BOARD", ""}};
  if (RunProcess(ctl, {"pci", "list"}, host, dir.File("probe")).ExitCode == 0)
    GTEST_SKIP() << "this process has hardware access here";
  for (const std::vector<std::string>& command : kHardwareCommands) {
    SCOPED_TRACE(command[0]);
    const TProcessResult r = RunProcess(ctl, command, host, dir.File("out"));
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Stdout, "");
#ifdef _WIN32
    // The loader's steps, each with the system's error; its own dialog follows (the test
    // support closes it and appends its text).
    EXPECT_EQ(r.Stderr.rfind("gavreloctl: the access driver could not be opened: CreateFileA \\\\.\\OrvDrv101: error ", 0), 0u)
        << r.Stderr;
    EXPECT_NE(r.Stderr.find("ServiceA OrvDrv101: error "), std::string::npos) << r.Stderr;
#else
    // The interfaces the back end tried, each with the system's reason.
    EXPECT_EQ(r.Stderr.rfind("gavreloctl: no hardware access: ", 0), 0u) << r.Stderr;
    EXPECT_NE(r.Stderr.find("/dev/mem: "), std::string::npos) << r.Stderr;
    EXPECT_EQ(r.Stderr.find("re-install"), std::string::npos) << r.Stderr;
#endif
  }
  // Commands without hardware still work.
  EXPECT_EQ(RunProcess(ctl, {"gpio", "parse", "GPIO12=LOW"}, host, dir.File("out")).ExitCode, 0);
}

TEST(Gavreloctl, DebugTraceGoesToStandardErrorWhenTheOutputIsJson) {
  static TTempDir dir;
  const std::string ctl = std::string(GAVRELO_BIN_DIR) + "/gavreloctl";
  const std::string board = std::string(GAVRELO_SOURCE_DIR) + "/boards/demo.json";
  const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
      {{"--debug", "info", "--json"}, "Model Name ... [GavreloDemo]\n"},
      {{"info", "--json", "--debug"}, "Model Name ... [GavreloDemo]\n"},
      {{"--debug", "detect", "--json"}, "superio ... [0]\n"}};
  for (auto [args, traceLine] : runs) {
    SCOPED_TRACE(args[1]);
    args.insert(args.begin(), {"--board", board});
    const TProcessResult r = RunProcess(ctl, args, {}, dir.File("json"));
    EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
    EXPECT_FALSE(nlohmann::json::parse(r.Stdout, nullptr, false).is_discarded()) << r.Stdout;
    EXPECT_NE(r.Stderr.find(traceLine), std::string::npos) << r.Stderr;
  }
  // Without --json the trace stays on standard output, in order with the report.
  const TProcessResult text = RunProcess(ctl, {"--board", board, "--debug", "detect"}, {}, dir.File("text"));
  EXPECT_EQ(text.Stdout.rfind("superio ... [0]\n", 0), 0u) << text.Stdout;
  EXPECT_EQ(text.Stderr, "");
}

}  // namespace
