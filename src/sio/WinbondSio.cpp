#include "sio/WinbondSio.h"

#include <limits>
#include <string>

#include "diag/DebugConsole.h"

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
// A divider with R2 = 0 (no lower resistor: the pin sits at ground) has no scale: the result
// is a quiet NaN, which no reading can be, rather than an infinity or a 0 V that looks like a
// dead rail. The register is still read (ReadVoltage keeps it in Raw).
float VoltageFormula(std::uint8_t raw, std::uint8_t r1, std::uint8_t r2, std::uint16_t offset,
                     float base) {
  if (r2 == 0) return std::numeric_limits<float>::quiet_NaN();
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
  Fans[L"CPUFANIN"] = kCpuFanIn;
  Fans[L"SYSFANIN"] = kSysFanIn;
  Fans[L"AUXFANIN"] = kAuxFanIn;
  Fans[L"AUXFANIN1"] = kAuxFanIn1;
  Fans[L"CPUFANIN1"] = kCpuFanIn1;
}

// ---------------------------------------------------------------------------------------------
// GPIO: the pin write step and the walkers of the model classes' bank tables.
// ---------------------------------------------------------------------------------------------

namespace {
constexpr std::uint8_t kRegActivation = 0x30;
constexpr std::uint8_t kFirstDeviceRegister = 0x30;
}  // namespace

void TWinbondSio::WriteGPIOBits(std::uint8_t ioReg, std::uint8_t dataReg, std::uint8_t Mode,
                                std::uint8_t mask, std::uint8_t invReg) {
  const auto notMask = static_cast<std::uint8_t>(~mask);
  // The pin is never left inverted, whatever Mode asks for.
  WriteConfigRegister(invReg, static_cast<std::uint8_t>(ReadConfigRegister(invReg) & notMask));
  switch (Mode) {
    case GPIO_INPUT_LOW:
    case GPIO_INPUT_HIGH:
    case GPIO_INPUT:
      WriteConfigRegister(ioReg, static_cast<std::uint8_t>(ReadConfigRegister(ioReg) | mask));
      break;
    case GPIO_OUTPUT_LOW:
    case GPIO_OUTPUT_HIGH:
      // Direction first, then the level: the pin drives only the level it is meant to.
      WriteConfigRegister(ioReg, static_cast<std::uint8_t>(ReadConfigRegister(ioReg) & notMask));
      if (Mode == GPIO_OUTPUT_LOW)
        WriteConfigRegister(dataReg, static_cast<std::uint8_t>(ReadConfigRegister(dataReg) & notMask));
      else
        WriteConfigRegister(dataReg, static_cast<std::uint8_t>(ReadConfigRegister(dataReg) | mask));
      break;
    default:
      break;
  }
}

void TWinbondSio::RunGPIOSteps(std::span<const gpio_table::TStep> steps, std::uint8_t mask) {
  using gpio_table::TStep;
  for (const TStep& step : steps) {
    switch (step.Op) {
      case TStep::None:
        break;
      case TStep::Ldn:
        SelectLogicalDevice(step.Reg);
        break;
      case TStep::Read:
      case TStep::Reread:
        ReadConfigRegister(step.Reg);
        break;
      case TStep::Assign:
        WriteConfigRegister(step.Reg, step.Or);
        break;
      case TStep::Modify:
        WriteConfigRegister(step.Reg, static_cast<std::uint8_t>(
                                          (ReadConfigRegister(step.Reg) | step.Or) & step.And));
        break;
      case TStep::ClearPinBit:
        WriteConfigRegister(step.Reg, static_cast<std::uint8_t>(ReadConfigRegister(step.Reg) &
                                                                static_cast<std::uint8_t>(~mask)));
        break;
    }
  }
}

const gpio_table::TGroupSwitch* TWinbondSio::FindGroupSwitch(
    std::span<const gpio_table::TGroupSwitch> groups, std::uint8_t Pin) {
  const unsigned group = Pin / 8u;
  Console.LogValue("Group", std::to_string(group), 9);  // for every call, handled or not
  for (const gpio_table::TGroupSwitch& row : groups)
    if (row.Bank == group) return &row;
  return nullptr;
}

void TWinbondSio::WriteGPIOBank(std::span<const gpio_table::TWriteBank> banks, std::uint8_t Pin,
                                std::uint8_t Mode) {
  const std::uint8_t bank = Pin / 8;
  const auto mask = static_cast<std::uint8_t>(1u << (Pin % 8));
  for (const gpio_table::TWriteBank& row : banks) {
    if (row.Bank != bank) continue;
    RunGPIOSteps(row.Steps, mask);
    WriteGPIOBits(row.IoSelect, row.Data, Mode, mask, row.Inversion);
    return;
  }
}

