// The start-up flow and the executables as real processes: exit codes, the single-instance
// rule between processes, timing of the pin test, the exception dialog on standard error.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

const std::string kDemoBoard = std::string(GAVRELO_SOURCE_DIR) + "/boards/demo.json";

// A copy of an executable in its own directory, under a file name no other test uses, so
// it takes a single-instance mutex of its own (the mutex is named after the file name).
class TStagedTool {
 public:
  explicit TStagedTool(const std::string& source) {
    m_Exe = m_Dir.File(m_Dir.Path().filename().string());
    fs::copy_file(source, m_Exe);
  }
  void WriteIni(const std::string& text) const { m_Dir.Write("Gavrelo.INI", text); }
  std::string Record() const { return TSubprocess::Slurp(m_Dir.File("record-" + m_Last)); }

  TSubprocess Start(const std::vector<std::string>& args, const std::string& tag = "run") {
    m_Last = tag;
    return TSubprocess(
        m_Exe, args,
        {{"GAVRELO_PROBE_RECORD", m_Dir.File("record-" + tag)}, {"GAVRELO_BOARD", kDemoBoard}},
        m_Dir.File("output-" + tag));
  }
  TProcessResult Run(const std::vector<std::string>& args = {}, const std::string& tag = "run") {
    return Start(args, tag).Wait();
  }

  const TTempDir& Dir() const { return m_Dir; }
  const std::string& Exe() const { return m_Exe; }

 private:
  TTempDir m_Dir{"gavrelo"};
  std::string m_Exe;
  std::string m_Last = "run";
};

// Events of a probe record without their time stamps; times in `times` when given.
std::vector<std::string> Events(const std::string& record, std::vector<long>* times = nullptr) {
  std::vector<std::string> events;
  std::istringstream in(record);
  for (std::string line; std::getline(in, line);) {
    std::size_t blank = line.find(' ');
    if (times) times->push_back(std::stol(line.substr(0, blank)));
    events.push_back(line.substr(blank + 1));
  }
  return events;
}

const std::vector<std::string> kRequests = {"ModelConfiguration", "ModelName", "ReadWrite",
                                            "BuildSuperIo"};

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(FlowProcess, PinGoesLowThenHighAtLeastTheDefaultDelayLater) {
  TStagedTool probe(GAVRELO_FLOWPROBE);
  probe.WriteIni("[GavreloDemo]\r\nTYPE=SIO_GPIO\r\nPIN=GPIO12\r\n");
  TProcessResult result = probe.Run();
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Stdout, "");
  EXPECT_EQ(result.Stderr, "");
  std::vector<long> times;
  auto events = Events(probe.Record(), &times);
  ASSERT_EQ(events, With(kRequests,
                         {"BuildSuperIo", "WriteGPIO 10 0x81", "Sleep 100", "WriteGPIO 10 0x82"}));
  EXPECT_GE(times[7] - times[5], 100);
}

TEST(FlowProcess, DelayThatIsNoIntegerShowsTheMessageLeavesThePinLowAndExitsZero) {
  for (const char* delay : {"abc", ""}) {
    TStagedTool probe(GAVRELO_FLOWPROBE);
    probe.WriteIni(std::string("[GavreloDemo]\nDelay=") + delay + "\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
    TProcessResult result = probe.Run();
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Stderr, "'" + std::string(delay) + "' is not a valid integer value\n");
    EXPECT_EQ(Events(probe.Record()), With(kRequests, {"BuildSuperIo", "WriteGPIO 10 0x81"}));
  }
}

TEST(FlowProcess, WithoutIniTheProcessEndsSilentlyAfterTheRequests) {
  TStagedTool probe(GAVRELO_FLOWPROBE);
  TProcessResult result = probe.Run();
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Stdout, "");
  EXPECT_EQ(result.Stderr, "");
  EXPECT_EQ(Events(probe.Record()), With(kRequests, {"EndProcess 0"}));
  // A lower-case /debug still opens the console; the console output is flushed although
  // the process ends from inside the flow.
  result = probe.Run({"/debug"}, "debug");
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Stdout, "m_ModelName ... [GavreloDemo]\n");
}

