// gavreloctl gpio list/set/check/enable and hwm as real processes against the board files,
// with the board's trace read back from GAVRELO_TRACE.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ConfigAccess.h"
#include "SioTestBoard.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

class CtlBoardTest : public ::testing::Test {
 protected:
  // gavreloctl --board boards/<board> (or a board file's full path) args..., with the board's
  // trace in a file.
  TProcessResult Ctl(const std::string& board, const std::vector<std::string>& args) {
    std::vector<std::string> all = {
        "--board", std::filesystem::path(board).is_absolute() ? board : BoardFile(board)};
    all.insert(all.end(), args.begin(), args.end());
    return RunProcess(std::string(GAVRELO_BIN_DIR) + "/gavreloctl", all,
                      {{"GAVRELO_TRACE", m_Dir.File("trace.jsonl")}}, m_Dir.File("ctl"));
  }
  // The configuration accesses of the last run after its last hardware-monitor base read
  // (the end of Build's InitHwmAddress): the command's own accesses.
  TAccesses CommandAccesses() {
    std::vector<TPortCycle> cycles;
    for (const nlohmann::json& event : Trace("")) {
      if (event["kind"] != "in" && event["kind"] != "out") continue;
      cycles.push_back({event["kind"] == "out", event["port"].get<std::uint16_t>(),
                        event["value"].get<std::uint32_t>(), 1});
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i < cycles.size(); ++i)
      if (cycles[i] == TPortCycle::Out(0x2E, 0x61)) start = i;
    while (start < cycles.size() && cycles[start] != TPortCycle::Out(0x2E, 0xAA)) ++start;
    return ConfigAccesses({cycles.begin() + static_cast<std::ptrdiff_t>(std::min(start + 1, cycles.size())),
                           cycles.end()});
  }
  // The events of the last run's trace, of one kind ("pin", "out", ...; "" for all).
  std::vector<nlohmann::json> Trace(const std::string& kind) {
    std::vector<nlohmann::json> events;
    std::istringstream in(TSubprocess::Slurp(m_Dir.File("trace.jsonl")));
    for (std::string line; std::getline(in, line);) {
      nlohmann::json event = nlohmann::json::parse(line);
      if (kind.empty() || event["kind"] == kind) events.push_back(event);
    }
    return events;
  }
  const TTempDir& Dir() const { return m_Dir; }

 private:
  TTempDir m_Dir{"ctl-board"};
};

class CtlGpioTest : public CtlBoardTest {};
class CtlHwmTest : public CtlBoardTest {};

TEST_F(CtlGpioTest, RefusesWhenNoChipWithAPinMapWasDetected) {
  // An ITE chip (served by the generic object) and a board without any Super I/O chip.
  for (const char* board : {"sio-I.json", "qemu-q35.json"}) {
    SCOPED_TRACE(board);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"gpio", "set", "GPIO12=Low"},
                                               {"gpio", "list"},
                                               {"gpio", "check", "GPIO12=Low"},
                                               {"gpio", "enable", "GPIO12"}}) {
      const TProcessResult r = Ctl(board, args);
      EXPECT_EQ(r.ExitCode, 2) << args[1];
      EXPECT_EQ(r.Stdout, "") << args[1];
      EXPECT_NE(r.Stderr.find("gpio " + args[1] + ": "), std::string::npos) << r.Stderr;
      EXPECT_NE(r.Stderr.find("nothing was read or written"), std::string::npos) << r.Stderr;
      // Detection probed the chip; no GPIO register was touched: no device was selected.
      for (const nlohmann::json& event : Trace("state"))
        EXPECT_FALSE(event["state"].contains("ldn")) << event.dump();
    }
  }
  const TProcessResult r = Ctl("sio-I.json", {"gpio", "list"});
  EXPECT_NE(r.Stderr.find("family 0x400"), std::string::npos) << r.Stderr;
  EXPECT_NE(r.Stderr.find("which has no pin map"), std::string::npos) << r.Stderr;
}

