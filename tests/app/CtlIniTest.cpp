// gavreloctl ini: the check of a Gavrelo.INI against the demo board (or a model named on the
// command line), for the shipped file and for the mistakes that keep a test from running.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kDemoBoard = std::string(GAVRELO_SOURCE_DIR) + "/boards/demo.json";
const std::string kShippedIni = std::string(GAVRELO_SOURCE_DIR) + "/src/app/Gavrelo.INI";

class CtlIni : public testing::Test {
 protected:
  TProcessResult Ctl(const std::vector<std::string>& args) {
    return RunProcess(std::string(GAVRELO_BIN_DIR) + "/gavreloctl", args, {}, m_Dir.File("ctl"));
  }
  nlohmann::json Json(const std::string& ini, std::vector<std::string> extra = {"--board", kDemoBoard}) {
    std::vector<std::string> args = {"ini", "--json", ini};
    args.insert(args.end(), extra.begin(), extra.end());
    TProcessResult r = Ctl(args);
    m_Last = r;
    return nlohmann::json::parse(r.Stdout, nullptr, false);
  }
  TTempDir m_Dir{"ctlini"};
  TProcessResult m_Last;
};

TEST_F(CtlIni, TheShippedFileRunsTheDemoBoardsPinTest) {
  TProcessResult r = Ctl({"--board", kDemoBoard, "ini", kShippedIni});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_NE(r.Stdout.find("Model     : GavreloDemo (the board's BIOS identity record)\n"
                          "Section   : [GavreloDemo] found, keys Delay, TYPE, PIN\n"
                          "Delay     : \"100\" (file) -> 100 ms\n"
                          "TYPE      : \"SIO_GPIO\" (file) -> the pin test runs\n"
                          "PIN       : \"GPIO12\" (file) -> bank 1, bit 2\n"
                          "Super I/O : W83627UHG at 0x2E\n"
                          "Low step  : GPIO12=LOW -> pin 10, mode 0x81 Output Low\n"),
            std::string::npos)
      << r.Stdout;
  EXPECT_NE(r.Stdout.find("High step : GPIO12=HIGH -> pin 10, mode 0x82 Output High\n"), std::string::npos);
  EXPECT_NE(r.Stdout.find("Verdict   : gavrelo drives GPIO12 low, waits 100 ms and drives it high\n"),
            std::string::npos);
  EXPECT_EQ(r.Stderr, "");  // no chip left in configuration mode

  const nlohmann::json j = Json(kShippedIni);
  EXPECT_EQ(j["runs_test"], true);
  EXPECT_EQ(j["problems"], nlohmann::json::array());
  EXPECT_EQ(j["left_unlocked"], nlohmann::json::array());
  ASSERT_EQ(j["steps"].size(), 2u);
  // The register writes of each step on the board: GPIO12 is bit 2 of the data register 0xE1
  // of logical device 9, cleared for the low step and set for the high one.
  for (int step = 0; step < 2; ++step) {
    const nlohmann::json& writes = j["steps"][step]["writes"];
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back()["ldn"], 9);
    EXPECT_EQ(writes.back()["register"], 0xE1);
    EXPECT_EQ(writes.back()["value"], step == 0 ? 0xFB : 0xFF);
    const nlohmann::json& pins = j["steps"][step]["pins"];
    ASSERT_FALSE(pins.empty());
    EXPECT_EQ(pins.back()["pin"], "GPIO12");
    EXPECT_EQ(pins.back()["state"], step == 0 ? "output_low" : "output_high");
  }
}

