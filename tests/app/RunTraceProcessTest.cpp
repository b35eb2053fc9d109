// The run's own account in the access trace: gavrelo as a real process on the demo board
// with GAVRELO_TRACE, for the INI cases that differ only in what the tool decides.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <sstream>
#include <thread>

#include "tests/support/StagedTool.h"

namespace {

const std::string kDemoBoard = std::string(GAVRELO_SOURCE_DIR) + "/boards/demo.json";

std::vector<nlohmann::json> ReadTrace(const std::string& path) {
  std::vector<nlohmann::json> events;
  std::istringstream in(TSubprocess::Slurp(path));
  for (std::string line; std::getline(in, line);) {
    nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    EXPECT_TRUE(event.is_object()) << "not a JSON object: " << line;
    events.push_back(event);
  }
  return events;
}

std::vector<nlohmann::json> OfKind(const std::vector<nlohmann::json>& events, const std::string& kind) {
  std::vector<nlohmann::json> out;
  for (const auto& e : events)
    if (e.value("kind", "") == kind) out.push_back(e);
  return out;
}

// "what" of each decision, with the fields that tell the cases apart.
std::vector<std::string> Decisions(const std::vector<nlohmann::json>& events) {
  std::vector<std::string> out;
  for (const auto& e : OfKind(events, "decision")) {
    std::string text = e.value("what", "");
    for (const char* key : {"found", "key", "value", "runs", "setting", "accepted", "pin_index", "mode", "ms",
                            "refused", "text"})
      if (e.contains(key)) text += " " + std::string(key) + "=" + (e[key].is_string() ? e[key].get<std::string>() : e[key].dump());
    out.push_back(text);
  }
  return out;
}

TEST(RunTraceProcess, TheTraceTellsWhatTheToolDecidedForEachIniCase) {
  const std::vector<std::string> found = {"single_instance refused=false", "model_name",
                                          "ini_file found=true", "ini_section found=true"};
  struct TCase {
    const char* Name;
    const char* Ini;  // nullptr: no INI file
    std::vector<std::string> After;  // decisions after `found` (or instead, for the first two)
  };
  const std::vector<TCase> cases = {
      {"no INI file", nullptr, {"single_instance refused=false", "model_name", "ini_file found=false"}},
      {"no section", "[OtherBoard]\nTYPE=SIO_GPIO\n",
       {"single_instance refused=false", "model_name", "ini_file found=true", "ini_section found=false"}},
      {"good run", "[GavreloDemo]\nDelay=30\nTYPE=SIO_GPIO\nPIN=GPIO12\n",
       {"ini_key key=Delay value=30", "ini_key key=TYPE value=SIO_GPIO", "ini_key key=PIN value=GPIO12",
        "pin_test runs=true", "apply_gpio setting=GPIO12=LOW accepted=true pin_index=10 mode=129", "pause ms=30",
        "pause_end ms=30", "apply_gpio setting=GPIO12=HIGH accepted=true pin_index=10 mode=130"}},
      {"TYPE with a typo", "[GavreloDemo]\nDelay=30\nTYPE=SIO_GPI0\nPIN=GPIO12\n",
       {"ini_key key=Delay value=30", "ini_key key=TYPE value=SIO_GPI0", "ini_key key=PIN value=GPIO12",
        "pin_test runs=false"}},
      {"Delay no integer", "[GavreloDemo]\nDelay=abc\nTYPE=SIO_GPIO\nPIN=GPIO12\n",
       {"ini_key key=Delay value=abc", "ini_key key=TYPE value=SIO_GPIO", "ini_key key=PIN value=GPIO12",
        "pin_test runs=true", "apply_gpio setting=GPIO12=LOW accepted=true pin_index=10 mode=129",
        "delay_invalid text=abc", "exception_dialog"}},
      {"PIN invalid, Delay default", "[GavreloDemo]\nTYPE=SIO_GPIO\nPIN=GPIOX\n",
       {"ini_key key=Delay value=100", "ini_key key=TYPE value=SIO_GPIO", "ini_key key=PIN value=GPIOX",
        "pin_test runs=true", "apply_gpio setting=GPIOX=LOW accepted=false", "pause ms=100",
        "pause_end ms=100", "apply_gpio setting=GPIOX=HIGH accepted=false"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TStagedExecutable tool(std::string(GAVRELO_BIN_DIR) + "/gavrelo");
    if (c.Ini != nullptr) tool.WriteIni(c.Ini);
    const std::string trace = tool.Dir().File("trace.jsonl");
    TProcessResult result = tool.Run({"/DEBUG"}, {{"GAVRELO_BOARD", kDemoBoard}, {"GAVRELO_TRACE", trace}});
    EXPECT_EQ(result.ExitCode, 0);
    const std::vector<nlohmann::json> events = ReadTrace(trace);
    ASSERT_GE(events.size(), 2u);

    // Framing: the header first, the end last, both of this process.
    const nlohmann::json& header = events.front();
    EXPECT_EQ(header.value("kind", ""), "header");
    EXPECT_EQ(header.value("seq", 0), 1);
    EXPECT_EQ(header.value("tool", ""), tool.FileName());
    EXPECT_EQ(header.value("version", ""), "2.0.5.0");
    EXPECT_EQ(header.value("board", ""), kDemoBoard);
    EXPECT_EQ(header.value("command_line", ""), tool.Exe() + " /DEBUG");
    EXPECT_GT(header.value("origin_unix_us", 0LL), 0);
    const nlohmann::json& end = events.back();
    EXPECT_EQ(end.value("kind", ""), "end");
    EXPECT_EQ(end.value("exit_code", -1), 0);
    EXPECT_EQ(end["left_unlocked"], nlohmann::json::array());
    EXPECT_EQ(end.value("pid", 0L), header.value("pid", -1L));
    EXPECT_EQ(OfKind(events, "header").size(), 1u);
    EXPECT_EQ(OfKind(events, "end").size(), 1u);
    for (std::size_t i = 0; i < events.size(); ++i) EXPECT_EQ(events[i].value("seq", 0u), i + 1);

    std::vector<std::string> expected = c.After;
    if (c.After.front().rfind("single_instance", 0) != 0) expected.insert(expected.begin(), found.begin(), found.end());
    EXPECT_EQ(Decisions(events), expected);

    // The pause lasts Delay: between its start and its end no bus cycle, and at least 30 ms.
    if (std::string(c.Name) == "good run") {
      std::size_t start = 0, stop = 0;
      for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].value("what", "") == "pause") start = i;
        if (events[i].value("what", "") == "pause_end") stop = i;
      }
      ASSERT_EQ(stop, start + 1);
      EXPECT_GE(events[stop].value("us", 0LL) - events[start].value("us", 0LL), 30000);
    }
  }
}

