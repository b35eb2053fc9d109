// The virtual Super I/O chip: key protocols, locked behaviour, logical devices, the
// hardware monitor's banks, the trace's state events, the end-of-run check, and the
// board-file section's refusals.

#include <gtest/gtest.h>

#include <string>

#include "sim/HardwareMonitor.h"
#include "SioTestBoard.h"

namespace {

class SuperIoChipTest : public SioBoardTest {
 protected:
  std::vector<std::string> StateDetails() {
    std::vector<std::string> details;
    for (const TTraceEvent& e : Board().Trace().OfKind(TTraceKind::State)) details.push_back(e.Detail);
    return details;
  }
};

const nlohmann::json kDevices = {{"0x07", {{"registers", {{"0x30", "0x01"}, {"0xE0", "0x5A"}}},
                                           {"read_only", {"0xE0"}}}}};

TEST_F(SuperIoChipTest, WinbondKeysAndLockedBehaviour) {
  // A model without a GPIO layout: its devices are exactly those the board file lists.
  LoadChip({{"name", "W83697HF"}, {"port", "0x2E"}, {"keys", "winbond"}, {"id", "A2 30"},
            {"devices", kDevices}});
  // Locked: both ports read 0xFF, data writes are ignored; a broken key restarts.
  Out(0x2E, 0x20);
  EXPECT_EQ(In(0x2F), 0xFF);
  EXPECT_EQ(In(0x2E), 0xFF);
  Out(0x2E, 0x87);
  Out(0x2E, 0x01);
  Out(0x2E, 0x87);
  EXPECT_FALSE(Chip(0x2E).Unlocked());
  Out(0x2E, 0x87);
  ASSERT_TRUE(Chip(0x2E).Unlocked());
  Out(0x2E, 0x20);
  EXPECT_EQ(In(0x2F), 0xA2);
  Out(0x2F, 0x00);  // ID registers are read-only
  EXPECT_EQ(In(0x2F), 0xA2);
  // Logical devices: 0x07 selects, absent devices read 0xFF and keep nothing.
  Out(0x2E, 0x07);
  Out(0x2F, 0x07);
  Out(0x2E, 0x30);
  EXPECT_EQ(In(0x2F), 0x01);
  Out(0x2E, 0xE0);
  Out(0x2F, 0x00);
  EXPECT_EQ(In(0x2F), 0x5A);  // read-only in the board file
  Out(0x2E, 0x07);
  Out(0x2F, 0x09);
  Out(0x2E, 0x30);
  Out(0x2F, 0x01);
  EXPECT_EQ(In(0x2F), 0xFF);
  EXPECT_EQ(TSuperIoChip::LeftUnlocked(Board()),
            (std::vector<std::string>{"superio W83697HF @0x2E"}));
  Out(0x2E, 0xAA);
  EXPECT_FALSE(Chip(0x2E).Unlocked());
  Out(0x2E, 0x07);
  Out(0x2F, 0x07);  // ignored: locked
  EXPECT_EQ(Chip(0x2E).SelectedDevice(), 0x09);
  EXPECT_TRUE(TSuperIoChip::LeftUnlocked(Board()).empty());
  EXPECT_EQ(StateDetails(),
            (std::vector<std::string>{R"({"config_mode":true})", R"({"ldn":"0x07","present":true})",
                                      R"({"ldn":"0x09","present":false})",
                                      R"({"by":"0xAA","config_mode":false})"}));
}

TEST_F(SuperIoChipTest, IteAndSmscKeys) {
  LoadJson({{"superio",
             {{"chips",
               {{{"name", "IT8712F"}, {"port", "0x4E"}, {"keys", "ite"}, {"id", "87 12"}},
                {{"name", "LPC47M192"}, {"port", "0x2E"}, {"keys", "smsc"}, {"id", "60"}}}}}}});
  // At 0x4E the ITE key ends 0xAA; the 0x2E ending 0x55 does not open it.
  for (std::uint8_t b : {0x87, 0x01, 0x55, 0x55}) Out(0x4E, b);
  EXPECT_FALSE(Chip(0x4E).Unlocked());
  for (std::uint8_t b : {0x87, 0x01, 0x55, 0xAA}) Out(0x4E, b);
  ASSERT_TRUE(Chip(0x4E).Unlocked());
  Out(0x4E, 0xAA);  // an index for ITE, not the lock
  EXPECT_TRUE(Chip(0x4E).Unlocked());
  Out(0x4E, 0x02);
  Out(0x4F, 0x01);  // bit 1 clear: stays open
  EXPECT_TRUE(Chip(0x4E).Unlocked());
  Out(0x4F, 0x02);
  EXPECT_FALSE(Chip(0x4E).Unlocked());

  Out(0x2E, 0x87);
  EXPECT_FALSE(Chip(0x2E).Unlocked());
  Out(0x2E, 0x55);
  ASSERT_TRUE(Chip(0x2E).Unlocked());
  Out(0x2E, 0x20);
  EXPECT_EQ(In(0x2F), 0x60);
  Out(0x2E, 0xAA);
  EXPECT_FALSE(Chip(0x2E).Unlocked());
}

TEST_F(SuperIoChipTest, HardwareMonitorBanks) {
  nlohmann::json chip = {{"name", "NCT6776F"}, {"port", "0x2E"}, {"keys", "nuvoton"}};
  chip["devices"]["0x0B"]["registers"] = {{"0x60", "0x02"}, {"0x61", "0x90"}};
  chip["hwm"]["banks"]["0"] = {{"0x4E", "0x80"}, {"0x20", "0x11"}};
  chip["hwm"]["banks"]["1"] = {{"0x20", "0x22"}};
  chip["hwm"]["read_only"] = {"1:0x20"};
  LoadChip(chip);
  Out(0x295, 0x20);
  EXPECT_EQ(In(0x296), 0x11);
  Out(0x295, 0x4E);
  Out(0x296, 0x81);
  Out(0x295, 0x20);
  EXPECT_EQ(In(0x296), 0x22);
  Out(0x296, 0x00);  // read-only in bank 1
  EXPECT_EQ(In(0x296), 0x22);
  Out(0x295, 0x4E);
  EXPECT_EQ(In(0x296), 0x81);  // the bank register is the same in every bank
}

TEST_F(SuperIoChipTest, SectionRefusesMalformedChips) {
  const nlohmann::json good = {{"name", "X"}, {"port", "0x2E"}, {"keys", "winbond"}};
  auto refuses = [&](nlohmann::json chip, const std::string& field) {
    gavrelo::ResetProcessStateForTests();
    try {
      LoadChip(chip);
      ADD_FAILURE() << "accepted: " << chip.dump();
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(field), std::string::npos) << e.what();
    }
  };
  refuses({{"name", "X"}, {"port", "0x2E"}, {"keys", "intel"}}, "keys");
  refuses({{"name", "X"}, {"keys", "winbond"}}, "port");
  auto extra = good;
  extra["colour"] = "red";
  refuses(extra, "colour");
  auto longId = good;
  longId["id"] = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10";
  refuses(longId, "id");
  auto noLdnB = good;
  noLdnB["hwm"] = nlohmann::json::object();
  refuses(noLdnB, "hwm");
  auto badReg = good;
  badReg["global"] = {{"0x30", "0x01"}};
  refuses(badReg, "global");
  auto badValue = good;
  badValue["devices"] = {{"0x07", {{"registers", {{"0x30", "0x100"}}}}}};
  refuses(badValue, "devices");
  // Two chips on one port pair.
  gavrelo::ResetProcessStateForTests();
  EXPECT_THROW(LoadJson({{"superio", {{"chips", {good, good}}}}}), std::runtime_error);
}

}  // namespace
