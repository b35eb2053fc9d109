#include "sim/SuperIoChip.h"

#include "sim/VirtualBoard.h"

#include <cstdio>
#include <utility>

namespace {
constexpr std::uint8_t kRegLdn = 0x07;     // logical device select
constexpr std::uint8_t kRegIteCtrl = 0x02;  // ITE configuration control: bit 1 leaves config mode
constexpr std::uint8_t kFirstDeviceReg = 0x30;

std::string Hex2(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
  return text;
}
}  // namespace

TSuperIoChip::TSuperIoChip(std::string name, std::uint16_t indexPort, TKeyProtocol protocol)
    : m_Name(std::move(name)), m_IndexPort(indexPort), m_Protocol(protocol) {
  m_Unlocked = (protocol == TKeyProtocol::None);
  if (const TSioGpioLayout* layout = FindSioGpioLayout(m_Name)) {
    // The layout's devices exist on the chip whether or not the board file lists them.
    for (const TSioGpioBank& bank : layout->Banks) {
      AddDevice(bank.Ldn);
      AddDevice(bank.EnableLdn);
    }
    for (const TSioMuxRule& rule : layout->Rules)
      for (const TSioRegTest& test : rule.AnyOf)
        if (test.Test != TSioTest::Never && test.Reg >= kFirstDeviceReg) AddDevice(test.Ldn);
    m_Gpio = std::make_unique<TSuperIoGpio>(*layout, *this);
  }
}

TSuperIoChip::~TSuperIoChip() = default;

bool TSuperIoChip::SetExternalLevel(std::string_view pin, int level) {
  if (!m_Gpio || !m_Gpio->SetExternal(pin, level)) return false;
  UpdatePins(false);
  return true;
}

void TSuperIoChip::UpdatePins(bool record) {
  if (!m_Gpio) return;
  const std::vector<const TSuperIoGpio::TPin*> changed = m_Gpio->Update();
  if (!record || Board == nullptr) return;
  for (const TSuperIoGpio::TPin* pin : changed)
    Board->Trace().Pin({{"owner", "sio"},
                        {"chip", m_Name},
                        {"port", m_IndexPort},
                        {"pin", pin->Name},
                        {"state", TSuperIoGpio::StateName(pin->State)},
                        {"level", pin->Level}});
}

const char* TSuperIoChip::ProtocolName(TKeyProtocol protocol) {
  switch (protocol) {
    case TKeyProtocol::Winbond: return "winbond";
    case TKeyProtocol::Ite: return "ite";
    case TKeyProtocol::Smsc: return "smsc";
    case TKeyProtocol::None: return "none";
  }
  return "none";
}

std::vector<std::string> TSuperIoChip::LeftUnlocked(const TVirtualBoard& board) {
  std::vector<std::string> names;
  for (const auto& device : board.PortDevices()) {
    const auto* chip = dynamic_cast<const TSuperIoChip*>(device.get());
    if (chip != nullptr && chip->Report()["left_unlocked"].get<bool>()) names.push_back(chip->Name());
  }
  return names;
}

std::vector<std::pair<std::uint16_t, std::uint16_t>> TSuperIoChip::Ports() const {
  return {{m_IndexPort, static_cast<std::uint16_t>(m_IndexPort + 1)}};
}

std::string TSuperIoChip::Name() const { return "superio " + m_Name + " @" + Hex2(m_IndexPort); }

nlohmann::json TSuperIoChip::Report() const {
  return {{"chip", m_Name},
          {"port", Hex2(m_IndexPort)},
          {"protocol", ProtocolName(m_Protocol)},
          // An ITE embedded controller has no lock: it is never "left unlocked".
          {"left_unlocked", m_Protocol != TKeyProtocol::None && m_Unlocked}};
}

void TSuperIoChip::SetGlobal(std::uint8_t reg, std::uint8_t value, bool readOnly) {
  if (reg >= kFirstDeviceReg) return;
  m_Global[reg] = value;
  m_GlobalReadOnly[reg] = readOnly;
  UpdatePins(false);
}

void TSuperIoChip::AddDevice(std::uint8_t ldn) { m_Devices.try_emplace(ldn); }

void TSuperIoChip::SetDevice(std::uint8_t ldn, std::uint8_t reg, std::uint8_t value,
                             bool readOnly) {
  if (reg < kFirstDeviceReg) return;
  TDevice& device = m_Devices[ldn];
  device.Regs[reg - kFirstDeviceReg] = value;
  device.ReadOnly[reg - kFirstDeviceReg] = readOnly;
  UpdatePins(false);
}

std::uint8_t TSuperIoChip::Device(std::uint8_t ldn, std::uint8_t reg) const {
  const auto it = m_Devices.find(ldn);
  if (it == m_Devices.end() || reg < kFirstDeviceReg) return 0xFF;
  return it->second.Regs[reg - kFirstDeviceReg];
}