void TWinbondSio::ReadGPIOBanks(std::span<const gpio_table::TReadBank> banks) {
  using gpio_table::TSelect;
  using gpio_table::TStep;
  gpio_table::TReads reads(*this);
  for (const gpio_table::TReadBank& bank : banks) {
    for (const TStep& step : bank.Before) {
      if (step.Op == TStep::Ldn) reads.Select(step.Reg);
      if (step.Op == TStep::Read) reads.Read(step.Reg);
      if (step.Op == TStep::Reread) reads.Reread(step.Reg);
    }
    // The activation bit may sit in another device than the bank's registers (read before).
    const std::uint8_t active = bank.EnableLdn == gpio_table::kSelectedDevice
                                    ? reads.Read(kRegActivation)
                                    : reads.Value(bank.EnableLdn, kRegActivation);
    const std::uint8_t io = reads.Read(bank.IoSelect);
    const std::uint8_t data = reads.Read(bank.Data);
    const auto inversion = static_cast<std::uint8_t>(reads.Read(bank.Inversion) & bank.InversionBits);
    if (bank.Select.Ldn != gpio_table::kSelectedDevice) reads.Select(bank.Select.Ldn);
    std::uint8_t select = 0xFF;
    switch (bank.Select.Form) {
      case TSelect::All:
        break;
      case TSelect::NotRegisters: {
        std::uint8_t taken = reads.Read(bank.Select.Reg1);
        if (bank.Select.Reg2 != 0) taken = static_cast<std::uint8_t>(taken | reads.Read(bank.Select.Reg2));
        select = static_cast<std::uint8_t>(~(taken & bank.Select.Bits));
        break;
      }
      case TSelect::Register:
        select = reads.Read(bank.Select.Reg1);
        break;
      case TSelect::Computed:
        select = bank.Select.Compute != nullptr ? bank.Select.Compute(reads) : 0xFF;
        break;
    }
    const bool notGpio = reads.Holds(bank.NotGpio);
    std::uint8_t* states = GPIO + bank.Bank * 8;
    const std::uint32_t count = bank.Pins;
    DecodeGPIOBank(notGpio ? 1 : 0, (active >> bank.EnableBit) & 1u, io, data, inversion, select,
                   states, count);
    for (const gpio_table::TPinRule& rule : bank.After) {
      if (!reads.Holds(rule)) continue;
      for (unsigned bit = 0; bit < count && bit < 8; ++bit)
        if ((rule.Pins >> bit) & 1u) states[bit] = GPIO_NOT_GPIO;
    }
  }
}

namespace gpio_table {

std::uint32_t TReads::Key(std::uint8_t ldn, std::uint8_t reg) {
  // Global registers are the same whatever device is selected.
  return reg < kFirstDeviceRegister ? reg : (0x100u + ldn) << 8 | reg;
}

void TReads::Select(std::uint8_t ldn) {
  m_Sio.SelectLogicalDevice(ldn);
  m_Selected = true;
  m_Ldn = ldn;
}

std::uint8_t TReads::Read(std::uint8_t reg) {
  const std::uint32_t key = Key(m_Ldn, reg);
  const auto it = m_Values.find(key);
  if (it != m_Values.end()) return it->second;
  const std::uint8_t value = m_Sio.ReadConfigRegister(reg);
  m_Values[key] = value;
  return value;
}

std::uint8_t TReads::Value(std::uint8_t ldn, std::uint8_t reg) {
  const auto it = m_Values.find(Key(ldn, reg));
  if (it != m_Values.end()) return it->second;
  if (reg < kFirstDeviceRegister || (m_Selected && ldn == m_Ldn)) return Read(reg);
  return 0;
}

std::uint8_t TReads::Reread(std::uint8_t reg) {
  m_Values.erase(Key(m_Ldn, reg));
  return Read(reg);
}

bool TReads::Holds(const TTest& test) {
  if (!test.Used) return false;
  return (Value(test.Ldn, test.Reg) & test.Mask) == test.Value;
}

bool TReads::Holds(const TPinRule& rule) {
  // Every test is evaluated (each register read once), whatever the earlier ones gave.
  bool any = false;
  bool all = true;
  bool used = false;
  for (const TTest& test : rule.AnyOf) {
    if (!test.Used) continue;
    used = true;
    const bool holds = Holds(test);
    any = any || holds;
    all = all && holds;
  }
  return rule.AllOf ? used && all : any;
}

}  // namespace gpio_table