TEST_F(CtlGpioTest, ListShowsEveryDemoBoardsPins) {
  struct TCase {
    const char* Board;
    std::string Chip;
    std::size_t Pins;
    std::map<std::string, std::string> Some;
  };
  const std::vector<TCase> cases = {
      {"w83627dhg-demo.json", "W83627DHG at 0x2E (TW83627Sio)", 48,
       {{"GPIO20", "Output High"}, {"GPIO23", "Output Low"}, {"GPIO24", "Input Low"},
        {"GPIO25", "Input High"}, {"GPIO31", "Not GPIO"}, {"GPIO63", "Not GPIO"},
        {"GPIO54", "Disabled"}}},
      {"w83627uhg-demo.json", "W83627UHG at 0x2E (TW83627UHG)", 40,
       {{"GPIO12", "Not GPIO"}, {"GPIO20", "Not GPIO"}, {"GPIO23", "Disabled"},
        {"GPIO31", "Not GPIO"}, {"GPIO40", "Disabled"}}},
      {"w83667hg-demo.json", "W83667HG at 0x2E (TW83667Sio)", 72,
       {{"GPIO63", "Not GPIO"}, {"GPIO73", "Disabled"}, {"GPIO97", "Disabled"}}},
      {"demo.json", "W83627UHG at 0x2E (TW83627UHG)", 40, {{"GPIO12", "Not GPIO"}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Board);
    const TProcessResult r = Ctl(c.Board, {"gpio", "list", "--json"});
    ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
    const nlohmann::json report = nlohmann::json::parse(r.Stdout);
    EXPECT_EQ(report["owner"], "sio");
    EXPECT_EQ(report["chip"], c.Chip);
    // Banks 1 up to the chip's pin count; bank 0, which no chip here has, is not shown.
    EXPECT_EQ(report["pins"].size(), c.Pins);
    EXPECT_EQ(report["undecoded"].size(), 8u);
    std::map<std::string, std::string> states;
    for (const auto& pin : report["pins"]) states[pin["pin"]] = pin["state"];
    for (const auto& [pin, state] : c.Some) EXPECT_EQ(states[pin], state) << pin;
    EXPECT_TRUE(Trace("pin").empty()) << "listing moves no pin";
  }
  // The text form: one line per pin, banks apart.
  const TProcessResult text = Ctl("w83627dhg-demo.json", {"gpio", "list"});
  EXPECT_EQ(text.ExitCode, 0);
  EXPECT_EQ(text.Stdout.rfind("W83627DHG at 0x2E (TW83627Sio)\nGPIO10 = Not GPIO\n", 0), 0u) << text.Stdout;
  EXPECT_NE(text.Stdout.find("GPIO17 = Not GPIO\n\nGPIO20 = Output High\n"), std::string::npos);
  EXPECT_NE(text.Stdout.find("(8 entries the chip does not decode are not shown)"), std::string::npos);
}

TEST_F(CtlGpioTest, SetOnTheUhgBoardRunsBankTwosPreparationAndMovesThePin) {
  const TProcessResult r = Ctl("w83627uhg-demo.json", {"gpio", "set", "GPIO23=Low"});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, "GPIO23=LOW: written\n");
  EXPECT_EQ(r.Stderr, "");
  EXPECT_EQ(CommandAccesses(),
            (TAccesses{W(0x07, 0x0B), R(0xF2, 0x00), W(0xF2, 0x02),  // pins 16, 17 to GPIO
                       W(0x07, 0x09), R(0x2A, 0x02), W(0x2A, 0x00),  // pins 21, 22 to GPIO
                       R(0x30, 0x00), W(0x30, 0x02),                 // bank 2 on
                       R(0x2D, 0x00), W(0x2D, 0x77),
                       R(0xE6, 0x00), W(0xE6, 0x00),                 // no inversion
                       R(0xE4, 0xFF), W(0xE4, 0xF7),                 // output
                       R(0xE5, 0xF7), W(0xE5, 0xF7)}));              // low; inputs read high
  bool moved = false;
  for (const nlohmann::json& event : Trace("pin"))
    if (event["pin"] == "GPIO23") {
      EXPECT_EQ(event["state"], "output_low");
      EXPECT_EQ(event["level"], 0);
      moved = true;
    }
  EXPECT_TRUE(moved);
  const std::vector<nlohmann::json> states = Trace("state");
  ASSERT_FALSE(states.empty());
  EXPECT_EQ(states.back()["state"]["config_mode"], false);

  // A rejected setting: the ones before it stay written, the exit code says it failed.
  const TProcessResult bad = Ctl("w83627uhg-demo.json", {"gpio", "set", "GPIO23=High", "GPIOX"});
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_EQ(bad.Stdout, "GPIO23=HIGH: written\n");
  EXPECT_NE(bad.Stderr.find("\"GPIOX\" was rejected"), std::string::npos) << bad.Stderr;
}

