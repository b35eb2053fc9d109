// The pins of the virtual Super I/O chip: their electrical state after each configuration
// write, one trace event per change, pins whose mux conditions do not hold never moving,
// inputs reading the board's external levels, and the board file's "inputs".

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "SioTestBoard.h"

namespace {

class SuperIoGpioTest : public SioBoardTest {
 protected:
  // One register write with the chip unlocked (no lock in between: the pins react to each
  // data write, not to the bracket).
  void Set(std::uint8_t reg, std::uint8_t value) {
    Out(0x2E, reg);
    Out(0x2F, value);
  }
  std::uint8_t Get(std::uint8_t reg) {
    Out(0x2E, reg);
    return In(0x2F);
  }
  std::string State(const std::string& pin) {
    const TSuperIoGpio::TPin* p = Chip(0x2E).Gpio()->Find(pin);
    return p == nullptr ? "no pin" : TSuperIoGpio::StateName(p->State);
  }
  std::vector<TPinChange> Changes() { return Board().Trace().PinChanges(); }
  static TPinChange Pin(const std::string& pin, const std::string& state, int level) {
    return {"sio", "W83627UHG", 0x2E, pin, state, level};
  }
};

TEST_F(SuperIoGpioTest, PinsMoveOnlyWhenActiveMuxedToGpioAndOutputs) {
  LoadChip({{"name", "W83627UHG"}, {"port", "0x2E"}, {"keys", "winbond"},
            {"global", {{"0x2C", "0x00"}}},
            {"devices", {{"0x09", {{"registers", {{"0xE0", "0xFF"}}}}}}}});
  const TSuperIoGpio& gpio = *Chip(0x2E).Gpio();
  ASSERT_EQ(gpio.Pins().size(), 48u);  // banks 1 to 6 of eight pins
  EXPECT_EQ(gpio.Pins().front().Name, "GPIO10");
  EXPECT_EQ(gpio.Pins().back().Name, "GPIO67");
  // Bits 1..0 of 0x2C = 00: GPIO12 to GPIO15 serve other functions; the others of bank 1
  // are idle inputs.
  EXPECT_EQ(State("GPIO10"), "input");
  EXPECT_EQ(State("GPIO12"), "not_gpio");
  EXPECT_EQ(State("GPIO15"), "not_gpio");
  EXPECT_EQ(State("GPIO16"), "input");
  // The devices of the layout exist although the board file lists only device 9.
  EXPECT_TRUE(Chip(0x2E).HasDevice(0x07));
  EXPECT_TRUE(Chip(0x2E).HasDevice(0x0F));
  EXPECT_TRUE(Changes().empty()) << "loading the board is no pin change";

  Out(0x2E, 0x87);
  Out(0x2E, 0x87);
  Set(0x07, 0x09);
  Set(0xE0, 0x00);  // all outputs, but the bank is not active yet: nothing moves
  EXPECT_TRUE(Changes().empty());
  Set(0xE1, 0x05);
  Set(0x30, 0x01);  // active: GPIO10 (high), 11, 16, 17 (low) drive; 12 to 15 are no GPIO
  EXPECT_EQ(Changes(), (std::vector<TPinChange>{Pin("GPIO10", "output_high", 1),
                                                Pin("GPIO11", "output_low", 0),
                                                Pin("GPIO16", "output_low", 0),
                                                Pin("GPIO17", "output_low", 0)}));
  Board().Trace().Clear();
  // Writing the data bit of a pin that is not GPIO moves nothing.
  Set(0xE1, 0x01);
  EXPECT_TRUE(Changes().empty());
  EXPECT_EQ(State("GPIO12"), "not_gpio");
  // 0x2C bits 10: pins 10 to 13 become GPIO outputs (data 0x01: all low).
  Set(0x2C, 0x02);
  EXPECT_EQ(Changes(), (std::vector<TPinChange>{Pin("GPIO12", "output_low", 0),
                                                Pin("GPIO13", "output_low", 0),
                                                Pin("GPIO14", "output_low", 0),
                                                Pin("GPIO15", "output_low", 0)}));
  Board().Trace().Clear();
  // Inversion flips the level; the same write again changes nothing; a read changes nothing.
  Set(0xE2, 0x04);
  Set(0xE2, 0x04);
  Get(0xE1);
  EXPECT_EQ(Changes(), (std::vector<TPinChange>{Pin("GPIO12", "output_high", 1)}));
  Board().Trace().Clear();
  // 11: the whole bank is taken; the pins report the outside's level (default high).
  Set(0x2C, 0x03);
  const std::vector<TPinChange> taken = Changes();
  ASSERT_EQ(taken.size(), 8u);
  EXPECT_EQ(taken[0], Pin("GPIO10", "not_gpio", 1));
  EXPECT_EQ(taken[2], Pin("GPIO12", "not_gpio", 1));
  Out(0x2E, 0xAA);

  // The pin event in the JSON log.
  const std::vector<TTraceEvent> events = Board().Trace().OfKind(TTraceKind::Pin);
  ASSERT_FALSE(events.empty());
  const nlohmann::json json = TAccessTrace::ToJson(events[0]);
  EXPECT_EQ(json["kind"], "pin");
  EXPECT_EQ(json["owner"], "sio");
  EXPECT_EQ(json["chip"], "W83627UHG");
  EXPECT_EQ(json["port"], 46);
  EXPECT_EQ(json["pin"], "GPIO10");
  EXPECT_EQ(json["state"], "not_gpio");
  EXPECT_EQ(json["level"], 1);
  EXPECT_TRUE(json.contains("seq") && json.contains("us"));
}

TEST_F(SuperIoGpioTest, InputsReadTheBoardsLevelsThroughTheInversion) {
  // Bank 3 (LDN 7 E0-E2) of a W83627UHG, UART C (LDN 6) off: GPIO31 is held low outside.
  LoadChip({{"name", "W83627UHG"}, {"port", "0x2E"}, {"keys", "winbond"},
            {"devices", {{"0x07", {{"registers", {{"0x30", "0x01"}, {"0xE0", "0xFF"},
                                                  {"0xE1", "0x00"}, {"0xE2", "0x00"}}}}}}},
            {"inputs", {{"GPIO31", 0}, {"GPIO32", "1"}}}});
  EXPECT_EQ(State("GPIO31"), "input");
  EXPECT_EQ(Chip(0x2E).Gpio()->Find("GPIO31")->Level, 0);
  EXPECT_EQ(Chip(0x2E).Gpio()->Find("GPIO30")->Level, 1);  // not named: pulled high
  Out(0x2E, 0x87);
  Out(0x2E, 0x87);
  Set(0x07, 0x07);
  EXPECT_EQ(Get(0xE1), 0xFD);  // every input high but pin 25
  Set(0xE2, 0x03);
  EXPECT_EQ(Get(0xE1), 0xFE);  // sampled through the inversion
  // An output reads its latch; the latch of an input keeps what was written.
  Set(0xE2, 0x00);
  Set(0xE1, 0x00);
  Set(0xE0, 0xFE);  // pin 24 drives low
  EXPECT_EQ(Get(0xE1), 0xFC);
  EXPECT_EQ(Chip(0x2E).Device(0x07, 0xE1), 0x00);
  // UART C active: the pins serve the serial port, none reads as a GPIO input any more.
  Set(0x07, 0x06);
  Set(0x30, 0x01);
  EXPECT_EQ(State("GPIO30"), "not_gpio");
  Set(0x07, 0x07);
  EXPECT_EQ(Get(0xE1), 0x00);
  Out(0x2E, 0xAA);
}

TEST_F(SuperIoGpioTest, BoardFileInputsAreChecked) {
  const std::vector<std::pair<nlohmann::json, std::string>> bad = {
      {{{"name", "W83697HF"}, {"inputs", {{"GPIO10", 0}}}}, "has no GPIO layout"},
      {{{"name", "W83627UHG"}, {"inputs", {{"GPIO70", 0}}}}, "inputs.GPIO70: the chip has no such pin"},
      {{{"name", "W83627UHG"}, {"inputs", {{"GPIO10", 2}}}}, "inputs.GPIO10"},
      {{{"name", "W83627UHG"}, {"inputs", {"GPIO10"}}}, "expected an object of pins"},
  };
  for (const auto& [fields, message] : bad) {
    nlohmann::json chip = {{"port", "0x2E"}, {"keys", "winbond"}};
    chip.update(fields);
    SCOPED_TRACE(chip.dump());
    try {
      LoadChip(chip);
      ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  }
}

}  // namespace
