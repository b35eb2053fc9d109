// gavreloctl gpio --owner ich|pch as a process on the ICH10 and Z170 demo boards.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/CtlBoardRun.h"

namespace {

using CtlChipsetGpio = CtlBoardRun;

TEST_F(CtlChipsetGpio, IchPinsAreListedSetAndChecked) {
  TProcessResult r = Ctl("ich10-nct6776f.json", {"gpio", "--owner", "ich", "list", "--json"});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  const nlohmann::json list = nlohmann::json::parse(r.Stdout);
  EXPECT_EQ(list["chip"], "ICH GPIO at 0x0500");
  ASSERT_EQ(list["pins"].size(), 96u);
  EXPECT_EQ(list["pins"][0], (nlohmann::json{{"pin", "GPIO0"}, {"state", "Output High"}}));
  EXPECT_EQ(list["pins"][3], (nlohmann::json{{"pin", "GPIO3"}, {"state", "Not GPIO High"}}));
  EXPECT_EQ(list["pins"][95]["pin"], "GPIO95");
  for (const nlohmann::json& e : Trace("out")) EXPECT_EQ(e["port"], 0xCF8) << e.dump();  // only reads

  r = Ctl("ich10-nct6776f.json", {"gpio", "--owner", "ich", "set", "GPIO40=INPUT,GPIO5=LOW"});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  std::vector<std::string> written;
  for (const nlohmann::json& e : Trace("out"))
    if (e["port"] != 0xCF8) written.push_back(std::to_string(e["port"].get<int>()));
  // use select 2, I/O select 2; use select, invert, I/O select, level of bank 0
  EXPECT_EQ(written, (std::vector<std::string>{"1328", "1332", "1280", "1324", "1284", "1292"}));

  r = Ctl("ich10-nct6776f.json", {"gpio", "--owner", "ich", "check", "GPIO9=INPUTHIGH", "GPIO40=LOW"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout, "GPIO9=INPUTHIGH: Input High (match)\nGPIO40=LOW: Not GPIO Low (mismatch)\n");

  // No GPIO block on the Z170 board's LPC bridge: refused before any pin is read.
  r = Ctl("skylake-pch-z170-nct6791d.json", {"gpio", "--owner", "ich", "list"});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_NE(r.Stderr.find("no ICH GPIO block"), std::string::npos) << r.Stderr;
  EXPECT_EQ(r.Stdout, "");
}

TEST_F(CtlChipsetGpio, PchPadsAreListedAndSetOnlyOnA100SeriesPch) {
  TProcessResult r = Ctl("skylake-pch-z170-nct6791d.json", {"gpio", "--owner", "pch", "list"});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout.rfind("Skylake PCH pads (LPC A145)\nGPP_A_0 = Not GPIO\nGPP_A_1 = Input Low\n", 0), 0u)
      << r.Stdout;
  EXPECT_NE(r.Stdout.find("GPP_A_23 = Input Low\n\nGPP_B_0 = Input Low\n"), std::string::npos);
  EXPECT_NE(r.Stdout.find("GPP_I_10 = Input High\n"), std::string::npos);

  r = Ctl("skylake-pch-z170-nct6791d.json", {"gpio", "--owner", "pch", "set", "gpiob12=high"});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  const std::vector<nlohmann::json> writes = Trace("mem_write");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0]["address"], 0xFDAF0520u);
  EXPECT_EQ(writes[0]["value"], 0x44000201u);

  // The ICH10 board's LPC bridge is no 100-series PCH: no pad memory is read or written.
  r = Ctl("ich10-nct6776f.json", {"gpio", "--owner", "pch", "set", "GPIOB12=HIGH"});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_NE(r.Stderr.find("8086:3a18, no Intel 100-series PCH"), std::string::npos) << r.Stderr;
  EXPECT_TRUE(Trace("mem_write").empty());
  for (const nlohmann::json& e : Trace("mem_read")) EXPECT_LT(e["address"], 0xFD000000u) << e.dump();
  // Forced, the PADBARs cannot be read there either, and that is said too.
  r = Ctl("ich10-nct6776f.json", {"gpio", "--owner", "pch", "--force", "list"});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_NE(r.Stderr.find("PADBAR registers could not be read"), std::string::npos) << r.Stderr;
  EXPECT_EQ(r.Stdout, "");
}

}  // namespace
