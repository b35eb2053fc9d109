// The end-to-end matrix: the installed tree's executables as real processes, as a user meets
// them — every demo board's pin test, the INI cases, two copies at once, a machine without
// hardware access, and the Debian package unpacked into a scratch root.
//
// Where the tree is and how its executables start comes from the environment, so the same
// matrix runs a Windows build under Wine (docs/end-to-end.md):
//   GAVRELO_E2E_ROOT         the installed tree (default: the build's fixture tree)
//   GAVRELO_E2E_LAUNCHER     words put before each executable ("wine"), looked up in PATH
//   GAVRELO_E2E_CONSOLE      words put before the launcher for runs of gavrelo, whose console
//                            the matrix reads (the pseudo-terminal helper e2e_pty)
//   GAVRELO_E2E_EXE_SUFFIX   appended to executable names (".exe")
//   GAVRELO_E2E_PATH_PREFIX  put before every absolute path handed to the tool ("Z:")
//   GAVRELO_E2E_PACKAGE      the directory holding the .deb (default: the build's fixture)

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "tests/support/Subprocess.h"

namespace {

namespace fs = std::filesystem;

const char kLoadError[] = "Driver cannot be loaded, re-install the program may fix the issue";

std::string Env(const char* name, const std::string& fallback = "") {
  const char* value = std::getenv(name);
  return value != nullptr && *value != 0 ? value : fallback;
}

struct TSetup {
  std::string Root = Env("GAVRELO_E2E_ROOT", GAVRELO_E2E_DEFAULT_ROOT);
  std::string Suffix = Env("GAVRELO_E2E_EXE_SUFFIX");
  std::string PathPrefix = Env("GAVRELO_E2E_PATH_PREFIX");
  std::string Package = Env("GAVRELO_E2E_PACKAGE", GAVRELO_E2E_DEFAULT_PACKAGE);
  std::vector<std::string> Launcher;
  std::vector<std::string> Console;

  TSetup() {
    std::istringstream words(Env("GAVRELO_E2E_LAUNCHER"));
    for (std::string word; words >> word;) Launcher.push_back(word);
    std::istringstream console(Env("GAVRELO_E2E_CONSOLE"));
    for (std::string word; console >> word;) Console.push_back(word);
    if (!Launcher.empty() && Launcher[0].find('/') == std::string::npos) {
      std::istringstream path(Env("PATH"));
      for (std::string dir; std::getline(path, dir, ':');)
        if (fs::exists(fs::path(dir) / Launcher[0])) {
          Launcher[0] = (fs::path(dir) / Launcher[0]).string();
          break;
        }
    }
  }
  // A path as the tool is handed it.
  std::string ToolPath(const std::string& path) const { return PathPrefix + path; }
};

const TSetup& Tree() {
  static const TSetup setup;
  return setup;
}

// Starts an executable through the launcher, if any; `console`: through the console's
// words before that.
TSubprocess Start(const std::string& exe, const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env, const std::string& output,
                  bool console = false) {
  std::vector<std::string> launcher = console ? Tree().Console : std::vector<std::string>();
  launcher.insert(launcher.end(), Tree().Launcher.begin(), Tree().Launcher.end());
  if (launcher.empty()) return TSubprocess(exe, args, env, output);
  std::vector<std::string> all(launcher.begin() + 1, launcher.end());
  all.push_back(exe);
  all.insert(all.end(), args.begin(), args.end());
  return TSubprocess(launcher[0], all, env, output);
}

// A fresh directory, readable by every user, removed at the end: by default under the
// build's e2e work area (the same file system as the tree, so executables can be
// hard-linked).
class TWorkDir {
 public:
  explicit TWorkDir(const std::string& name, const std::string& base = GAVRELO_E2E_WORK) {
    fs::create_directories(base);
    std::string pattern = base + "/" + name + "-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) m_Path = pattern;
    ::chmod(m_Path.c_str(), 0755);
  }
  ~TWorkDir() {
    std::error_code ignored;
    fs::remove_all(m_Path, ignored);
  }
  const std::string& Path() const { return m_Path; }
  std::string File(const std::string& name) const { return m_Path + "/" + name; }

