#include "sio/SioBase.h"

#include <string_view>

#include "diag/DebugConsole.h"
#include "host/Console.h"
#include "hwaccess/ReadWrite.h"
#include "script/Interpreter.h"

std::uint16_t CurrentConfigPort = 0xFFFF;
bool TemperatureSourceSet = false;

void SioResetProcessValues() {
  CurrentConfigPort = 0xFFFF;
  TemperatureSourceSet = false;
}

namespace {
bool StartsWith(const std::wstring& text, std::wstring_view prefix) {
  return std::wstring_view(text).substr(0, prefix.size()) == prefix;
}
}  // namespace

std::uint16_t ClassifySioRow(const TSioCfg& row) {
  // The model names "W83667", "W83627", "NCT6102", "NCT6104" and "NCT6106" name chip lines,
  // not table rows ("W83667HG", "W83627DHG", "NCT6106D"...), so they are compared as prefixes
  // of FullName; compared exactly they would never match and the W83667/W83627 classes could
  // never be chosen. The order of the tests decides: "W83627UHG" is tested before "W83627".
  // All "W83667" rows (HG, HG-A) share the W83667HG register map.
  if (row.Vendor == L"Winbond") {
    if (StartsWith(row.FullName, L"W83667")) return SIO_W83667;
    if (row.FullName == L"W83627UHG") return SIO_W83627UHG;
    // TW83627Sio's bank tables are the register map of the W83627DHG and W83627EHF/EHG, the
    // rows tagged "W627". The W83627HF/F, SF and THF keep their GPIO ports in other logical
    // devices (GPIO Port 2 in device 8 on the HF/F), where those tables would write another
    // device's registers: they stay with the generic object, which writes no pins.
    if (StartsWith(row.FullName, L"W83627") && row.FamilyTag == L"W627") return SIO_W83627;
    return SIO_WINBOND;
  }
  if (row.Vendor == L"Nuvoton") {
    if (row.FullName == L"NCT6776F") return SIO_NCT6776F;
    if (row.FullName == L"NCT6775F/NCT6771F") return SIO_NCT6775F;
    if (row.FullName == L"NCT6791D") return SIO_NCT6791D;
    if (row.FullName == L"NCT6683D") return SIO_NCT6683D;
    if (StartsWith(row.FullName, L"NCT6102") || StartsWith(row.FullName, L"NCT6106") ||
        StartsWith(row.FullName, L"NCT6104"))
      return SIO_NCT610X;
    return SIO_NUVOTON;
  }
  if (row.Vendor == L"ITE") return SIO_ITE;
  // SMSC, FinTek and the vendor-less NCT5573D/NCT5577D rows get no family.
  return SIO_NONE;
}

TSioBase::TSioBase(std::uint16_t requestedPort) : ChipTable(TSioConfig::Instance()) {
  DetectChips();
  if (requestedPort != kNoRequestedPort) CurrentConfigPort = requestedPort;
}

TSioBase::~TSioBase() = default;

void TSioBase::DetectChips() {
  const bool disabled = ReadWrite.Settings().DisableSuperIo;
  Console.LogValue("superio", disabled ? "-1" : "0", 9);
  if (disabled) return;

  m_Matches.clear();
  EntryByPort.clear();
  Interpreter = std::make_unique<TInterpreter>();
  std::int32_t result = 0;  // one result variable for the whole pass
  for (const auto& [name, row] : ChipTable.Entries()) {
    for (const std::wstring& script : row.DetectScripts) {
      // Every script of every row runs; the walk never stops early. An empty script runs
      // nothing and leaves `result` as it was, which after a match is the (non-zero) port.
      Interpreter->Run(host::WideToUtf8(script), result);
      if (result != 0) continue;

      // "LocalA=" by itself yields LocalA, the port the matching script probed.
      Interpreter->Run(host::WideToUtf8(row.PortTemplateA), result);
      const std::uint16_t port = static_cast<std::uint16_t>(result);
      EntryByPort[port] = &row;
      CurrentConfigPort = port;
      Console.LogValue(L"SIO TYPE", row.FullName, 9);

      const std::uint16_t family = ClassifySioRow(row);
      if (row.Vendor == L"Winbond") Console.WriteLine("Winbond");
      if (row.Vendor == L"Nuvoton") Console.WriteLine("Nuvoton");
      if (family != SIO_NONE) FamilyByPort[port] = family;
      m_Matches.push_back({port, &row, family});
    }
  }
  Interpreter.reset();
  // The probes leave a matched chip in configuration mode (later rows' keys open it again).
  // A board is handed back as the firmware left it: each matched port is closed once with
  // its own row's lock script, in port order. CurrentConfigPort stays the last match's port.
  for (const auto& [port, entry] : EntryByPort) RunConfigStep(*entry, port, false);
}

