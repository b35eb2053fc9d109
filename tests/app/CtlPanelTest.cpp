// gavreloctl panel as a process on the demo boards: the handlers run on each, the trace shows
// the register and pad changes, the PCH guard keeps its hands off memory it cannot vouch for.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/app/CtlBoardRun.h"

namespace {

using CtlPanel = CtlBoardRun;

TEST_F(CtlPanel, IchPinsAreAppliedAndRefreshed) {
  TProcessResult r = Ctl("ich10-nct6776f.json",
                         {"panel", "--type", "ICH_GPIO", "apply", "GPIO5=0", "GPIO40=2", "GPIO7=-1"});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, "GPIO5: Low\nGPIO40: Input\nGPIO7: skipped\n");
  std::vector<std::string> pins;
  for (const nlohmann::json& e : Trace("pin"))
    pins.push_back(e["pin"].get<std::string>() + " " + e["state"].get<std::string>());
  // GPIO40 shows the short output phase between its use-select and I/O-select writes.
  EXPECT_EQ(pins, (std::vector<std::string>{"GPIO5 output_low", "GPIO40 output_low", "GPIO40 input"}));

  // Without --type the model's section of Gavrelo.INI names the owner (ICH_GPIO).
  r = Ctl("ich10-nct6776f.json", {"panel", "refresh", "--json", "GPIO5", "GPIO9"});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(nlohmann::json::parse(r.Stdout),
            nlohmann::json::parse(R"({"type":"ICH_GPIO","pins":[{"pin":"GPIO5","item":1,"state":"Output High"},
                                      {"pin":"GPIO9","item":3,"state":"Input High"}]})"));
  // A pin that is no GPIO has no state to show: said, and exit 1.
  r = Ctl("ich10-nct6776f.json", {"panel", "refresh", "GPIO9", "GPIO40"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout, "GPIO9 = Input High\nGPIO40 = none\n");
  EXPECT_NE(r.Stderr.find("GPIO40 reads none of the four states"), std::string::npos) << r.Stderr;
}

TEST_F(CtlPanel, SkylakePadsAreWrittenOnlyOnA100SeriesPch) {
  TProcessResult r = Ctl("skylake-pch-z170-nct6791d.json", {"panel", "apply", "GPIOB12=1"});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  const std::vector<nlohmann::json> writes = Trace("mem_write");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0]["address"], 0xFDAF0520u);
  EXPECT_EQ(writes[0]["value"], 0x44000201u);
  const std::vector<nlohmann::json> pins = Trace("pin");
  ASSERT_EQ(pins.size(), 1u);
  EXPECT_EQ(pins[0]["pin"], "GPP_B_12");
  EXPECT_EQ(pins[0]["state"], "output_high");

  r = Ctl("skylake-pch-z170-nct6791d.json", {"panel", "refresh", "GPIOD0", "GPIOI10"});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, "GPIOD0 = Output High\nGPIOI10 = Input High\n");

  // The ICH10 board's LPC bridge is no 100-series PCH: refused before any memory write.
  r = Ctl("ich10-nct6776f.json", {"panel", "--type", "SKLPCH_GPIO", "apply", "GPIOB12=1"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("8086:3a18, no Intel 100-series PCH"), std::string::npos) << r.Stderr;
  EXPECT_TRUE(Trace("mem_write").empty());
  for (const nlohmann::json& e : Trace("mem_read")) EXPECT_LT(e["address"], 0xFD000000u) << e.dump();
  // --force passes the ID check; with no pad memory on that board it still stops, and says why.
  r = Ctl("ich10-nct6776f.json", {"panel", "--type", "SKLPCH_GPIO", "--force", "apply", "GPIOB12=1"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("PADBAR registers could not be read"), std::string::npos) << r.Stderr;
  EXPECT_TRUE(Trace("mem_write").empty());
}

TEST_F(CtlPanel, HandlersRunOnEveryDemoBoard) {
  for (const char* board : {"demo.json", "ich10-nct6776f.json", "skylake-pch-z170-nct6791d.json"}) {
    for (const char* type : {"SIO_GPIO", "ICH_GPIO", "SKLPCH_GPIO"}) {
      const std::string what = std::string(board) + " " + type;
      TProcessResult r = Ctl(board, {"panel", "--type", type, "refresh", "GPIO12"});
      // Done, or refused with the reason: no GPIO block, no PCH, or no pin driver yet for
      // the board's Super I/O chip, or a pin name the owner does not have.
      if (r.ExitCode != 0) {
        EXPECT_EQ(r.ExitCode, 1) << what;
        const bool explained = r.Stderr.find("no ICH GPIO block") != std::string::npos ||
                               r.Stderr.find("no Intel 100-series PCH") != std::string::npos ||
                               r.Stderr.find("no pin driver") != std::string::npos ||
                               r.Stderr.find("reads none of the four states") != std::string::npos;
        EXPECT_TRUE(explained) << what << ": " << r.Stderr;
      }
      EXPECT_FALSE(r.TimedOut) << what;
      EXPECT_EQ(r.Stderr.find("left in configuration mode"), std::string::npos) << what;
    }
  }
}

TEST_F(CtlPanel, UsageErrors) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"panel", "--type", "ICH_GPIO", "apply", "GPIO5"},
           {"panel", "--type", "ICH_GPIO", "apply", "GPIO5=3"},
           {"panel", "--type", "ICH_GPIO", "apply", "=1"},
           {"panel", "--type", "ich_gpio", "refresh", "GPIO5"},
           {"panel", "refresh"}}) {
    TProcessResult r = Ctl("ich10-nct6776f.json", args);
    EXPECT_EQ(r.ExitCode, 2) << args.back();
    EXPECT_FALSE(r.Stderr.empty());
  }
  // No --type and no INI section for the board's model (sio-dual.json names none).
  TProcessResult r = Ctl("sio-dual.json", {"panel", "refresh", "GPIO12"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("no --type given"), std::string::npos) << r.Stderr;
}

}  // namespace