 private:
  std::string m_Path;
};

// A copy of the installed tree's Bin/, Conf/ and _Conf/ with gavrelo under a name of its own
// (its single-instance guard is named after the file name, so tests running at the same
// time never refuse each other) and the INI the test wants.
class TStagedTree {
 public:
  explicit TStagedTree(const std::string& name, const std::string& base = GAVRELO_E2E_WORK) : m_Dir(name, base) {
    const fs::path root = Tree().Root;
    fs::create_directories(m_Dir.File("Bin"));
    for (const char* conf : {"Conf", "_Conf"})
      fs::copy(root / conf, m_Dir.File(conf), fs::copy_options::recursive);
    fs::copy_file(root / "Bin" / "Gavrelo.INI", Ini());
    m_Exe = m_Dir.File("Bin/" + fs::path(m_Dir.Path()).filename().string() + Tree().Suffix);
    std::error_code linkFailed;
    fs::create_hard_link(root / "Bin" / ("gavrelo" + Tree().Suffix), m_Exe, linkFailed);
    if (linkFailed) fs::copy_file(root / "Bin" / ("gavrelo" + Tree().Suffix), m_Exe);
  }
  std::string Ini() const { return m_Dir.File("Bin/Gavrelo.INI"); }
  void WriteIni(const std::string& text) const {
    fs::remove(Ini());
    std::ofstream(Ini(), std::ios::binary) << text;
  }
  void RemoveIni() const { fs::remove(Ini()); }
  const std::string& Exe() const { return m_Exe; }
  const TWorkDir& Dir() const { return m_Dir; }

  TSubprocess Start(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                    const std::string& tag = "run") const {
    return ::Start(m_Exe, args, env, m_Dir.File("output-" + tag), true);
  }
  TProcessResult Run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                     const std::string& tag = "run") const {
    return Start(args, env, tag).Wait(std::chrono::seconds(60));
  }

 private:
  TWorkDir m_Dir;
  std::string m_Exe;
};

TProcessResult Ctl(const std::vector<std::string>& args, const std::string& output) {
  return Start(Tree().Root + "/Bin/gavreloctl" + Tree().Suffix, args, {}, output).Wait(std::chrono::seconds(60));
}

std::vector<nlohmann::json> ReadTrace(const std::string& path) {
  std::vector<nlohmann::json> events;
  std::istringstream in(TSubprocess::Slurp(path));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    EXPECT_TRUE(event.is_object()) << "not a JSON object: " << line;
    if (event.is_object()) events.push_back(event);
  }
  return events;
}

// The pin events of the Super I/O pin `pin`.
std::vector<nlohmann::json> PinEvents(const std::vector<nlohmann::json>& events, const std::string& pin) {
  std::vector<nlohmann::json> out;
  for (const auto& e : events)
    if (e.value("kind", "") == "pin" && e.value("owner", "") == "sio" && e.value("pin", "") == pin) out.push_back(e);
  return out;
}

std::vector<nlohmann::json> Decisions(const std::vector<nlohmann::json>& events, const std::string& what) {
  std::vector<nlohmann::json> out;
  for (const auto& e : events)
    if (e.value("kind", "") == "decision" && e.value("what", "") == what) out.push_back(e);
  return out;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The keys of one section of an INI file, read plainly (names without regard to case), so
// the matrix knows what the tree's INI asks for without asking the tool.
std::map<std::string, std::string> IniSection(const std::string& path, const std::string& section) {
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  auto trim = [](std::string text) {
    const auto first = text.find_first_not_of(" \t\r");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  };
  std::map<std::string, std::string> keys;
  bool inside = false;
  bool seen = false;
  std::istringstream in(TSubprocess::Slurp(path));
  for (std::string line; std::getline(in, line);) {
    line = trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const bool match = lower(trim(line.substr(1, line.find(']') - 1))) == lower(section) && !seen;
      seen = seen || match;
      inside = match;
      continue;
    }
    const auto equals = line.find('=');
    if (inside && equals != std::string::npos) keys[lower(trim(line.substr(0, equals)))] = trim(line.substr(equals + 1));
  }
  return keys;
}

