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
  if (row.Vendor == L"Winbond") {
    if (StartsWith(row.FullName, L"W83667")) return SIO_W83667;
    if (row.FullName == L"W83627UHG") return SIO_W83627UHG;
    if (StartsWith(row.FullName, L"W83627")) return SIO_W83627;
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

TSioBase::TSioBase() : ChipTable(TSioConfig::Instance()), Entry(&EmptyEntry) { DetectChips(); }

TSioBase::~TSioBase() = default;

void TSioBase::DetectChips() {
  const bool disabled = ReadWrite.Settings().DisableSuperIo;
  Console.LogValue("superio", disabled ? "-1" : "0", 9);
  if (disabled) return;

  m_Matches.clear();
  Interpreter = std::make_unique<TInterpreter>();
  std::int32_t result = 0;  // one result variable for the whole pass
  for (const auto& [name, row] : ChipTable.Entries()) {
    for (const std::wstring& script : row.DetectScripts) {
      // Every script of every row runs; the walk never stops early. An empty script runs
      // nothing and leaves `result` as it was, which after a match is the (non-zero) port.
      Interpreter->Run(host::WideToUtf8(script), result);
      if (result != 0) continue;

      Entry = &row;
      // "LocalA=" by itself yields LocalA, the port the matching script probed.
      Interpreter->Run(host::WideToUtf8(row.PortTemplateA), result);
      const std::uint16_t port = static_cast<std::uint16_t>(result);
      CurrentConfigPort = port;
      Console.LogValue(L"SIO TYPE", row.FullName, 9);

      const std::uint16_t family = ClassifySioRow(row);
      if (row.Vendor == L"Winbond") Console.WriteLine("Winbond");
      if (row.Vendor == L"Nuvoton") Console.WriteLine("Nuvoton");
      if (family != SIO_NONE) FamilyByPort[port] = family;
      m_Matches.push_back({port, &row, family});
    }
  }
  // No lock sequence here: the chip stays as the last probe left it until its first
  // configuration access, which Build makes at once.
  Interpreter.reset();
}

std::uint16_t TSioBase::GetFamily(std::uint8_t port) { return FamilyByPort[port]; }

void TSioBase::RunConfigStep(bool enter) {
  if (m_Texts.ForEntry != Entry || m_Texts.ForPort != CurrentConfigPort) {
    m_Texts.ForEntry = Entry;
    m_Texts.ForPort = CurrentConfigPort;
    // Decimal without prefix: "LocalA= 46", "LocalB= 47" for port 0x2E.
    m_Texts.IndexPort =
        host::WideToUtf8(Entry->PortTemplateA) + " " + std::to_string(CurrentConfigPort);
    m_Texts.DataPort = host::WideToUtf8(Entry->PortTemplateB) + " " +
                       std::to_string(static_cast<std::uint16_t>(CurrentConfigPort + 1));
    m_Texts.Enter = host::WideToUtf8(Entry->EnterScript);
    m_Texts.Exit = host::WideToUtf8(Entry->ExitScript);
  }
  // Results and success flags are ignored: with no detected chip the texts are a bare
  // number and an empty script, which touch no port.
  Interpreter = std::make_unique<TInterpreter>();
  Interpreter->Run(m_Texts.IndexPort);
  Interpreter->Run(m_Texts.DataPort);
  Interpreter->Run(enter ? m_Texts.Enter : m_Texts.Exit);
  Interpreter.reset();
}

void TSioBase::EnterConfigMode() { RunConfigStep(true); }

void TSioBase::ExitConfigMode() { RunConfigStep(false); }

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