TEST(FlowProcess, SecondInstanceExitsAtOnceWhileTheFirstSleepsAndKillLeavesNothingStale) {
  TStagedTool probe(GAVRELO_FLOWPROBE);
  probe.WriteIni("[GavreloDemo]\nDelay=4000\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
  TSubprocess first = probe.Start({}, "first");
  // Wait until the first copy is inside its pause.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (probe.Record().find("Sleep 4000") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_NE(probe.Record().find("Sleep 4000"), std::string::npos);
  TProcessResult second = probe.Run({"/DEBUG"}, "second");
  EXPECT_EQ(second.ExitCode, 0);
  EXPECT_LT(second.Seconds, 2.0);
  EXPECT_EQ(probe.Record(), "");  // no request, no pin write
  EXPECT_EQ(second.Stdout, "");   // its console opened and lost at once
  // kill -9 during the pause: the pin stays low, and the name is free for the next copy.
  first.Kill();
  TProcessResult killed = first.Wait();
  EXPECT_EQ(killed.ExitCode, -1);
  probe.WriteIni("[GavreloDemo]\nDelay=5\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
  TProcessResult third = probe.Run({}, "third");
  EXPECT_EQ(third.ExitCode, 0);
  EXPECT_EQ(Events(probe.Record()),
            With(kRequests, {"BuildSuperIo", "WriteGPIO 10 0x81", "Sleep 5", "WriteGPIO 10 0x82"}));
}

TEST(ToolProcess, GavreloWithoutIniExitsZeroSilently) {
  TStagedTool tool(std::string(GAVRELO_BIN_DIR) + "/gavrelo");
  TProcessResult result = tool.Run();
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Stdout, "");
  EXPECT_EQ(result.Stderr, "");
  // With /DEBUG the console shows (at least) the model name line.
  result = tool.Run({"/DEBUG"}, "debug");
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_NE(result.Stdout.find("m_ModelName ... ["), std::string::npos) << result.Stdout;
}

TEST(ToolProcess, InstalledTreeWorksWhereverItIsCopied) {
  // The build tree is the installed layout: Bin/ with both executables and the sample INI.
  for (const char* file : {"gavrelo", "gavreloctl", "Gavrelo.INI"}) {
    EXPECT_TRUE(fs::exists(fs::path(GAVRELO_BIN_DIR) / file)) << file;
  }
  EXPECT_TRUE(fs::is_directory(fs::path(GAVRELO_BIN_DIR).parent_path() / "Conf"));
  TStagedTool tool(std::string(GAVRELO_BIN_DIR) + "/gavrelo");
  fs::copy_file(fs::path(GAVRELO_BIN_DIR) / "Gavrelo.INI", tool.Dir().File("Gavrelo.INI"));
  TProcessResult result = tool.Run();
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_FALSE(result.TimedOut);
}

TEST(ToolProcess, UsageAndVersionAloneTouchNoHardware) {
  // The demo board's model has a pin test: a run that did not stop at the request would
  // drive GPIO12 and leave a trace.
  TStagedTool tool(std::string(GAVRELO_BIN_DIR) + "/gavrelo");
  tool.WriteIni("[GavreloDemo]\r\nTYPE=SIO_GPIO\r\nPIN=GPIO12\r\nDelay=0\r\n");
  const std::string trace = tool.Dir().File("trace.jsonl");
  auto run = [&](const std::vector<std::string>& args) {
    fs::remove(trace);
    return RunProcess(tool.Exe(), args, {{"GAVRELO_BOARD", kDemoBoard}, {"GAVRELO_TRACE", trace}},
                      tool.Dir().File("output"));
  };
  for (const char* request : {"--help", "-h", "/?", "--version"}) {
    SCOPED_TRACE(request);
    const TProcessResult result = run({request});
    EXPECT_EQ(result.ExitCode, 0);
    const std::string first = std::string(request) == "--version" ? "gavrelo " : "Usage: gavrelo [/DEBUG]\n";
    EXPECT_EQ(result.Stdout.rfind(first, 0), 0u) << result.Stdout;
    EXPECT_EQ(result.Stderr, "");
    EXPECT_FALSE(fs::exists(trace)) << "no hardware access";
  }
  // Any other command line runs the tool as always.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help", "/DEBUG"}, {"-h", "-h"}, {"--HELP"}, {"/??"}, {"-help"}}) {
    SCOPED_TRACE(args[0]);
    const TProcessResult result = run(args);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Stdout.find("Usage"), std::string::npos);
    EXPECT_NE(TSubprocess::Slurp(trace).find("\"kind\":\"out\""), std::string::npos)
        << "the pin test ran";
  }
}

}  // namespace