// The console lines `gavrelo /DEBUG` shows, in this order, from the configuration paths to
// the Super I/O vendor; other lines may come between them.
void ExpectConsoleInOrder(const std::string& console, const std::string& model) {
  const std::vector<std::string> wanted = {
      "TOrvKtaConfig::m_XmlFileName ... [",      "RawProjectName ... [" + model + "]",
      "TOrvModelConfig::ModelName ... [" + model + "]", "BuildAcpiTable ... [Table = ",
      "Model Name ... [" + model + "]",          "m_ModelName ... [" + model + "]",
      "superio ... [0]",                         "SIO TYPE ... [",
  };
  std::istringstream in(console);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::size_t at = 0;
  for (const std::string& prefix : wanted) {
    while (at < lines.size() && lines[at].rfind(prefix, 0) != 0) ++at;
    ASSERT_LT(at, lines.size()) << "no line starting \"" << prefix << "\" in its place:\n" << console;
    ++at;
  }
  // The detected chip's vendor line follows its SIO TYPE line.
  ASSERT_LT(at, lines.size());
  EXPECT_TRUE(lines[at] == "Winbond" || lines[at] == "Nuvoton") << lines[at];
}

// The end event: exit code 0 and every chip locked again.
void ExpectOrderlyEnd(const std::vector<nlohmann::json>& events) {
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().value("kind", ""), "header");
  const nlohmann::json& end = events.back();
  EXPECT_EQ(end.value("kind", ""), "end");
  EXPECT_EQ(end.value("exit_code", -1), 0);
  EXPECT_EQ(end["left_unlocked"], nlohmann::json::array()) << end.dump();
}

// The pin test as the trace shows it: `pin` driven low, at least `delayMs` of pause, high.
void ExpectLowPauseHigh(const std::vector<nlohmann::json>& events, const std::string& pin, long delayMs) {
  const std::vector<nlohmann::json> changes = PinEvents(events, pin);
  ASSERT_GE(changes.size(), 2u) << "the pin never moved";
  const nlohmann::json& low = changes[changes.size() - 2];
  const nlohmann::json& high = changes.back();
  EXPECT_EQ(low.value("state", ""), "output_low");
  EXPECT_EQ(low.value("level", -1), 0);
  EXPECT_EQ(high.value("state", ""), "output_high");
  EXPECT_EQ(high.value("level", -1), 1);
  EXPECT_GE(high.value("us", 0LL) - low.value("us", 0LL), delayMs * 1000);
  const auto pause = Decisions(events, "pause");
  const auto pauseEnd = Decisions(events, "pause_end");
  ASSERT_EQ(pause.size(), 1u);
  ASSERT_EQ(pauseEnd.size(), 1u);
  EXPECT_LT(low.value("seq", 0), pause[0].value("seq", 0));
  EXPECT_GT(high.value("seq", 0), pauseEnd[0].value("seq", 0));
}