TEST_F(CtlGpioTest, CheckAndEnable) {
  TProcessResult r = Ctl("w83627dhg-demo.json",
                         {"gpio", "check", "GPIO20=HIGH GPIO21=LOW,GPIO24=INPUT_LOW", "GPIO25=INPUT"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Stdout,
            "GPIO20=HIGH: Output High (match)\nGPIO21=LOW: Output Low (match)\n"
            "GPIO24=INPUT_LOW: Input Low (match)\nGPIO25=INPUT: Input High (match)\n");
  r = Ctl("w83627dhg-demo.json", {"gpio", "check", "GPIO21=HIGH"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout, "GPIO21=HIGH: Output Low (mismatch)\n");
  EXPECT_TRUE(Trace("pin").empty()) << "checking moves no pin";

  // The UHG's group switch sets bank 3's activation bit only: UART C keeps the pins.
  r = Ctl("w83627uhg-demo.json", {"gpio", "enable", "gpio31"});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, "group 3 (pins 24 to 31) switched to GPIO\n");
  EXPECT_EQ(CommandAccesses(), (TAccesses{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x01)}));
  EXPECT_TRUE(Trace("pin").empty());
  // A chip without a group switch, and a pin name that names no pin.
  r = Ctl("w83627dhg-demo.json", {"gpio", "enable", "GPIO63"});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_NE(r.Stderr.find("has no group switch"), std::string::npos) << r.Stderr;
  EXPECT_EQ(Ctl("w83627uhg-demo.json", {"gpio", "enable", "PIN3"}).ExitCode, 2);
}