TEST_F(CtlIni, NearMissesAndValuesThatStopTheTestAreNamed) {
  struct TCase {
    const char* Name;
    const char* Ini;
    bool Runs;
    std::vector<std::string> Problems;  // each must appear among the problems
    std::vector<std::string> NearMisses;  // "section X" or "key X", in order
    nlohmann::json DelayMs;
  };
  const std::vector<TCase> cases = {
      {"section with a blank", "[Gavrelo Demo]\nTYPE=SIO_GPIO\nPIN=GPIO12\n[GavreloDemp]\nTYPE=SIO_GPIO\n", false,
       {"no section [GavreloDemo]: gavrelo ends at once, silently"},
       {"section Gavrelo Demo", "section GavreloDemp"}, 100},
      {"empty section", "[GavreloDemo]\n[Other]\nTYPE=SIO_GPIO\n", false,
       {"the section holds no key, so gavrelo treats it as missing"}, {}, 100},
      {"misspelled key, lower-case TYPE, bit 9", "[GavreloDemo]\nDealy=5\nTYPE=sio_gpio\nPIN=GPIO19\nColour=red\n",
       false,
       {"TYPE \"sio_gpio\" differs from SIO_GPIO in letter case: no pin test runs",
        "PIN GPIO19: bit 9 is past bit 7, so it names bank 2 bit 1"},
       {"key Dealy", "key Colour"}, 100},
      {"Delay no integer", "[GavreloDemo]\nDelay=abc\nTYPE=SIO_GPIO\nPIN=GPIO12\n", false,
       {"Delay \"abc\" is no integer: gavrelo drives the pin low, shows \"'abc' is not a valid integer value\" and "
        "leaves the pin low"},
       {}, nullptr},
      {"Delay empty", "[GavreloDemo]\nDelay=\nTYPE=SIO_GPIO\nPIN=GPIO12\n", false,
       {"Delay \"\" is no integer: gavrelo drives the pin low, shows \"'' is not a valid integer value\" and "
        "leaves the pin low"},
       {}, nullptr},
      {"Delay in hexadecimal, ICH type", "[GavreloDemo]\nDelay=$40\nTYPE=ICH_GPIO\nPIN=GPIO5\n", false,
       {"TYPE ICH_GPIO is for the manual panel only: no pin test runs at start-up"}, {}, 64},
      {"no PIN, key without '='", "[GavreloDemo]\nDelay=0x10\nTYPE=SIO_GPIO\nPIN\n", false,
       {"PIN has no \"=\", so gavrelo reads its default \"\"",
        "no PIN: both steps are refused (no pin is written); the pause still happens"},
       {}, 16},
      {"PIN with a state word", "[GavreloDemo]\nTYPE=SIO_GPIO\nPIN=GPIO12=High\n", false,
       {"PIN holds \"=\": the test appends \"=Low\" and \"=High\" to it, which changes the state word"}, {}, 100},
      {"negative Delay", "[GavreloDemo]\nDelay=-5\nTYPE=SIO_GPIO\nPIN=GPIO12\n", true, {}, {}, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const nlohmann::json j = Json(m_Dir.Write("Gavrelo.INI", c.Ini));
    ASSERT_TRUE(j.is_object()) << m_Last.Stdout << m_Last.Stderr;
    EXPECT_EQ(m_Last.ExitCode, c.Runs ? 0 : 1);
    EXPECT_EQ(j["runs_test"], c.Runs);
    for (const std::string& problem : c.Problems)
      EXPECT_NE(std::find(j["problems"].begin(), j["problems"].end(), problem), j["problems"].end())
          << problem << "\n" << j["problems"].dump(1);
    if (c.Runs) {
      EXPECT_EQ(j["problems"], nlohmann::json::array());
    }
    std::vector<std::string> misses;
    for (const auto& m : j["near_misses"])
      misses.push_back(m.contains("section") ? "section " + m["section"].get<std::string>()
                                             : "key " + m["key"].get<std::string>());
    EXPECT_EQ(misses, c.NearMisses);
    EXPECT_EQ(j["delay"]["ms"], c.DelayMs);
  }
  // The misspelled key says which key it was meant to be.
  const nlohmann::json j = Json(m_Dir.Write("Gavrelo.INI", "[GavreloDemo]\nDealy=5\n"));
  EXPECT_EQ(j["near_misses"][0]["meant"], "Delay");
}

TEST_F(CtlIni, AModelNamedOnTheCommandLineNeedsNoHardwareAndAMissingFileFails) {
  const std::string ini = m_Dir.Write("Gavrelo.INI", "[SomeBoard]\nDelay=5\nTYPE=SIO_GPIO\nPIN=GPIO34\n");
  const nlohmann::json j = Json(ini, {"--model", "SomeBoard"});
  EXPECT_EQ(m_Last.ExitCode, 0) << m_Last.Stderr;
  EXPECT_EQ(j["model_from"], "option");
  EXPECT_EQ(j["pin"]["bank"], 3);
  EXPECT_EQ(j["pin"]["bit"], 4);
  EXPECT_EQ(j["steps"][0]["tokens"][0]["pin_index"], 28);
  EXPECT_FALSE(j["steps"][0].contains("writes"));  // nothing is written without a virtual board

  TProcessResult r = Ctl({"ini", m_Dir.File("missing.INI"), "--model", "SomeBoard"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout, "");
  EXPECT_NE(r.Stderr.find("no INI file"), std::string::npos) << r.Stderr;
}

}  // namespace