TEST(EndToEnd, EveryDemoBoardRunsItsSectionsPinTest) {
  const fs::path boards = fs::path(Tree().Root) / "share/gavrelo/boards";
  ASSERT_TRUE(fs::is_directory(boards)) << boards;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(boards)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  int pinTests = 0;
  int noPinMap = 0;
  int otherSections = 0;
  for (const fs::path& board : files) {
    SCOPED_TRACE(board.filename().string());
    TWorkDir work("board");
    const TProcessResult info = Ctl({"--board", Tree().ToolPath(board.string()), "info", "--json"}, work.File("info"));
    ASSERT_EQ(info.ExitCode, 0) << info.Stderr;
    const std::string model = nlohmann::json::parse(info.Stdout).value("model_name", "");
    const auto keys = IniSection(Tree().Root + "/Bin/Gavrelo.INI", model);
    if (keys.empty()) continue;  // no section: a board of the detection tests, not a demo board

    TStagedTree tree("board");
    const std::string trace = tree.Dir().File("trace.jsonl");
    const TProcessResult run = tree.Run(
        {"/DEBUG"}, {{"GAVRELO_BOARD", Tree().ToolPath(board.string())}, {"GAVRELO_TRACE", Tree().ToolPath(trace)}});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Stderr, "");
    const std::vector<nlohmann::json> events = ReadTrace(trace);
    ExpectOrderlyEnd(events);
    const auto type = keys.find("type");
    const bool runs = type != keys.end() && type->second == "SIO_GPIO";
    const auto pinTest = Decisions(events, "pin_test");
    ASSERT_EQ(pinTest.size(), 1u);
    EXPECT_EQ(pinTest[0].value("runs", !runs), runs);
    if (!runs) {
      // TYPE names an owner for the manual panel only: no pin of any owner moves.
      for (const auto& e : events) EXPECT_NE(e.value("kind", ""), "pin") << e.dump();
      ++otherSections;
      continue;
    }
    ExpectConsoleInOrder(run.Stdout, model);
    const long delay = keys.count("delay") != 0 ? std::stol(keys.at("delay"), nullptr, 0) : 100;
    std::string pin = keys.count("pin") != 0 ? keys.at("pin") : "";
    for (char& c : pin) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const TProcessResult pins = Ctl({"--board", Tree().ToolPath(board.string()), "gpio", "list"}, work.File("pins"));
    if (pins.ExitCode != 0) {
      // A chip whose driver has no pin map (the NCT6683D): the test runs, pauses, and no
      // pin of any owner moves.
      EXPECT_NE(pins.Stderr.find("no pin map"), std::string::npos) << pins.Stderr;
      for (const auto& e : events) EXPECT_NE(e.value("kind", ""), "pin") << e.dump();
      EXPECT_EQ(Decisions(events, "pause").size(), 1u);
      EXPECT_EQ(Decisions(events, "pause_end").size(), 1u);
      ++noPinMap;
      continue;
    }
    ExpectLowPauseHigh(events, pin, delay);
    ++pinTests;
  }
  EXPECT_GE(pinTests, 8);      // demo.json, the three Winbond and four Nuvoton demo boards
  EXPECT_GE(noPinMap, 1);      // the NCT6683D board
  EXPECT_GE(otherSections, 2); // the ICH10 and Z170 boards
}

TEST(EndToEnd, IniCasesOnTheDemoBoard) {
  const std::string board = Tree().ToolPath(Tree().Root + "/share/gavrelo/boards/demo.json");
  struct TCase {
    const char* Name;
    const char* Ini;   // nullptr: no INI file
    enum { NoTest, Full, PauseOnly, LowOnly } Outcome;
    long DelayMs;
    std::string Stderr;
  };
  const std::vector<TCase> cases = {
      {"no INI file", nullptr, TCase::NoTest, 0, ""},
      {"empty section", "[GavreloDemo]\n[Other]\nTYPE=SIO_GPIO\nPIN=GPIO12\n", TCase::NoTest, 0, ""},
      {"missing section", "[OtherBoard]\nTYPE=SIO_GPIO\nPIN=GPIO12\n", TCase::NoTest, 0, ""},
      {"TYPE in lower case", "[GavreloDemo]\nDelay=10\nTYPE=sio_gpio\nPIN=GPIO12\n", TCase::NoTest, 0, ""},
      {"TYPE ICH_GPIO", "[GavreloDemo]\nDelay=10\nTYPE=ICH_GPIO\nPIN=GPIO12\n", TCase::NoTest, 0, ""},
      {"PIN absent", "[GavreloDemo]\nDelay=40\nTYPE=SIO_GPIO\n", TCase::PauseOnly, 40, ""},
      {"PIN invalid", "[GavreloDemo]\nDelay=40\nTYPE=SIO_GPIO\nPIN=GPIOZ9\n", TCase::PauseOnly, 40, ""},
      {"Delay=abc", "[GavreloDemo]\nDelay=abc\nTYPE=SIO_GPIO\nPIN=GPIO12\n", TCase::LowOnly, 0,
       "'abc' is not a valid integer value\n"},
      {"Delay empty", "[GavreloDemo]\nDelay=\nTYPE=SIO_GPIO\nPIN=GPIO12\n", TCase::LowOnly, 0,
       "'' is not a valid integer value\n"},
      {"Delay $40", "[GavreloDemo]\nDelay=$40\nTYPE=SIO_GPIO\nPIN=GPIO12\n", TCase::Full, 64, ""},
      {"Delay 0x30", "[GavreloDemo]\nDelay=0x30\nTYPE=SIO_GPIO\nPIN=GPIO12\n", TCase::Full, 48, ""},
      {"Delay absent", "[GavreloDemo]\nTYPE=SIO_GPIO\nPIN=gpio12\n", TCase::Full, 100, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TStagedTree tree("ini");
    if (c.Ini == nullptr)
      tree.RemoveIni();
    else
      tree.WriteIni(c.Ini);
    const std::string trace = tree.Dir().File("trace.jsonl");
    const TProcessResult run = tree.Run({}, {{"GAVRELO_BOARD", board}, {"GAVRELO_TRACE", Tree().ToolPath(trace)}});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Stdout, "");
    EXPECT_EQ(run.Stderr, c.Stderr);
    const std::vector<nlohmann::json> events = ReadTrace(trace);
    ExpectOrderlyEnd(events);
    const std::vector<nlohmann::json> pin = PinEvents(events, "GPIO12");
    switch (c.Outcome) {
      case TCase::NoTest:
        EXPECT_TRUE(pin.empty());
        EXPECT_TRUE(Decisions(events, "apply_gpio").empty());
        EXPECT_TRUE(Decisions(events, "pause").empty());
        break;
      case TCase::PauseOnly: {
        // Both settings refused, nothing written, and still the pause.
        for (const auto& e : events) EXPECT_NE(e.value("kind", ""), "pin") << e.dump();
        const auto applied = Decisions(events, "apply_gpio");
        ASSERT_EQ(applied.size(), 2u);
        for (const auto& a : applied) EXPECT_EQ(a.value("accepted", true), false);
        const auto pause = Decisions(events, "pause");
        const auto pauseEnd = Decisions(events, "pause_end");
        ASSERT_EQ(pause.size(), 1u);
        ASSERT_EQ(pauseEnd.size(), 1u);
        EXPECT_GE(pauseEnd[0].value("us", 0LL) - pause[0].value("us", 0LL), c.DelayMs * 1000);
        break;
      }
      case TCase::LowOnly:
        ASSERT_FALSE(pin.empty());
        EXPECT_EQ(pin.back().value("state", ""), "output_low");
        EXPECT_TRUE(Decisions(events, "pause").empty());
        EXPECT_EQ(Decisions(events, "exception_dialog").size(), 1u);
        break;
      case TCase::Full:
        ExpectLowPauseHigh(events, "GPIO12", c.DelayMs);
        break;
    }
  }
}

