// The board file's chipset_gpio section: where the ICH block and the PCH communities land,
// what the section refuses, and the hub behaviour the tool's register sequences rely on.

#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "sim/IchGpio.h"
#include "sim/SkylakePchPads.h"
#include "sim/VirtualBoard.h"

namespace {

nlohmann::json Lpc(const char* reg48, const char* reg58 = "0") {
  return {{"functions",
           {{{"bdf", "00:1f.0"}, {"vendor_id", "0x8086"}, {"device_id", "0x3A18"},
             {"class", "0x060100"}, {"dwords", {{"0x48", reg48}, {"0x58", reg58}}}}}}};
}

TEST(ChipsetGpioSection, RefusesWhatTheHubCouldNotBe) {
  const std::pair<nlohmann::json, std::string> cases[] = {
      {{{"chipset_gpio", {{"ich", nlohmann::json::object()}}}}, "no LPC bridge at 00:1f.0"},
      {{{"pci", Lpc("0x500", "0x10481")}, {"chipset_gpio", {{"ich", nlohmann::json::object()}}}},
       "name no GPIO base"},
      {{{"pci", Lpc("0x501")}, {"chipset_gpio", {{"ich", {{"registers", {{"0x02", 1}}}}}}}},
       "dwords at offsets of 4"},
      {{{"pci", Lpc("0x501")}, {"chipset_gpio", {{"ich", {{"inputs_high", {"GPIO96"}}}}}}},
       "inputs_high[0]"},
      {{{"pci", Lpc("0x501")}, {"chipset_gpio", {{"ich", {{"input", {"GPIO1"}}}}}}},
       "unknown field \"input\""},
      {{{"chipset_gpio", {{"skylake_pch", {{"pads", {{"GPP_E_13", {{"mode", 1}}}}}}}}}},
       "no pad \"GPP_E_13\""},
      {{{"chipset_gpio", {{"skylake_pch", {{"pads", {{"GPP_A_1", {{"mode", 8}}}}}}}}}},
       "pads.GPP_A_1.mode"},
      {{{"chipset_gpio", {{"skylake_pch", {{"padbar", {"0x400", "0x400", "0x400"}}}}}}},
       "four communities"},
      {{{"chipset_gpio", {{"skylake_pch", {{"padbar", {"0x400", "0xFC00", "0x400", "0x400"}}}}}}},
       "padbar[1]"},
      {{{"chipset_gpio", {{"skylake_pch", {{"padbar", {"0x8", "0x400", "0x400", "0x400"}}}}}}},
       "past the PADBAR register"},
  };
  for (const auto& [description, message] : cases) {
    try {
      TVirtualBoard::FromJson(description);
      ADD_FAILURE() << "accepted: " << description.dump();
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos)
          << error.what() << " / expected: " << message;
    }
  }
}

TEST(ChipsetGpioSection, IchLevelsReadTheLatchForOutputsAndThePinOtherwise) {
  auto board = TVirtualBoard::FromJson(
      {{"pci", Lpc("0x500", "0x481")},
       {"chipset_gpio",
        {{"ich", {{"registers", {{"0x00", "0x0F"}, {"0x04", "0x0C"}, {"0x0C", "0x0A"}}},
                  {"inputs_high", {"GPIO2", "GPIO4", "GPIO70"}}}}}}});
  auto* gpio = dynamic_cast<TIchGpio*>(board->PortDeviceAt(0x480));
  ASSERT_NE(gpio, nullptr);
  EXPECT_EQ(board->PortDeviceAt(0x4FF), gpio);
  EXPECT_EQ(board->PortDeviceAt(0x500), nullptr);
  // GPIO0-1 outputs (latch 0b10), GPIO2-3 inputs (pin 2 high), GPIO4 native (pin high).
  std::uint32_t value = 0;
  ASSERT_TRUE(board->PortRead(0x48C, 4, value));
  EXPECT_EQ(value, 0x16u);
  ASSERT_TRUE(board->PortRead(0x48D, 1, value));  // byte cycles reach the dword they fall in
  EXPECT_EQ(value, 0x00u);
  ASSERT_TRUE(board->PortRead(0x4C8, 4, value));
  EXPECT_EQ(value, 0x40u);
  // A byte write changes its byte only; GPI_INV never changes what the level reads.
  ASSERT_TRUE(board->PortWrite(0x480, 1, 0x1F));
  ASSERT_TRUE(board->PortWrite(0x4AC, 4, 0xFFFFFFFF));
  EXPECT_EQ(gpio->Register(0x00), 0x1Fu);
  ASSERT_TRUE(board->PortRead(0x48C, 4, value));
  EXPECT_EQ(value, 0x06u);  // GPIO4 became an output with latch 0
  EXPECT_STREQ(gpio->PinState(4), "output_low");
  EXPECT_STREQ(gpio->PinState(2), "input");
  EXPECT_STREQ(gpio->PinState(5), "not_gpio");
}

TEST(ChipsetGpioSection, PchPadsFollowTheirBuffersAndKeepPadBarReadOnly) {
  auto board = TVirtualBoard::FromJson(
      {{"chipset_gpio",
        {{"skylake_pch", {{"padbar", {"0x400", "0x500", "0x600", "0x700"}},
                          {"pads", {{"GPP_C_0", {{"dw0", "0x44000300"}, {"dw1", "0x3C00"}}},
                                    {"GPP_I_10", {{"mode", 2}}}}},
                          {"inputs_high", {"GPP_C_1"}}}}}}});
  auto* c = TSkylakePchCommunity::Holding(*board, "GPP_C_1");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->PadBar(), 0x500u);
  EXPECT_EQ(c->Dw0("GPP_C_0"), 0x44000300u);
  EXPECT_EQ(c->Dw1("GPP_C_0"), 0x3C00u);
  EXPECT_EQ(c->Dw0("GPP_C_1"), 0x44000102u);  // an input seeing a high level
  EXPECT_EQ(TSkylakePchCommunity::Holding(*board, "GPP_I_10")->Dw0("GPP_I_10"), 0x44000900u);
  std::uint32_t value = 0;
  ASSERT_TRUE(board->MemoryRead(0xFDAE000C, &value, 4, 4));
  EXPECT_EQ(value, 0x500u);
  value = 0x123;
  ASSERT_TRUE(board->MemoryWrite(0xFDAE000C, &value, 4, 4));
  ASSERT_TRUE(board->MemoryRead(0xFDAE000C, &value, 4, 4));
  EXPECT_EQ(value, 0x500u);
  // An output drives its TX state, and RX state follows it; writes never set RX state.
  value = 0x44000201;
  ASSERT_TRUE(board->MemoryWrite(0xFDAE0508, &value, 4, 4));  // GPP_C_1
  EXPECT_EQ(c->Dw0("GPP_C_1"), 0x44000201u);
  value = 0x44000002;
  ASSERT_TRUE(board->MemoryWrite(0xFDAE0508, &value, 4, 4));  // both buffers on, TX low
  EXPECT_EQ(c->Dw0("GPP_C_1"), 0x44000000u);
  // Byte reads (a block read) assemble the same words.
  std::uint8_t bytes[8] = {};
  ASSERT_TRUE(board->MemoryRead(0xFDAE0500, bytes, 8, 1));
  EXPECT_EQ(bytes[1], 0x03);
  EXPECT_EQ(bytes[5], 0x3C);
  // The sideband window outside the communities is not decoded.
  EXPECT_FALSE(board->MemoryRead(0xFD000000, &value, 4, 4));
}

}  // namespace