TEST_F(CtlGpioTest, NuvotonDemoBoardsListAndSetAMultiplexedPin) {
  struct TCase {
    const char* Board;
    std::string Chip;
    std::size_t Pins, Undecoded;
    std::map<std::string, std::string> Some;  // states `list` shows
    std::string Set;                          // a pin in another function, or in a bank that is off
    TAccesses Routing;                        // the first accesses of its write
    std::string Moves;                        // the pin's last state ("" when it must not move)
  };
  const std::vector<TCase> cases = {
      // Bank 6 behind bit 3 of global 0x29: the write sets it.
      {"nct6775f-demo.json", "NCT6775F/NCT6771F at 0x2E (TNCT6775Sio)", 78, 2,
       {{"GPIO60", "Not GPIO"}, {"GPIO02", "Disabled"}, {"GPIO30", "Not GPIO"},
        {"GPIO40", "Disabled"}, {"GPIO50", "Not GPIO"}, {"GPIO23", "Disabled"}},
       "GPIO60=High", {R(0x29, 0x00), W(0x29, 0x08), W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x02)},
       "output_high"},
      // GPIO71 given away by LDN 7 0xEC bit 1 in an active bank: the write clears the bit.
      {"nct6776f-demo.json", "NCT6776F at 0x2E (TNCT6776Sio)", 88, 0,
       {{"GPIO71", "Not GPIO Low"}, {"GPIO70", "Input High"}, {"GPIO76", "Input High"},
        {"GPIO90", "Disabled"}, {"GPIOA0", "Disabled"}, {"GPIO32", "Not GPIO"}},
       "GPIO71=High", {W(0x07, 0x09), R(0x30, 0x80), W(0x30, 0x80), W(0x07, 0x07), R(0xEC, 0x02),
                       W(0xEC, 0x00)},
       "output_high"},
      // GPIO00 behind bit 0 of global 0x1C: the pin's own routing step sets it.
      {"nct6791d-demo.json", "NCT6791D at 0x2E (TNCT6791DSio)", 70, 2,
       {{"GPIO00", "Not GPIO"}, {"GPIO35", "Not GPIO"}, {"GPIO03", "Disabled"},
        {"GPIO80", "Not GPIO"}},
       "GPIO00=High", {W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x02), R(0x1C, 0xE0), W(0x1C, 0xE1)},
       "output_high"},
      // The NCT6102D's write activates the bank and changes no multi-function register: GPIO12,
      // given away by LDN 8 0xE1, stays where it is.
      {"nct6102d-demo.json", "NCT6102D at 0x2E (TNCT6102DSio)", 64, 0,
       {{"GPIO12", "Disabled"}, {"GPIO30", "Not GPIO"}, {"GPIO54", "Not GPIO"},
        {"GPIO70", "Disabled"}},
       "GPIO12=High", {W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x02)}, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Board);
    TProcessResult r = Ctl(c.Board, {"gpio", "list", "--json"});
    ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
    const nlohmann::json report = nlohmann::json::parse(r.Stdout);
    EXPECT_EQ(report["chip"], c.Chip);
    EXPECT_EQ(report["pins"].size(), c.Pins);
    EXPECT_EQ(report["undecoded"].size(), c.Undecoded);
    std::map<std::string, std::string> states;
    for (const auto& pin : report["pins"]) states[pin["pin"]] = pin["state"];
    for (const auto& [pin, state] : c.Some) EXPECT_EQ(states[pin], state) << pin;

    r = Ctl(c.Board, {"gpio", "set", c.Set});
    ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
    const TAccesses accesses = CommandAccesses();
    ASSERT_GE(accesses.size(), c.Routing.size());
    EXPECT_EQ(TAccesses(accesses.begin(), accesses.begin() + static_cast<std::ptrdiff_t>(c.Routing.size())),
              c.Routing);
    const std::string pin = c.Set.substr(0, c.Set.find('='));
    std::string last;
    for (const nlohmann::json& event : Trace("pin"))
      if (event["pin"] == pin) last = event["state"];
    EXPECT_EQ(last, c.Moves);
  }
  // The NCT6102D drives a pin of a bank that was off, and switches a group on.
  TProcessResult r = Ctl("nct6102d-demo.json", {"gpio", "set", "GPIO11=Low"});
  EXPECT_EQ(r.ExitCode, 0);
  std::string last;
  for (const nlohmann::json& event : Trace("pin"))
    if (event["pin"] == "GPIO11") last = event["state"];
  EXPECT_EQ(last, "output_low");
  r = Ctl("nct6102d-demo.json", {"--debug", "gpio", "enable", "GPIO20"});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_NE(r.Stdout.find("group 2 (pins 16 to 23) switched to GPIO"), std::string::npos) << r.Stdout;
  EXPECT_EQ(CommandAccesses(), (TAccesses{W(0x07, 0x07), R(0x30, 0x00), W(0x30, 0x04), R(0x30, 0x04)}));
  // The NCT6791D's group switch routes group 0 whole.
  r = Ctl("nct6791d-demo.json", {"gpio", "enable", "GPIO03"});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(CommandAccesses(), (TAccesses{R(0x1C, 0xE0), W(0x07, 0x08), R(0x30, 0x00), W(0x30, 0x02),
                                          W(0x1C, 0xE7), W(0x07, 0x08), R(0x30, 0x02), W(0x30, 0x82)}));
  // The NCT6683D has no pin map: refused before any register is touched.
  r = Ctl("nct6683d-demo.json", {"gpio", "list"});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_NE(r.Stderr.find("class TNCT6683DSio) is served by TNCT6683DSio, which has no pin map"),
            std::string::npos) << r.Stderr;
}