TEST(EndToEnd, ASecondCopyStartedDuringThePauseEndsAtOnceAndTouchesNothing) {
  const std::string board = Tree().ToolPath(Tree().Root + "/share/gavrelo/boards/demo.json");
  TStagedTree tree("two");
  tree.WriteIni("[GavreloDemo]\nDelay=1500\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
  const std::string trace = tree.Dir().File("trace.jsonl");
  const std::map<std::string, std::string> env = {{"GAVRELO_BOARD", board}, {"GAVRELO_TRACE", Tree().ToolPath(trace)}};
  TSubprocess first = tree.Start({}, env, "first");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (TSubprocess::Slurp(trace).find("\"pause\"") == std::string::npos && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_NE(TSubprocess::Slurp(trace).find("\"pause\""), std::string::npos);

  const TProcessResult second = tree.Run({"/DEBUG"}, env, "second");
  EXPECT_EQ(second.ExitCode, 0);
  EXPECT_LT(second.Seconds, 1.0);
  EXPECT_EQ(second.Stdout, "");  // its console opened and it wrote nothing after that
  EXPECT_EQ(second.Stderr, "");
  const TProcessResult firstRun = first.Wait(std::chrono::seconds(60));
  EXPECT_EQ(firstRun.ExitCode, 0);

  const std::vector<nlohmann::json> events = ReadTrace(trace);
  ExpectLowPauseHigh(events, "GPIO12", 1500);
  // During the pause only the second copy's own account: header, refusal, end.
  std::vector<std::string> during;
  bool inPause = false;
  for (const auto& e : events) {
    if (e.value("what", "") == "pause_end") inPause = false;
    if (inPause) during.push_back(e.value("kind", "") + (e.contains("what") ? " " + e.value("what", "") : ""));
    if (e.value("what", "") == "pause") inPause = true;
  }
  EXPECT_EQ(during, (std::vector<std::string>{"header", "decision single_instance", "end"}));
  const auto refused = Decisions(events, "single_instance");
  ASSERT_EQ(refused.size(), 2u);
  EXPECT_EQ(refused[1].value("refused", false), true);
}

// Every file of the tree with its size and modification time.
std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> Snapshot(const std::string& dir) {
  std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) files[entry.path().string()] = {entry.file_size(), entry.last_write_time()};
  return files;
}

TEST(EndToEnd, WithoutHardwareAccessTheLoaderSaysSoOnceAndNothingIsWritten) {
  if (!Tree().Launcher.empty()) GTEST_SKIP() << "the unprivileged Linux back end is not what a launcher runs";
  // Under the temporary directory: user nobody cannot reach a build tree under /root.
  TStagedTree tree("gavrelo-e2e-nohw", fs::temp_directory_path().string());
  TWorkDir output("nohw-output");
  const auto before = Snapshot(tree.Dir().Path());
  // No board: the Linux back end, in a process that may not reach ports or memory.
  const TProcessResult run =
      TSubprocess(GAVRELO_E2E_UNPRIVILEGED, {tree.Exe()}, {{"GAVRELO_BOARD", ""}, {"GAVRELO_TRACE", ""}},
                  output.File("run"))
          .Wait(std::chrono::seconds(60));
  if (run.ExitCode == 77) GTEST_SKIP() << run.Stderr;
  EXPECT_EQ(run.ExitCode, 0) << run.Stderr;
  EXPECT_EQ(run.Stdout, "");
  EXPECT_EQ(Count(run.Stderr, kLoadError), 1u) << run.Stderr;
  EXPECT_EQ(Snapshot(tree.Dir().Path()), before) << "the run wrote into the tree";
}

TEST(EndToEnd, ThePackageUnpackedIntoAScratchRootRunsTheDemo) {
  if (!Tree().Launcher.empty()) GTEST_SKIP() << "the Debian package holds the Linux build";
  std::string deb;
  if (fs::is_directory(Tree().Package))
    for (const auto& entry : fs::directory_iterator(Tree().Package))
      if (entry.path().extension() == ".deb") deb = entry.path().string();
  ASSERT_FALSE(deb.empty()) << "no package in " << Tree().Package;
  TWorkDir scratch("deb");
  // It names the libraries the executables link, so dpkg installs them first.
  const TProcessResult depends = RunProcess("/usr/bin/dpkg-deb", {"-f", deb, "Depends"}, {}, scratch.File("depends"));
  ASSERT_EQ(depends.ExitCode, 0) << depends.Stderr;
  for (const char* library : {"libc6", "libstdc++6", "libtinyxml2-9"})
    EXPECT_NE(depends.Stdout.find(library), std::string::npos) << depends.Stdout;
  const TProcessResult unpack = RunProcess("/usr/bin/dpkg", {"-x", deb, scratch.Path()}, {}, scratch.File("dpkg"));
  ASSERT_EQ(unpack.ExitCode, 0) << unpack.Stderr;
  for (const char* file : {"usr/share/man/man1/gavrelo.1.gz", "usr/share/man/man1/gavreloctl.1.gz",
                           "opt/gavrelo/Bin/Gavrelo.INI", "opt/gavrelo/Conf/gavrelo.xml",
                           "opt/gavrelo/share/doc/gavrelo/script-language.md"})
    EXPECT_TRUE(fs::is_regular_file(scratch.File(file))) << file;

  // gavrelo and gavreloctl on PATH: /usr/bin links into /opt/gavrelo/Bin.
  const std::string trace = scratch.File("trace.jsonl");
  const TProcessResult run =
      RunProcess(scratch.File("usr/bin/gavrelo"), {},
                 {{"GAVRELO_BOARD", scratch.File("opt/gavrelo/share/gavrelo/boards/demo.json")}, {"GAVRELO_TRACE", trace}},
                 scratch.File("run"));
  EXPECT_EQ(run.ExitCode, 0) << run.Stderr;
  const std::vector<nlohmann::json> events = ReadTrace(trace);
  ExpectOrderlyEnd(events);
  ExpectLowPauseHigh(events, "GPIO12", 100);
  const TProcessResult version = RunProcess(scratch.File("usr/bin/gavreloctl"), {"--version"}, {}, scratch.File("ver"));
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_EQ(version.Stdout, "gavreloctl 2.0.5\n");
}

}  // namespace
