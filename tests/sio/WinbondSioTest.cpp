// The generic Winbond object: hardware-monitor reads through the monitor's index/data pair,
// the watchdog start/stop, the fan map, and GPIO slots that touch no register.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "host/Console.h"
#include "sim/HardwareMonitor.h"
#include "sio/SioBuilder.h"
#include "sio/WinbondSio.h"
#include "ConfigAccess.h"
#include "SioTestBoard.h"

namespace {

using Cycle = TPortCycle;
using Cycles_t = std::vector<Cycle>;

class WinbondSioTest : public SioBoardTest {
 protected:
  void SetUp() override {
    SioBoardTest::SetUp();
    Load("sio-WM.json");
    m_Sio = dynamic_cast<TWinbondSio*>(TSioBuilder::Instance().Build(0x2E));
    ASSERT_NE(m_Sio, nullptr);
    m_Hwm = dynamic_cast<THardwareMonitor*>(Board().PortDeviceAt(0x295));
    ASSERT_NE(m_Hwm, nullptr);
    ClearTrace();
  }
  TWinbondSio& Sio() { return *m_Sio; }
  THardwareMonitor& Hwm() { return *m_Hwm; }

 private:
  TWinbondSio* m_Sio = nullptr;
  THardwareMonitor* m_Hwm = nullptr;
};

TEST_F(WinbondSioTest, FanSpeed) {
  // CPUFANIN: count 0x87 in bank 0, divisor exponent 1 from bits 7..6 of 0x47 (0x50).
  EXPECT_EQ(Sio().ReadFanSpeed(0, 0x29, 0x47, 0xC0, 6, 0x5D, 0x40, 4), 1356000 / 270);
  EXPECT_EQ(Cycles(),
            (Cycles_t{Cycle::Out(0x295, 0x4E), Cycle::In(0x296, 0x80), Cycle::Out(0x295, 0x4E),
                      Cycle::Out(0x296, 0x80), Cycle::Out(0x295, 0x29), Cycle::In(0x296, 0x87),
                      Cycle::Out(0x295, 0x4E), Cycle::In(0x296, 0x80), Cycle::Out(0x295, 0x4E),
                      Cycle::Out(0x296, 0x80), Cycle::Out(0x295, 0x47), Cycle::In(0x296, 0x50),
                      Cycle::Out(0x295, 0x5D), Cycle::In(0x296, 0x00)}));
  // Bit 2 of the exponent from the second field: 1 + 4.
  Hwm().SetRegister(0, 0x5D, 0x40);
  EXPECT_EQ(Sio().ReadFanSpeed(0, 0x29, 0x47, 0xC0, 6, 0x5D, 0x40, 4), 1356000 / (0x87 * 32));
  // A stopped fan and an overflowed counter read 0 without touching the divisor.
  for (std::uint8_t count : {0x00, 0xFE, 0xFF}) {
    Hwm().SetRegister(0, 0x28, count);
    ClearTrace();
    EXPECT_EQ(Sio().ReadFanSpeed(0, 0x28, 0x47, 0x30, 4, 0x5D, 0x20, 3), 0) << int(count);
    EXPECT_EQ(Cycles().size(), 6u);
  }
  // A mask/shift pair of the caller's own giving a huge exponent reads 0, not a fault.
  Hwm().SetRegister(0, 0x4B, 0xFF);
  EXPECT_EQ(Sio().ReadFanSpeed(0, 0x29, 0x4B, 0xFF, 0, 0x4B, 0xFF, 0), 0);

  // 16-bit counts: valid from 165 to 9999.
  const std::vector<std::pair<unsigned, unsigned>> words = {
      {164, 0}, {165, 165}, {9999, 9999}, {10000, 0}};
  for (const auto& [raw, speed] : words) {
    Hwm().SetRegister(0, 0xC0, static_cast<std::uint8_t>(raw >> 8));
    Hwm().SetRegister(0, 0xC1, static_cast<std::uint8_t>(raw & 0xFF));
    EXPECT_EQ(Sio().ReadFanSpeedWord(0, 0xC0, 0xC1), speed) << raw;
  }
}

TEST_F(WinbondSioTest, BanksAndTemperatures) {
  Sio().SelectHwmBank(0xFF);
  EXPECT_TRUE(Cycles().empty());
  Hwm().SetRegister(0, THardwareMonitor::kBankSelect, 0x85);
  Sio().SelectHwmBank(3);
  EXPECT_EQ(Cycles(), (Cycles_t{Cycle::Out(0x295, 0x4E), Cycle::In(0x296, 0x85),
                                Cycle::Out(0x295, 0x4E), Cycle::Out(0x296, 0x83)}));
  EXPECT_EQ(Hwm().CurrentBank(), 3);

  Hwm().SetRegister(1, 0x50, 0xFF);
  Hwm().SetRegister(1, 0x51, 0x7F);
  Hwm().SetRegister(1, 0x52, 0x80);
  EXPECT_EQ(Sio().ReadTemperature(1, 0x50), -1);
  EXPECT_EQ(Sio().ReadTemperature(1, 0x51), 127);
  EXPECT_EQ(Sio().ReadTemperature2(1, 0x52, 7), -128);

  // The source (bank 2 register 0x00, low nibble) is written once per process, by whichever
  // object asks first; 0xFF asks for none.
  EXPECT_EQ(Sio().ReadTemperatureFrom(1, 0x51, 0xFF), 127);
  EXPECT_EQ(Hwm().Register(2, 0x00), 0x01);
  EXPECT_FALSE(TemperatureSourceSet);
  TAbstractSio* other = TSioBuilder::Instance().Build(0x4E);  // the generic object, 2nd slot
  CurrentConfigPort = 0x2E;
  other->HwmIndexPort = Sio().HwmIndexPort;
  other->HwmDataPort = Sio().HwmDataPort;
  Hwm().SetRegister(2, 0x00, 0xA1);
  EXPECT_EQ(other->ReadTemperatureFrom(1, 0x51, 0x03), 127);
  EXPECT_EQ(Hwm().Register(2, 0x00), 0xA3);
  EXPECT_TRUE(TemperatureSourceSet);
  EXPECT_EQ(Sio().ReadTemperatureFrom(1, 0x51, 0x05), 127);
  EXPECT_EQ(Hwm().Register(2, 0x00), 0xA3);
}

TEST_F(WinbondSioTest, Voltages) {
  EXPECT_EQ(Sio().ReadVoltage(nullptr), 0.0f);
  EXPECT_TRUE(Cycles().empty());
  Hwm().SetRegister(5, 0x50, 200);
  VoltageInput input;
  input.Bank = 5;
  input.Reg = 0x50;
  input.R1 = 10;
  input.R2 = 10;
  input.Offset = 16;
  input.Base = 0.5f;
  // (200 * 20 - 16 * 0.0625 * 10) / (10 * 125) + 0.5
  const float expected = (200.0f * 20.0f - 10.0f) / 1250.0f + 0.5f;
  EXPECT_FLOAT_EQ(Sio().ReadVoltage(&input), expected);
  EXPECT_EQ(input.Raw, 200);
  EXPECT_FLOAT_EQ(input.Value, expected);
  EXPECT_FLOAT_EQ(Sio().ReadVoltageAt(5, 0x50, 10, 10, 16, 0.5f), expected);
  // The offset is 16 bits wide and may take the result below zero: 65535 * 0.0625 * 10.
  EXPECT_FLOAT_EQ(Sio().ReadVoltageAt(5, 0x50, 10, 10, 0xFFFF, 0.0f),
                  (200.0f * 20.0f - 40959.375f) / 1250.0f);
  // A direct input (R1 0, R2 1): 8 mV per count.
  EXPECT_FLOAT_EQ(Sio().ReadVoltageAt(5, 0x50, 0, 1, 0, 0.0f), 1.6f);
  // No lower divider resistor: no scale. A NaN, which no reading can be; the register is
  // still read and kept in Raw.
  input.R2 = 0;
  input.Raw = 0;
  Hwm().SetRegister(5, 0x50, 77);
  ClearTrace();
  EXPECT_TRUE(std::isnan(Sio().ReadVoltage(&input)));
  EXPECT_TRUE(std::isnan(input.Value));
  EXPECT_EQ(input.Raw, 77);
  EXPECT_FALSE(Cycles().empty());
  EXPECT_TRUE(std::isnan(Sio().ReadVoltageAt(5, 0x50, 10, 0, 0, 1.0f)));
  EXPECT_TRUE(std::isnan(Sio().ReadVoltageAt(5, 0x50, 0, 0, 0, 0.0f)));
}

TEST_F(WinbondSioTest, EveryFanOfTheMapWithItsDivisor) {
  // Divisor fields: 0x47 bits 7..6 = 2 (CPUFANIN), 5..4 = 1 (SYSFANIN); 0x4B bits 7..6 = 3
  // (AUXFANIN); 0x59 bits 3..2 = 3 (AUXFANIN1), 1..0 = 2 (CPUFANIN1); the third divisor bit
  // (value 4) from 0x5D bits 6, 5, 7, 0x59 bit 7 and 0x4C bit 3.
  for (const auto& [reg, value] : std::vector<std::pair<std::uint8_t, std::uint8_t>>{
           {0x47, 0x90}, {0x4B, 0xC0}, {0x5D, 0xE0}, {0x59, 0x8E}, {0x4C, 0x08},
           {0x29, 0x20}, {0x28, 0x40}, {0x2A, 0x0A}, {0x3F, 0x03}})
    Hwm().SetRegister(0, reg, value);
  Hwm().SetRegister(5, 0x53, 0x05);
  const std::map<std::wstring, int> rpm = {
      {L"CPUFANIN", 1356000 / (0x20 << 6)},  {L"SYSFANIN", 1356000 / (0x40 << 5)},
      {L"AUXFANIN", 1356000 / (0x0A << 7)},  {L"AUXFANIN1", 1356000 / (0x05 << 7)},
      {L"CPUFANIN1", 1356000 / (0x03 << 6)},
  };
  for (const auto& [name, fan] : Sio().Fans) {
    SCOPED_TRACE(host::WideToUtf8(name));
    EXPECT_EQ(Sio().ReadFanSpeed(fan.Bank, fan.CountReg, fan.DivReg1, fan.DivMask1,
                                 fan.DivShift1, fan.DivReg2, fan.DivMask2, fan.DivShift2),
              rpm.at(name));
  }
  EXPECT_EQ(rpm.at(L"CPUFANIN"), 662);
  EXPECT_EQ(rpm.at(L"CPUFANIN1"), 7062);
}

TEST_F(WinbondSioTest, WatchdogStartAndStop) {
  TSuperIoChip& chip = Chip(0x2E);
  Sio().StartWatchdog(0x20);
  EXPECT_EQ(chip.Device(0x08, 0xF6), 0x20);
  EXPECT_EQ(chip.Device(0x08, 0xF5), 0x02);
  // The count is loaded before the counter is armed: armed first, the watchdog would run
  // for a moment on the stale count.
  EXPECT_EQ(ConfigAccesses(Cycles()),
            (TAccesses{W(0x07, 0x08), W(0xF6, 0x20), R(0xF5, 0x00), W(0xF5, 0x02)}));
  ClearTrace();
  Sio().DisableWatchdog();
  EXPECT_EQ(ConfigAccesses(Cycles()), (TAccesses{W(0x07, 0x08), R(0xF5, 0x02), W(0xF5, 0x00)}));
  EXPECT_EQ(chip.Device(0x08, 0xF5), 0x00);
  EXPECT_EQ(chip.Device(0x08, 0xF6), 0x20);
  EXPECT_EQ(chip.SelectedDevice(), 0x08);
  ExpectAllChipsLocked();
}

TEST_F(WinbondSioTest, FanMapAndGpioSlots) {
  std::vector<std::wstring> names;
  for (const auto& [name, fan] : Sio().Fans) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"AUXFANIN", L"AUXFANIN1", L"CPUFANIN",
                                              L"CPUFANIN1", L"SYSFANIN"}));
  const THwmFan_t& aux1 = Sio().Fans.at(L"AUXFANIN1");
  EXPECT_EQ(std::vector<int>({aux1.Bank, aux1.CountReg, aux1.DivReg1, aux1.DivMask1,
                              aux1.DivShift1, aux1.DivReg2, aux1.DivMask2, aux1.DivShift2}),
            std::vector<int>({5, 0x53, 0x59, 0x0C, 2, 0x59, 0x80, 5}));
  const THwmFan_t& cpu1 = Sio().Fans.at(L"CPUFANIN1");
  EXPECT_EQ(std::vector<int>({cpu1.Bank, cpu1.CountReg, cpu1.DivReg1, cpu1.DivMask1,
                              cpu1.DivShift1, cpu1.DivReg2, cpu1.DivMask2, cpu1.DivShift2}),
            std::vector<int>({0, 0x3F, 0x59, 0x03, 0, 0x4C, 0x08, 1}));

  // The generic object (the chip's own model class aside) drives no pin.
  TWinbondSio generic(0x2E);
  ClearTrace();
  TGpioBase& gpio = generic;
  EXPECT_TRUE(gpio.ApplyGPIOSetting(L"GPIO10=Low"));
  gpio.ReadGPIO();
  gpio.EnableGPIOGroup(10);
  EXPECT_TRUE(Cycles().empty());
}