std::map<std::uint8_t, std::uint8_t> TSuperIoChip::DeviceActivation() const {
  std::map<std::uint8_t, std::uint8_t> result;
  for (const auto& [ldn, device] : m_Devices) result[ldn] = device.Regs[0];
  return result;
}

void TSuperIoChip::Event(const nlohmann::json& state) {
  if (Board != nullptr) Board->Trace().State(Name(), state);
}

void TSuperIoChip::Lock(const char* how) {
  m_Unlocked = false;
  m_KeyStep = 0;
  Event({{"config_mode", false}, {"by", how}});
}

void TSuperIoChip::Unlock() {
  m_Unlocked = true;
  m_KeyStep = 0;
  Event({{"config_mode", true}});
}

std::uint32_t TSuperIoChip::Read(std::uint16_t port, unsigned width) {
  // Byte-decoding device: a wider cycle is split into bytes at ascending ports.
  std::uint32_t value = 0;
  for (unsigned i = 0; i < width && i < 4; ++i) {
    const std::uint16_t p = static_cast<std::uint16_t>(port + i);
    std::uint8_t byte = 0xFF;
    if (p == m_IndexPort)
      byte = m_Unlocked ? m_Index : 0xFF;
    else if (p == m_IndexPort + 1)
      byte = ReadData();
    value |= static_cast<std::uint32_t>(byte) << (8 * i);
  }
  return value;
}

void TSuperIoChip::Write(std::uint16_t port, unsigned width, std::uint32_t value) {
  for (unsigned i = 0; i < width && i < 4; ++i) {
    const std::uint16_t p = static_cast<std::uint16_t>(port + i);
    const std::uint8_t byte = static_cast<std::uint8_t>(value >> (8 * i));
    if (p == m_IndexPort)
      WriteIndex(byte);
    else if (p == m_IndexPort + 1)
      WriteData(byte);
  }
}

void TSuperIoChip::WriteIndex(std::uint8_t value) {
  if (m_Unlocked) {
    // Winbond-type and SMSC chips leave configuration mode on 0xAA at the index port; an ITE
    // chip only through its control register, so 0xAA is an index there.
    if (value == 0xAA &&
        (m_Protocol == TKeyProtocol::Winbond || m_Protocol == TKeyProtocol::Smsc)) {
      Lock("0xAA");
      return;
    }
    m_Index = value;
    return;
  }
  switch (m_Protocol) {
    case TKeyProtocol::Winbond:
      if (value == 0x87) {
        if (++m_KeyStep == 2) Unlock();
      } else {
        m_KeyStep = 0;
      }
      return;
    case TKeyProtocol::Smsc:
      if (value == 0x55) Unlock();
      return;
    case TKeyProtocol::Ite: {
      const std::uint8_t last = (m_IndexPort == 0x4E) ? 0xAA : 0x55;
      const std::uint8_t key[4] = {0x87, 0x01, 0x55, last};
      if (value == key[m_KeyStep]) {
        if (++m_KeyStep == 4) Unlock();
      } else {
        m_KeyStep = (value == 0x87) ? 1 : 0;  // a new 0x87 starts the sequence again
      }
      return;
    }
    case TKeyProtocol::None:
      m_Index = value;
      return;
  }
}

std::uint8_t TSuperIoChip::ReadData() const {
  if (!m_Unlocked) return 0xFF;
  if (m_Index < kFirstDeviceReg) return m_Global[m_Index];
  const std::uint8_t stored = Device(m_Global[kRegLdn], m_Index);
  return m_Gpio && HasDevice(m_Global[kRegLdn])
             ? m_Gpio->ReadThrough(m_Global[kRegLdn], m_Index, stored)
             : stored;
}

void TSuperIoChip::WriteData(std::uint8_t value) {
  if (!m_Unlocked) return;  // a locked chip ignores data writes
  if (m_Index < kFirstDeviceReg) {
    if (m_Protocol == TKeyProtocol::Ite && m_Index == kRegIteCtrl) {
      if (value & 0x02) Lock("0x02 bit 1");
      return;  // the control register holds nothing
    }
    if (m_GlobalReadOnly[m_Index]) return;
    const bool select = (m_Index == kRegLdn) && value != m_Global[kRegLdn];
    m_Global[m_Index] = value;
    if (select) Event({{"ldn", Hex2(value)}, {"present", HasDevice(value)}});
    UpdatePins(true);
    return;
  }
  const auto it = m_Devices.find(m_Global[kRegLdn]);
  if (it == m_Devices.end()) return;
  TDevice& device = it->second;
  const std::size_t slot = m_Index - kFirstDeviceReg;
  if (device.ReadOnly[slot]) return;
  device.Regs[slot] = value;
  UpdatePins(true);
}
