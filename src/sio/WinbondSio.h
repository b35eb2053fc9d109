#pragma once
// TWinbondSio: the concrete Super I/O object every chip family builds on. It implements the
// hardware monitor (voltages, fan speeds, temperatures) reached through the monitor's index/
// data pair at the base of logical device 0x0B, the watchdog start/stop of logical device 8
// and the fan input map. It drives no GPIO pins itself: the builder hands it out for chips
// without a model class and when nothing was detected, and its GPIO slots touch no register.

#include <array>
#include <cstdint>
#include <map>
#include <span>

#include "sio/AbstractSio.h"

// GPIO bank tables of the Winbond-style model classes (and the Nuvoton ones built on them):
// record types and the helpers that spell their rows, so each row reads like the line of the
// chip's register map it comes from. The walkers are members of TWinbondSio.
namespace gpio_table {

// One step of a pin write, a group switch or a read's preparation, in table order.
struct TStep {
  enum TOp : std::uint8_t { None, Ldn, Read, Modify, ClearPinBit, Reread, Assign };
  TOp Op = None;
  std::uint8_t Reg = 0;     // Ldn: the logical device
  std::uint8_t And = 0xFF;  // Modify: register := (register OR Or) AND And, one read-modify-write
  std::uint8_t Or = 0;      // Assign: the value written
};
// LDN n: select logical device n.
constexpr TStep Ldn(std::uint8_t ldn) { return {TStep::Ldn, ldn}; }
// Read a register (global, or of the selected device) into the read's register set.
constexpr TStep Read(std::uint8_t reg) { return {TStep::Read, reg}; }
// Read a register again although this ReadGPIO call has read it (a chip read that re-reads
// a device's register 0x30 bank by bank); later tests of the call see the new value.
constexpr TStep Reread(std::uint8_t reg) { return {TStep::Reread, reg}; }
// R := v: a write alone, without reading the register first.
constexpr TStep Assign(std::uint8_t reg, std::uint8_t value) {
  return {TStep::Assign, reg, 0xFF, value};
}
// R OR v / R AND v: one read-modify-write.
constexpr TStep Or(std::uint8_t reg, std::uint8_t bits) { return {TStep::Modify, reg, 0xFF, bits}; }
constexpr TStep And(std::uint8_t reg, std::uint8_t bits) { return {TStep::Modify, reg, bits, 0}; }
// R set to (R OR o) AND a in one read-modify-write.
constexpr TStep OrAnd(std::uint8_t reg, std::uint8_t orBits, std::uint8_t andBits) {
  return {TStep::Modify, reg, andBits, orBits};
}
// R AND NOT mask, mask being the written pin's bit.
constexpr TStep ClearPinBit(std::uint8_t reg) { return {TStep::ClearPinBit, reg}; }

// One bank of WriteGPIO: the preparation steps, then WriteGPIOBits with the bank's registers
// on the logical device the steps selected last.
struct TWriteBank {
  std::uint8_t Bank;
  std::array<TStep, 6> Steps;
  std::uint8_t IoSelect, Data, Inversion;
};

// One bank of EnableGPIOGroup.
struct TGroupSwitch {
  std::uint8_t Bank;
  std::array<TStep, 12> Steps;
};

// A test of a register value a ReadGPIO call has read: (value AND Mask) == Value. Registers
// below 0x30 are global; the others belong to logical device Ldn. An unused test never holds.
struct TTest {
  bool Used = false;
  std::uint8_t Ldn = 0;
  std::uint8_t Reg = 0;
  std::uint8_t Mask = 0;
  std::uint8_t Value = 0;
};
constexpr TTest kNever{};
// Bit `bit` of global register `reg` set (or clear).
constexpr TTest Bit(std::uint8_t reg, int bit, bool set) {
  const auto mask = static_cast<std::uint8_t>(1u << bit);
  return {true, 0, reg, mask, set ? mask : std::uint8_t{0}};
}
// Bit `bit` of register `reg` of logical device `ldn` set (or clear).
constexpr TTest DeviceBit(std::uint8_t ldn, std::uint8_t reg, int bit, bool set) {
  const auto mask = static_cast<std::uint8_t>(1u << bit);
  return {true, ldn, reg, mask, set ? mask : std::uint8_t{0}};
}
// Global register `reg` AND `mask` equals `value`.
constexpr TTest Masked(std::uint8_t reg, std::uint8_t mask, std::uint8_t value) {
  return {true, 0, reg, mask, value};
}

// "Afterwards": the pins `Pins` (bits of the bank) read GPIO_NOT_GPIO when a test holds
// (with AllOf: when every test given holds).
struct TPinRule {
  std::uint8_t Pins = 0;
  std::array<TTest, 4> AnyOf{};
  bool AllOf = false;
};
// The pins read GPIO_NOT_GPIO when both tests hold (conditions on two registers at once).
constexpr TPinRule WhenBoth(std::uint8_t pins, TTest first, TTest second) {
  return {pins, {first, second}, true};
}

// A logical-device field meaning "the device the bank's steps selected".
constexpr std::uint8_t kSelectedDevice = 0xFF;

// The registers one ReadGPIO call has read, each read once: global ones (below 0x30) and
// those of logical devices, keyed by device.
class TReads {
 public:
  explicit TReads(TSioBase& sio) : m_Sio(sio) {}
  void Select(std::uint8_t ldn);
  // A global register, or one of the selected device; read from the chip on first request.
  std::uint8_t Read(std::uint8_t reg);
  // A register of any device: read now when it is global or of the selected device and was
  // not read yet; 0 for a register of another device the table did not read before.
  std::uint8_t Value(std::uint8_t ldn, std::uint8_t reg);
  // Reads a register of the selected device (or a global one) from the chip again.
  std::uint8_t Reread(std::uint8_t reg);
  bool Holds(const TTest& test);
  bool Holds(const TPinRule& rule);