TEST_F(WinbondSioTest, WriteGPIOBitsClearsTheInversionThenWritesDirectionBeforeLevel) {
  // The pin step on the device the caller selected, for bit 4: LDN 9 registers F0 to F2,
  // which no bank of the board's chip uses, so they hold what is written. Each change is one
  // read-modify-write; inversion first, direction before level.
  const std::uint8_t io = 0xF0, data = 0xF1, inv = 0xF2, mask = 0x10;
  struct TCase {
    std::uint8_t Mode;
    TAccesses After;  // the accesses after the inversion's read-modify-write
  };
  const std::vector<TCase> cases = {
      {GPIO_INPUT_LOW, {R(io, 0x0F), W(io, 0x1F)}},
      {GPIO_INPUT_HIGH, {R(io, 0x0F), W(io, 0x1F)}},
      {GPIO_INPUT, {R(io, 0x0F), W(io, 0x1F)}},
      {GPIO_OUTPUT_LOW, {R(io, 0x0F), W(io, 0x0F), R(data, 0xB5), W(data, 0xA5)}},
      {GPIO_OUTPUT_HIGH, {R(io, 0x0F), W(io, 0x0F), R(data, 0xB5), W(data, 0xB5)}},
      {GPIO_NOT_GPIO, {}},
      {GPIO_NOT_GPIO_LOW, {}},
      {GPIO_DISABLED, {}},
      {0x00, {}},
      {0x83, {}},
  };
  TSuperIoChip& chip = Chip(0x2E);
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "Mode 0x" << std::hex << int(c.Mode));
    chip.SetDevice(0x09, io, 0x0F);
    chip.SetDevice(0x09, data, 0xB5);
    chip.SetDevice(0x09, inv, 0xFF);
    Sio().SelectLogicalDevice(0x09);
    const TChipRegisters before = ChipRegisters(chip);
    ClearTrace();
    Sio().WriteGPIOBits(io, data, c.Mode, mask, inv);
    TAccesses expected = {R(inv, 0xFF), W(inv, 0xEF)};
    expected.insert(expected.end(), c.After.begin(), c.After.end());
    EXPECT_EQ(ConfigAccesses(Cycles()), expected);
    // Nothing but the pin's bits changed.
    std::map<std::uint32_t, std::pair<int, int>> changed = {{DeviceKey(0x09, inv), {0xFF, 0xEF}}};
    if (c.Mode >= GPIO_INPUT_LOW && c.Mode <= GPIO_INPUT) changed[DeviceKey(0x09, io)] = {0x0F, 0x1F};
    if (c.Mode == GPIO_OUTPUT_LOW) changed[DeviceKey(0x09, data)] = {0xB5, 0xA5};
    EXPECT_EQ(ChangedRegisters(before, ChipRegisters(chip)), changed);
    ExpectAllChipsLocked();
  }
}

}  // namespace