std::uint16_t TSioBase::GetFamily(std::uint8_t port) { return FamilyByPort[port]; }

const TSioCfg& TSioBase::EntryAt(std::uint16_t port) const {
  const auto found = EntryByPort.find(port);
  return found != EntryByPort.end() ? *found->second : EmptyEntry;
}

void TSioBase::RunConfigStep(const TSioCfg& entry, std::uint16_t port, bool enter) {
  if (m_Texts.ForEntry != &entry || m_Texts.ForPort != port) {
    m_Texts.ForEntry = &entry;
    m_Texts.ForPort = port;
    // Decimal without prefix: "LocalA= 46", "LocalB= 47" for port 0x2E.
    m_Texts.IndexPort = host::WideToUtf8(entry.PortTemplateA) + " " + std::to_string(port);
    m_Texts.DataPort = host::WideToUtf8(entry.PortTemplateB) + " " +
                       std::to_string(static_cast<std::uint16_t>(port + 1));
    m_Texts.Enter = host::WideToUtf8(entry.EnterScript);
    m_Texts.Exit = host::WideToUtf8(entry.ExitScript);
  }
  // Results and success flags are ignored: with no detected chip the texts are a bare
  // number and an empty script, which touch no port.
  Interpreter = std::make_unique<TInterpreter>();
  Interpreter->Run(m_Texts.IndexPort);
  Interpreter->Run(m_Texts.DataPort);
  Interpreter->Run(enter ? m_Texts.Enter : m_Texts.Exit);
  Interpreter.reset();
}

void TSioBase::EnterConfigMode() { RunConfigStep(ChipEntry(), CurrentConfigPort, true); }

void TSioBase::ExitConfigMode() { RunConfigStep(ChipEntry(), CurrentConfigPort, false); }

std::uint8_t TSioBase::ReadConfigRegister(std::uint8_t reg) {
  TConfigModeScope scope(*this);
  ReadWrite.WriteIoByte(CurrentConfigPort, reg);
  return ReadWrite.ReadIoByte(static_cast<std::uint16_t>(CurrentConfigPort + 1));
}

void TSioBase::WriteConfigRegister(std::uint8_t reg, std::uint8_t value) {
  TConfigModeScope scope(*this);
  ReadWrite.WriteIoByte(CurrentConfigPort, reg);
  ReadWrite.WriteIoByte(static_cast<std::uint16_t>(CurrentConfigPort + 1), value);
}

void TSioBase::SelectLogicalDevice(std::uint8_t ldn) { WriteConfigRegister(0x07, ldn); }

std::uint16_t TSioBase::ReadBaseAddress() {
  TConfigModeScope scope(*this);
  const std::uint16_t dataPort = static_cast<std::uint16_t>(CurrentConfigPort + 1);
  ReadWrite.WriteIoByte(CurrentConfigPort, 0x60);
  const std::uint8_t high = ReadWrite.ReadIoByte(dataPort);
  ReadWrite.WriteIoByte(CurrentConfigPort, 0x61);
  const std::uint8_t low = ReadWrite.ReadIoByte(dataPort);
  return static_cast<std::uint16_t>(high << 8 | low);
}

std::uint8_t TSioBase::ReadHwmRegister(std::uint8_t reg) {
  ReadWrite.WriteIoByte(HwmIndexPort, reg);
  return ReadWrite.ReadIoByte(HwmDataPort);
}

void TSioBase::WriteHwmRegister(std::uint8_t reg, std::uint8_t value) {
  ReadWrite.WriteIoByte(HwmIndexPort, reg);
  ReadWrite.WriteIoByte(HwmDataPort, value);
}
