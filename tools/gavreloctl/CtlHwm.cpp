// gavreloctl hwm: the hardware monitor of the Winbond chip behind port 0x2E, through the
// object Build(0x2E) returns: every fan of its fan map in RPM, and the temperature and
// voltage inputs of the W83627/W83667 monitor with the chip's default scaling.
//
// Refused (exit 2) when no Winbond chip was detected at 0x2E; exit 1 when the monitor's base
// address reads as no address (0 or all ones), so no failed read is shown as a reading. The
// monitor's bank select register is put back to what it held before.

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "host/Console.h"
#include "sio/SioBuilder.h"
#include "tools/gavreloctl/CtlCommand.h"
#include "tools/gavreloctl/CtlSioReport.h"

namespace {

// Temperature inputs: signed 8-bit whole degrees Celsius (the half-degree bit that banks 1
// and 2 keep in the next register is not read).
struct TTemperatureInput {
  const char* Name;
  std::uint8_t Bank, Reg;
};
constexpr TTemperatureInput kTemperatures[] = {
    {"SYSTIN", 0, 0x27},
    {"CPUTIN", 1, 0x50},
    {"AUXTIN", 2, 0x50},
};

// Voltage inputs: 8 mV per count (ReadVoltageAt with R1 0, R2 1). The supply inputs sit behind
// the chip's internal 34k/34k divider (twice the pin's voltage); the VIN inputs are shown as
// the pin sees them, since the board's own dividers are not known here.
struct TVoltageInput {
  const char* Name;
  std::uint8_t Bank, Reg, R1, R2;
};
constexpr TVoltageInput kVoltages[] = {
    {"CPUVCORE", 0, 0x20, 0, 1}, {"VIN0", 0, 0x21, 0, 1},   {"AVCC", 0, 0x22, 34, 34},
    {"3VCC", 0, 0x23, 34, 34},   {"VIN1", 0, 0x24, 0, 1},   {"VIN2", 0, 0x25, 0, 1},
    {"VIN3", 0, 0x26, 0, 1},     {"3VSB", 5, 0x50, 34, 34}, {"VBAT", 5, 0x51, 34, 34},
};

constexpr std::uint8_t kHwmBankSelect = 0x4E;  // low nibble: the bank of the other registers

constexpr const char* kFanScaling =
    "RPM = 1356000 / (count * 2^divisor); a count of 0, 0xFE or 0xFF reads 0 (stopped or too "
    "slow to count)";
constexpr const char* kTemperatureScaling = "signed 8-bit, 1 degree Celsius per count";
constexpr const char* kVoltageScaling =
    "the chip's default: 8 mV per count; AVCC, 3VCC, 3VSB and VBAT through the chip's 34k/34k "
    "divider; VIN inputs as seen at the pin, without the board's own dividers";

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

int RunHwm(bool asJson) {
  constexpr std::uint8_t kPort = 0x2E;
  CtlRequireHardwareAccess();
  TSioBuilder& builder = TSioBuilder::Instance();
  const std::uint16_t family = builder.Detector->GetFamily(kPort);
  if (family == SIO_NONE || (family & 0xFF00) != SIO_WINBOND) {
    std::fprintf(stderr,
                 "hwm: %s; this command reads the Winbond hardware monitor (families 0x100 to "
                 "0x1FF)\n",
                 family == SIO_NONE
                     ? "no Super I/O chip was detected at port 0x2E"
                     : ("the chip at port 0x2E is of family " + Hex(family, 3)).c_str());
    return kCtlUsage;
  }
  TAbstractSio& sio = *builder.Build(kPort);
  const std::string chip = host::WideToUtf8(sio.ChipEntry().FullName);
  if (sio.HwmBase == 0 || sio.HwmBase == 0xFFFF) {
    std::fprintf(stderr,
                 "hwm: the monitor's base address (logical device 0x0B, registers 0x60/0x61) "
                 "of %s reads %s: there is no monitor to read\n",
                 chip.c_str(), Hex(sio.HwmBase, 4).c_str());
    CtlWarnChipsLeftUnlocked();
    return kCtlFailed;
  }

  // The monitor's bank select is handed back as found: the readings move it.
  const std::uint8_t bankSelect = sio.ReadHwmRegister(kHwmBankSelect);
  nlohmann::json report = {{"chip", chip},
                           {"port", kPort},
                           {"class", TSioBuilder::ClassName(TSioBuilder::ClassForFamily(family))},
                           {"hwm_base", sio.HwmBase},
                           {"fan_scaling", kFanScaling},
                           {"temperature_scaling", kTemperatureScaling},
                           {"voltage_scaling", kVoltageScaling}};
  report["fans"] = nlohmann::json::array();
  for (const auto& [name, fan] : sio.Fans) {
    const int rpm = sio.ReadFanSpeed(fan.Bank, fan.CountReg, fan.DivReg1, fan.DivMask1,
                                     fan.DivShift1, fan.DivReg2, fan.DivMask2, fan.DivShift2);
    report["fans"].push_back({{"name", host::WideToUtf8(name)},
                              {"rpm", rpm},
                              {"bank", fan.Bank},
                              {"count_register", fan.CountReg}});
  }
  report["temperatures"] = nlohmann::json::array();
  for (const TTemperatureInput& t : kTemperatures)
    report["temperatures"].push_back({{"name", t.Name},
                                      {"celsius", sio.ReadTemperature(t.Bank, t.Reg)},
                                      {"bank", t.Bank},
                                      {"register", t.Reg}});
  report["voltages"] = nlohmann::json::array();
  for (const TVoltageInput& v : kVoltages) {
    const float volts = sio.ReadVoltageAt(v.Bank, v.Reg, v.R1, v.R2, 0, 0.0f);
    report["voltages"].push_back({{"name", v.Name},
                                  {"volts", static_cast<double>(volts)},
                                  {"bank", v.Bank},
                                  {"register", v.Reg},
                                  {"r1", v.R1},
                                  {"r2", v.R2}});
  }

  sio.WriteHwmRegister(kHwmBankSelect, bankSelect);

  if (asJson) {
    std::printf("%s\n", report.dump(2).c_str());
  } else {
    std::printf("%s at 0x2E (%s), hardware monitor at %s (index %s, data %s)\n", chip.c_str(),
                report["class"].get<std::string>().c_str(), Hex(sio.HwmBase, 4).c_str(),
                Hex(sio.HwmIndexPort, 4).c_str(), Hex(sio.HwmDataPort, 4).c_str());
    std::printf("Fans (%s):\n", kFanScaling);
    for (const auto& f : report["fans"])
      std::printf("  %-10s %6d RPM   bank %d count register %s\n",
                  f["name"].get<std::string>().c_str(), f["rpm"].get<int>(), f["bank"].get<int>(),
                  Hex(f["count_register"], 2).c_str());
    std::printf("Temperatures (%s):\n", kTemperatureScaling);
    for (const auto& t : report["temperatures"])
      std::printf("  %-10s %6d C     bank %d register %s\n", t["name"].get<std::string>().c_str(),
                  t["celsius"].get<int>(), t["bank"].get<int>(), Hex(t["register"], 2).c_str());
    std::printf("Voltages (%s):\n", kVoltageScaling);
    for (const auto& v : report["voltages"])
      std::printf("  %-10s %6.3f V     bank %d register %s\n", v["name"].get<std::string>().c_str(),
                  v["volts"].get<double>(), v["bank"].get<int>(), Hex(v["register"], 2).c_str());
  }
  CtlWarnChipsLeftUnlocked();
  return kCtlSuccess;
}

void RegisterHwm(CLI::App& app, TCtlContext& context) {
  CLI::App* hwm = app.add_subcommand(
      "hwm", "Fan speeds, temperatures and voltages of the Winbond chip's hardware monitor");
  static bool asJson = false;  // outlives the parse and the callback
  hwm->add_flag("--json", asJson, "Print the result as JSON");
  hwm->callback([&context] { context.ExitCode = RunHwm(asJson); });
}

TCtlCommandRegistrar g_registrar(&RegisterHwm);

}  // namespace