TEST_F(CtlHwmTest, FansTemperaturesAndVoltagesOfTheWinbondMonitor) {
  const TProcessResult r = Ctl("w83627uhg-demo.json", {"hwm", "--json"});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  const nlohmann::json report = nlohmann::json::parse(r.Stdout);
  EXPECT_EQ(report["chip"], "W83627UHG");
  EXPECT_EQ(report["hwm_base"], 0x290);
  std::map<std::string, int> rpm;
  for (const auto& fan : report["fans"]) rpm[fan["name"]] = fan["rpm"];
  // CPUFANIN: count 0x87, divisor 2 (0x47 bits 7..6 = 01); SYSFANIN: 0x96, divisor 2;
  // AUXFANIN: count 0xFF, stopped.
  EXPECT_EQ(rpm, (std::map<std::string, int>{{"AUXFANIN", 0}, {"AUXFANIN1", 0},
                                             {"CPUFANIN", 5022}, {"CPUFANIN1", 0},
                                             {"SYSFANIN", 4520}}));
  std::map<std::string, int> celsius;
  for (const auto& t : report["temperatures"]) celsius[t["name"]] = t["celsius"];
  EXPECT_EQ(celsius, (std::map<std::string, int>{{"SYSTIN", 40}, {"CPUTIN", 45}, {"AUXTIN", 30}}));
  std::map<std::string, double> volts;
  for (const auto& v : report["voltages"]) volts[v["name"]] = v["volts"];
  EXPECT_EQ(volts.size(), 9u);
  EXPECT_NEAR(volts["CPUVCORE"], 0x7C * 0.008, 1e-5);  // 8 mV per count
  EXPECT_NEAR(volts["3VCC"], 0xCE * 0.016, 1e-5);      // through the 34k/34k divider
  EXPECT_NEAR(volts["VBAT"], 0xBE * 0.016, 1e-5);      // bank 5
  EXPECT_NE(report["voltage_scaling"].get<std::string>().find("default"), std::string::npos);
  // The monitor's bank select (0x80 at power-on) is written back last.
  std::vector<nlohmann::json> outs = Trace("out");
  ASSERT_GE(outs.size(), 2u);
  EXPECT_EQ(outs[outs.size() - 2]["port"], 0x295);
  EXPECT_EQ(outs[outs.size() - 2]["value"], 0x4E);
  EXPECT_EQ(outs.back()["port"], 0x296);
  EXPECT_EQ(outs.back()["value"], 0x80);

  const TProcessResult text = Ctl("w83667hg-demo.json", {"hwm"});
  EXPECT_EQ(text.ExitCode, 0);
  EXPECT_NE(text.Stdout.find("  CPUFANIN     5022 RPM   bank 0 count register 0x29\n"),
            std::string::npos) << text.Stdout;
  EXPECT_NE(text.Stdout.find("  SYSTIN         40 C     bank 0 register 0x27\n"), std::string::npos);
  EXPECT_NE(text.Stdout.find("  3VSB        3.312 V     bank 5 register 0x50\n"), std::string::npos);
}

TEST_F(CtlHwmTest, RefusesWhatIsNoWinbondMonitor) {
  // An ITE chip, and no chip at all: nothing to read.
  for (const char* board : {"sio-I.json", "qemu-q35.json"}) {
    const TProcessResult r = Ctl(board, {"hwm"});
    EXPECT_EQ(r.ExitCode, 2) << board;
    EXPECT_EQ(r.Stdout, "") << board;
    EXPECT_NE(r.Stderr.find("hwm: "), std::string::npos) << r.Stderr;
  }
  // A Winbond chip without logical device 0x0B: the base reads all ones and no value is
  // shown as a reading.
  const std::string board = Dir().Write(
      "no-monitor.json",
      R"({"superio": {"chips": [{"name": "W83697HF", "port": "0x2E", "keys": "winbond", "id": "60 10"}]}})");
  const TProcessResult r = Ctl(board, {"hwm"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout, "");
  EXPECT_NE(r.Stderr.find("reads 0xFFFF: there is no monitor to read"), std::string::npos) << r.Stderr;
}

}  // namespace