TEST(RunTraceProcess, ASecondCopyRefusedDuringThePauseAppearsInTheFirstCopysTrace) {
  TStagedExecutable tool(std::string(GAVRELO_BIN_DIR) + "/gavrelo");
  tool.WriteIni("[GavreloDemo]\nDelay=1500\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
  const std::string trace = tool.Dir().File("trace.jsonl");
  const std::map<std::string, std::string> env = {{"GAVRELO_BOARD", kDemoBoard}, {"GAVRELO_TRACE", trace}};
  TSubprocess first = tool.Start({}, env, "first");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (TSubprocess::Slurp(trace).find("\"pause\"") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::size_t before = ReadTrace(trace).size();
  TProcessResult second = tool.Run({"/DEBUG"}, env, "second");
  EXPECT_EQ(second.ExitCode, 0);
  EXPECT_EQ(second.Stdout, "");
  TProcessResult firstResult = first.Wait();
  EXPECT_EQ(firstResult.ExitCode, 0);

  const std::vector<nlohmann::json> events = ReadTrace(trace);
  const auto headers = OfKind(events, "header");
  ASSERT_EQ(headers.size(), 2u);
  const long firstPid = headers[0].value("pid", 0L);
  const long secondPid = headers[1].value("pid", 0L);
  EXPECT_NE(firstPid, secondPid);
  // The second copy's three lines, together, inside the first's pause; it touched no hardware.
  ASSERT_GT(events.size(), before + 3);
  EXPECT_EQ(events[before - 1].value("what", ""), "pause");
  EXPECT_EQ(events[before].value("kind", ""), "header");
  EXPECT_EQ(events[before].value("pid", 0L), secondPid);
  EXPECT_EQ(events[before + 1].value("what", ""), "single_instance");
  EXPECT_EQ(events[before + 1].value("refused", false), true);
  EXPECT_EQ(events[before + 2].value("kind", ""), "end");
  EXPECT_EQ(events[before + 2].value("exit_code", -1), 0);
  EXPECT_EQ(events[before + 3].value("what", ""), "pause_end");
  EXPECT_GE(headers[1].value("origin_unix_us", 0LL), headers[0].value("origin_unix_us", 0LL));
  // Every line of the first copy survived the second's append.
  EXPECT_EQ(events.back().value("kind", ""), "end");
  EXPECT_EQ(events.back().value("pid", 0L), firstPid);
  std::size_t secondsEvents = 0;
  for (const auto& e : events) secondsEvents += e.value("pid", 0L) == secondPid ? 1 : 0;
  EXPECT_EQ(secondsEvents, 3u);
}

}  // namespace