 private:
  static std::uint32_t Key(std::uint8_t ldn, std::uint8_t reg);
  TSioBase& m_Sio;
  bool m_Selected = false;
  std::uint8_t m_Ldn = 0;
  std::map<std::uint32_t, std::uint8_t> m_Values;
};

// The gpioSelect argument of a bank (a set bit: the pin works as GPIO).
struct TSelect {
  enum TForm : std::uint8_t { All, NotRegisters, Register, Computed };
  TForm Form = All;
  std::uint8_t Reg1 = 0;  // NotRegisters: NOT ((Reg1 OR Reg2) AND Bits), Reg2 0 meaning Reg1
  std::uint8_t Reg2 = 0;  // alone; Register: Reg1 as read
  std::uint8_t (*Compute)(TReads& reads) = nullptr;  // Computed: irregular forms, named code
  std::uint8_t Bits = 0xFF;  // the pins the multi-function register has bits for
  std::uint8_t Ldn = kSelectedDevice;  // selected before the registers are read
};
constexpr TSelect kAllGpio{};
constexpr TSelect NotReg(std::uint8_t reg) { return {TSelect::NotRegisters, reg, 0, nullptr}; }
// A multi-function register with bits for some pins only; the others are always GPIO.
constexpr TSelect NotRegBits(std::uint8_t reg, std::uint8_t bits) {
  return {TSelect::NotRegisters, reg, 0, nullptr, bits};
}
// The multi-function register of another logical device, selected first.
constexpr TSelect NotRegIn(std::uint8_t ldn, std::uint8_t reg) {
  return {TSelect::NotRegisters, reg, 0, nullptr, 0xFF, ldn};
}
constexpr TSelect ComputedIn(std::uint8_t ldn, std::uint8_t (*compute)(TReads&)) {
  return {TSelect::Computed, 0, 0, compute, 0xFF, ldn};
}
constexpr TSelect NotRegs(std::uint8_t reg1, std::uint8_t reg2) {
  return {TSelect::NotRegisters, reg1, reg2, nullptr};
}
constexpr TSelect AsRead(std::uint8_t reg) { return {TSelect::Register, reg, 0, nullptr}; }
constexpr TSelect ComputedBy(std::uint8_t (*compute)(TReads&)) {
  return {TSelect::Computed, 0, 0, compute};
}

// One bank of ReadGPIO, in read order: the steps before the bank (device selections and
// reads the chip needs in this order), then the bank's registers in the device the steps
// selected: its register 0x30, I/O select, data, inversion and the gpioSelect registers;
// then DecodeGPIOBank and the pin rules.
struct TReadBank {
  std::uint8_t Bank;
  std::array<TStep, 8> Before;
  std::uint8_t EnableBit;
  TTest NotGpio;  // the whole bank serves another function while it holds
  std::uint8_t IoSelect, Data, Inversion;
  TSelect Select;
  std::array<TPinRule, 8> After;
  std::uint8_t Pins = 8;
  // The device whose register 0x30 holds EnableBit when it is not the bank's own (its 0x30
  // must have been read earlier in the call), and the pins the inversion register has bits
  // for.
  std::uint8_t EnableLdn = kSelectedDevice;
  std::uint8_t InversionBits = 0xFF;
};

}  // namespace gpio_table

class TWinbondSio : public TAbstractSio {
 public:
  // Detection pass (TSioBase), then InitHwmAddress and BuildFanMap of this class, at
  // `requestedPort` when one is given (see TSioBase). Model classes take the same argument.
  explicit TWinbondSio(std::uint16_t requestedPort = kNoRequestedPort);
  ~TWinbondSio() override;                                                          // 0

