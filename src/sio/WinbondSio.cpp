#include "sio/WinbondSio.h"

TWinbondSio::TWinbondSio(std::uint16_t requestedPort) : TAbstractSio(requestedPort) {
  // Called here, while the object is still a TWinbondSio, so these are this class's versions
  // even when a model class is being constructed.
  TWinbondSio::InitHwmAddress();
  TWinbondSio::BuildFanMap();
}

TWinbondSio::~TWinbondSio() = default;

void TWinbondSio::InitHwmAddress() {
  SelectLogicalDevice(kLdnHardwareMonitor);
  HwmBase = ReadBaseAddress();
  HwmIndexPort = static_cast<std::uint16_t>(HwmBase + 5);
  HwmDataPort = static_cast<std::uint16_t>(HwmBase + 6);
}

void TWinbondSio::SelectHwmBank(std::uint8_t bank) {
  if (bank == 0xFF) return;  // 0xFF: the register is not banked
  const std::uint8_t current = ReadHwmRegister(kHwmBankSelect);
  WriteHwmRegister(kHwmBankSelect, static_cast<std::uint8_t>((current & 0xF0) | bank));
}

std::uint8_t TWinbondSio::ReadHwmBankRegister(std::uint8_t bank, std::uint8_t reg) {
  SelectHwmBank(bank);
  return ReadHwmRegister(reg);
}

int TWinbondSio::ReadTemperature(std::uint8_t bank, std::uint8_t reg) {
  return static_cast<std::int8_t>(ReadHwmBankRegister(bank, reg));
}

int TWinbondSio::ReadTemperatureFrom(std::uint8_t bank, std::uint8_t reg, std::uint8_t source) {
  if (source != 0xFF && !TemperatureSourceSet) {
    SelectHwmBank(2);
    const std::uint8_t current = ReadHwmRegister(kHwmTemperatureSource);
    WriteHwmRegister(kHwmTemperatureSource, static_cast<std::uint8_t>((current & 0xF0) | source));
    TemperatureSourceSet = true;
  }
  return ReadTemperature(bank, reg);
}

int TWinbondSio::ReadTemperature2(std::uint8_t bank, std::uint8_t reg, std::uint8_t /*source*/) {
  return ReadTemperature(bank, reg);
}

namespace {
// (raw * (R1 + R2) - Offset * 0.0625 * R1) / (R2 * 125) + Base, each term a 32-bit float.
// A divider with R2 = 0 has no defined scale; it reads as 0 V rather than an infinity.
float VoltageFormula(std::uint8_t raw, std::uint8_t r1, std::uint8_t r2, std::uint16_t offset,
                     float base) {
  if (r2 == 0) return 0.0f;
  const float fraw = static_cast<float>(raw);
  const float sum = static_cast<float>(r1 + r2);
  const float shift = static_cast<float>(offset) * 0.0625f * static_cast<float>(r1);
  const float scale = static_cast<float>(r2 * 125);
  const float value = (fraw * sum - shift) / scale + base;
  return value;
}
}  // namespace

float TWinbondSio::ReadVoltage(VoltageInput* input) {
  if (input == nullptr) return 0.0f;
  const std::uint8_t raw = ReadHwmBankRegister(input->Bank, input->Reg);
  input->Raw = raw;
  input->Value = VoltageFormula(raw, input->R1, input->R2, input->Offset, input->Base);
  return input->Value;
}

float TWinbondSio::ReadVoltageAt(std::uint8_t bank, std::uint8_t reg, std::uint8_t r1,
                                 std::uint8_t r2, std::uint16_t offset, float base) {
  return VoltageFormula(ReadHwmBankRegister(bank, reg), r1, r2, offset, base);
}

int TWinbondSio::ReadFanSpeed(std::uint8_t bank, std::uint8_t countReg, std::uint8_t divReg1,
                              std::uint8_t divMask1, std::uint8_t divShift1,
                              std::uint8_t divReg2, std::uint8_t divMask2,
                              std::uint8_t divShift2) {
  SelectHwmBank(bank);
  const unsigned count = ReadHwmRegister(countReg);
  if (count == 0 || count >= 0xFE) return 0;  // stopped fan or counter overflow
  SelectHwmBank(0);                             // the divisor fields live in bank 0
  const unsigned field1 = ReadHwmRegister(divReg1) & divMask1;
  const unsigned field2 = ReadHwmRegister(divReg2) & divMask2;
  const unsigned e1 = divShift1 < 8 ? field1 >> divShift1 : 0;
  const unsigned e2 = divShift2 < 8 ? field2 >> divShift2 : 0;
  // e1 + e2 spans 0..7 with the built-in fan map; a caller's own mask/shift pair may give a
  // larger exponent, for which the speed is below one revolution per minute.
  const unsigned exponent = e1 + e2;
  if (exponent >= 32) return 0;
  const std::uint64_t divisor = static_cast<std::uint64_t>(count) << exponent;
  return static_cast<int>(1356000ULL / divisor);
}

std::uint16_t TWinbondSio::ReadFanSpeedWord(std::uint8_t bank, std::uint8_t highReg,
                                            std::uint8_t lowReg) {
  SelectHwmBank(bank);
  const unsigned high = ReadHwmRegister(highReg);
  const unsigned low = ReadHwmRegister(lowReg);
  const unsigned value = high * 256 + low;
  return (value >= 165 && value <= 9999) ? static_cast<std::uint16_t>(value) : 0;
}

void TWinbondSio::StartWatchdog(std::uint8_t count) {
  SelectLogicalDevice(kLdnWatchdog);
  WriteConfigRegister(kWdtCounter, count);
  WriteConfigRegister(kWdtControl, static_cast<std::uint8_t>(ReadConfigRegister(kWdtControl) | 0x02));
}

void TWinbondSio::DisableWatchdog() {
  SelectLogicalDevice(kLdnWatchdog);
  WriteConfigRegister(kWdtControl, static_cast<std::uint8_t>(ReadConfigRegister(kWdtControl) & 0xFD));
}

void TWinbondSio::BuildFanMap() {
  // Name -> {bank, count, 0, div1 reg/mask/shift, 0, div2 reg/mask/shift}. The second field
  // supplies bit 2 of the divisor exponent.
  Fans[L"CPUFANIN"] = {0x00, 0x29, 0, 0x47, 0xC0, 6, 0, 0x5D, 0x40, 4};
  Fans[L"SYSFANIN"] = {0x00, 0x28, 0, 0x47, 0x30, 4, 0, 0x5D, 0x20, 3};
  Fans[L"AUXFANIN"] = {0x00, 0x2A, 0, 0x4B, 0xC0, 6, 0, 0x5D, 0x80, 5};
  Fans[L"AUXFANIN1"] = {0x05, 0x53, 0, 0x59, 0x0C, 2, 0, 0x59, 0x80, 5};
  Fans[L"CPUFANIN1"] = {0x00, 0x3F, 0, 0x59, 0x03, 0, 0, 0x4C, 0x08, 1};
}