  void InitHwmAddress() override;                                                   // 1
  void Reserved2() override {}                                                      // 2
  // Voltage of a divider input: (raw * (R1 + R2) - Offset * 0.0625 * R1) / (R2 * 125) + Base.
  // R2 = 0 gives a quiet NaN (std::isnan tells it from any reading); a null input gives 0.
  float ReadVoltage(VoltageInput* input) override;                                  // 3
  float ReadVoltageAt(std::uint8_t bank, std::uint8_t reg, std::uint8_t r1, std::uint8_t r2,
                      std::uint16_t offset, float base) override;                  // 4
  int ReadFanSpeed(std::uint8_t bank, std::uint8_t countReg, std::uint8_t divReg1,
                   std::uint8_t divMask1, std::uint8_t divShift1, std::uint8_t divReg2,
                   std::uint8_t divMask2, std::uint8_t divShift2) override;         // 5
  std::uint16_t ReadFanSpeedWord(std::uint8_t bank, std::uint8_t highReg,
                                 std::uint8_t lowReg) override;                     // 6
  int ReadTemperature(std::uint8_t bank, std::uint8_t reg) override;                // 7
  int ReadTemperatureFrom(std::uint8_t bank, std::uint8_t reg,
                          std::uint8_t source) override;                            // 8
  int ReadTemperature2(std::uint8_t bank, std::uint8_t reg, std::uint8_t source) override;  // 9
  void DisableWatchdog() override;                                                  // 13

  // Pin write step shared by every model class, on the logical device the caller selected;
  // `mask` has the pin's bit set. The pin's inversion bit is always cleared; an input Mode
  // (0x41-0x43) sets the I/O-select bit; 0x81/0x82 clear it and then clear/set the data bit
  // (direction before level). Any other Mode changes nothing more. Each change is one
  // read-modify-write.
  void WriteGPIOBits(std::uint8_t ioReg, std::uint8_t dataReg, std::uint8_t Mode,
                     std::uint8_t mask, std::uint8_t invReg);

  // The pin model's hardware side; the generic object has no GPIO map.
  void ReadGPIO() override {}                                                       // 22
  void WriteGPIO(std::uint8_t /*Pin*/, std::uint8_t /*Mode*/) override {}           // 23
  void EnableGPIOGroup(std::uint8_t /*Pin*/) override {}                            // 24
  virtual void SelectHwmBank(std::uint8_t bank);                                    // 25
  virtual std::uint8_t ReadHwmBankRegister(std::uint8_t bank, std::uint8_t reg);    // 26
  virtual void StartWatchdog(std::uint8_t count);                                   // 27
  virtual void BuildFanMap();                                                       // 28

  // Walkers of the model classes' bank tables (gpio_table above).
  void ReadGPIOBanks(std::span<const gpio_table::TReadBank> banks);
  // Nothing for a bank the table does not list.
  void WriteGPIOBank(std::span<const gpio_table::TWriteBank> banks, std::uint8_t Pin,
                     std::uint8_t Mode);
  void RunGPIOSteps(std::span<const gpio_table::TStep> steps, std::uint8_t mask);
  // The start of EnableGPIOGroup: logs "Group" with the group (Pin / 8) for every call, and
  // returns the group's row, or null when the table has none.
  const gpio_table::TGroupSwitch* FindGroupSwitch(std::span<const gpio_table::TGroupSwitch> groups,
                                                  std::uint8_t Pin);

  // The fan inputs of the map: {bank, count, 0, div1 reg/mask/shift, 0, div2 reg/mask/shift};
  // the second divisor field supplies bit 2 of the divisor exponent.
  static constexpr THwmFan_t kCpuFanIn = {0x00, 0x29, 0, 0x47, 0xC0, 6, 0, 0x5D, 0x40, 4};
  static constexpr THwmFan_t kSysFanIn = {0x00, 0x28, 0, 0x47, 0x30, 4, 0, 0x5D, 0x20, 3};
  static constexpr THwmFan_t kAuxFanIn = {0x00, 0x2A, 0, 0x4B, 0xC0, 6, 0, 0x5D, 0x80, 5};
  static constexpr THwmFan_t kAuxFanIn1 = {0x05, 0x53, 0, 0x59, 0x0C, 2, 0, 0x59, 0x80, 5};
  static constexpr THwmFan_t kCpuFanIn1 = {0x00, 0x3F, 0, 0x59, 0x03, 0, 0, 0x4C, 0x08, 1};

  // Hardware-monitor and watchdog registers.
  static constexpr std::uint8_t kLdnWatchdog = 0x08;
  static constexpr std::uint8_t kLdnHardwareMonitor = 0x0B;
  static constexpr std::uint8_t kWdtControl = 0xF5;  // bit 1 starts the counter
  static constexpr std::uint8_t kWdtCounter = 0xF6;
  static constexpr std::uint8_t kHwmBankSelect = 0x4E;      // low nibble: bank
  static constexpr std::uint8_t kHwmTemperatureSource = 0x00;  // bank 2, low nibble
};
