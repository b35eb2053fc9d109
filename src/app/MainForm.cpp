#include "app/MainForm.h"

#include "app/Application.h"
#include "app/Exceptions.h"
#include "app/FormatFileVersion.h"
#include "app/StartupServices.h"
#include "diag/DebugConsole.h"
#include "diag/RunTrace.h"
#include "gpio/GpioBase.h"
#include "gpio/Ich.h"
#include "gpio/SkylakePCH.h"
#include "host/Console.h"
#include "host/IntConversion.h"
#include "host/Process.h"
#include "sio/SioBuilder.h"

namespace {

constexpr std::uint16_t kSuperIoConfigPort = 0x2E;

// The manual panel's suffixes: Apply by the setting group's item (low, high, input), Refresh
// by the state group's item (output low, output high, input low, input high).
constexpr const wchar_t* kApplySuffix[] = {/* 0 */ L"=Low", /* 1 */ L"=High", /* 2 */ L"=Input"};
constexpr const wchar_t* kRefreshSuffix[] = {/* 0 */ L"=Low", /* 1 */ L"=High",
                                             /* 2 */ L"=InputLow", /* 3 */ L"=InputHigh"};
constexpr int kRefreshStates = 4;
constexpr std::uint32_t kRefreshPauseMs = 500;

// NCT6776 global configuration register 0x24; the panel clears its bit 6 before using pins.
constexpr std::uint8_t kNct6776Cr24 = 0x24;
constexpr std::uint8_t kNct6776Cr24Bit6 = 0x40;

// Reads one key of the test's section and tells the run's trace what was read and whether
// it came from the file or is the default.
std::wstring ReadTraced(const host::TProfileFile& ini, const std::wstring& section,
                        const std::wstring& key, const std::wstring& fallback) {
  // A text no INI line can hold tells the default apart from a value written as the default.
  const std::wstring probe = ini.ReadString(section, key, L"\n");
  const bool fromFile = probe != L"\n";
  const std::wstring value = fromFile ? probe : fallback;
  TRunTrace::Instance().Decision(
      "ini_key", {{"key", host::WideToUtf8(key)}, {"value", host::WideToUtf8(value)},
                  {"from", fromFile ? "file" : "default"}});
  return value;
}


}  // namespace

const std::vector<TFormComponent>& TMainForm::FormResource() {
  static const std::vector<TFormComponent> components = {
      // name, class, parent, caption, left, top, width, height, click handler
      {L"MainForm", L"TMainForm", L"", L"Gavrelo", 0, 0, 955, 408, L""},
      {L"SettingPanel", L"TPanel", L"MainForm", L"", 0, 0, 953, 409, L""},
      {L"SettingGroup", L"TGroupBox", L"SettingPanel", L"Setting", 15, 8, 930, 177, L""},
      {L"btnApply", L"TButton", L"SettingGroup", L"Apply", 456, 136, 75, 25, L"btnApplyClick"},
      {L"StateGroup", L"TGroupBox", L"SettingPanel", L"CurrentState", 15, 191, 930, 202, L""},
      {L"btnRefresh", L"TButton", L"StateGroup", L"Refresh", 456, 160, 75, 25, L"btnRefreshClick"},
  };
  return components;
}

const TFormFont& TMainForm::FormFont() {
  static const TFormFont font;
  return font;
}

TMainForm::TMainForm(TApplication& owner, TStartupServices& services)
    : m_Owner(owner), m_Services(services) {
  Build();
  // 10.
  m_IniFile.reset();
  RunIniTest();
}

TMainForm::TMainForm(TApplication& owner, TStartupServices& services, TPanelOnly)
    : m_Owner(owner), m_Services(services) {
  Build();
}

std::unique_ptr<TMainForm> TMainForm::CreateForPanel(TApplication& owner,
                                                     TStartupServices& services) {
  return std::unique_ptr<TMainForm>(new TMainForm(owner, services, TPanelOnly{}));
}

void TMainForm::Build() {
  // 1.-2. The form as its resource builds it (hidden), with an empty pin list and strings.
  Caption = FormResource().front().Caption;
  // 3. The caption carries the executable's file version.
  Caption = L"Gavrelo v" + FormatFileVersion(m_Services.ExecutablePath());
  // 4.
  m_SettingRadios = nullptr;
  m_StateRadios = nullptr;
  m_Type = L"";
  // 5.-9. The singletons, in this order: each one's construction relies on the ones
  // before it (the model configuration and the board description create the access
  // service; the Super I/O detection uses it).
  m_Services.RequestModelConfiguration();
  m_ModelName = m_Services.RequestModelName();
  TDebugConsole::Instance().LogValue(L"m_ModelName", m_ModelName, 9);
  TRunTrace::Instance().Decision("model_name", {{"model_name", host::WideToUtf8(m_ModelName)}});
  m_Services.RequestReadWrite();
  m_Services.BuildSuperIo(kSuperIoConfigPort);  // the object is cached by the builder
}

TMainForm::~TMainForm() = default;

void TMainForm::RunIniTest() {
  TRunTrace& trace = TRunTrace::Instance();
  m_ExeDir = host::DirectoryPart(m_Services.ExecutablePath());
  // Without a known executable directory there is no "beside the executable": never fall
  // back to a Gavrelo.INI of the current directory.
  std::string iniPath = m_ExeDir + "Gavrelo.INI";
  const bool iniFound = !m_ExeDir.empty() && host::FileExists(iniPath);
  trace.Decision("ini_file", {{"path", iniPath}, {"found", iniFound}});
  if (!iniFound) {
    m_Services.EndProcess(0);
    return;
  }
  m_IniFile = host::TProfileFile::Open(iniPath);
  // A section counts as present only when it holds at least one key.
  const std::size_t keys = m_IniFile->SectionKeys(m_ModelName).size();
  trace.Decision("ini_section", {{"section", host::WideToUtf8(m_ModelName)},
                                 {"found", keys != 0},
                                 {"keys", keys}});
  if (keys == 0) {
    m_Services.EndProcess(0);
    return;
  }
  std::wstring delay = ReadTraced(*m_IniFile, m_ModelName, L"Delay", L"100");
  m_Type = ReadTraced(*m_IniFile, m_ModelName, L"TYPE", L"");
  std::wstring pin = ReadTraced(*m_IniFile, m_ModelName, L"PIN", L"");
  const bool runs = m_Type == L"SIO_GPIO";
  trace.Decision("pin_test", {{"runs", runs}, {"type", host::WideToUtf8(m_Type)}});
  if (runs) {
    TGpioBase* owner = m_Services.BuildSuperIo(kSuperIoConfigPort);
    if (owner != nullptr) owner->ApplyGPIOSetting(pin + L"=Low");
    const std::uint32_t pause = DelayMilliseconds(ConvertDelay(delay));
    trace.Decision("pause", {{"ms", pause}});
    m_Services.Sleep(pause);
    trace.Decision("pause_end", {{"ms", pause}});
    if (owner != nullptr) owner->ApplyGPIOSetting(pin + L"=High");
  }
  m_Owner.Terminate();
}

std::wstring TMainForm::ReadIniType() {
  m_ExeDir = host::DirectoryPart(m_Services.ExecutablePath());
  std::string iniPath = m_ExeDir + "Gavrelo.INI";
  if (m_ExeDir.empty() || !host::FileExists(iniPath)) return L"";
  m_IniFile = host::TProfileFile::Open(iniPath);
  if (m_IniFile->SectionKeys(m_ModelName).empty()) return L"";
  return m_IniFile->ReadString(m_ModelName, L"TYPE", L"");
}

void TMainForm::FillPanel(const std::vector<std::wstring>& pinNames) {
  m_PinNames = pinNames;
  m_SettingRadioGroups.clear();
  m_StateRadioGroups.clear();
  for (std::size_t i = 0; i < pinNames.size(); ++i) {
    const std::wstring n = std::to_wstring(i);
    m_SettingRadioGroups.push_back(
        {L"SettingRadio" + n, L"SettingGroup", pinNames[i], {L"Low", L"High", L"Input"}, -1});
    m_StateRadioGroups.push_back({L"StateRadio" + n, L"StateGroup", pinNames[i],
                                  {L"Output Low", L"Output High", L"Input Low", L"Input High"}, -1});
  }
  m_SettingRadios = &m_SettingRadioGroups;
  m_StateRadios = &m_StateRadioGroups;
}

bool TMainForm::HasNct6776Step(const std::wstring& fullName) {
  return fullName.find(L"NCT6776") != std::wstring::npos;
}

void TMainForm::Nct6776Step(TAbstractSio& sio, const std::wstring& fullName) {
  if (!HasNct6776Step(fullName)) return;
  TDebugConsole& console = TDebugConsole::Instance();
  std::uint8_t value = sio.ReadConfigRegister(kNct6776Cr24);
  console.LogValue("valueread_1", std::to_string(value), 14);
  value = static_cast<std::uint8_t>(value & ~kNct6776Cr24Bit6);
  console.LogValue("valueread_1", std::to_string(value), 14);
  sio.WriteConfigRegister(kNct6776Cr24, value);
  value = sio.ReadConfigRegister(kNct6776Cr24);
  console.LogValue("valueread_1", std::to_string(value), 14);
}

void TMainForm::btnApplyClick(void* /*sender*/) {
  TDebugConsole& console = TDebugConsole::Instance();
  console.LogMessage("----Button Apply Click----", 10, 0);
  // Both chipset objects, whatever the owner kind: their constructors read the hardware.
  auto ich = std::make_unique<TIch>();
  auto pch = std::make_unique<TSkylakePCH>();
  TGpioBase* owner = nullptr;
  if (m_Type == L"SIO_GPIO") {
    TAbstractSio* sio = TSioBuilder::Instance().Build(static_cast<std::uint8_t>(kSuperIoConfigPort));
    Nct6776Step(*sio, sio->ChipEntry().FullName);
    owner = sio;
  } else if (m_Type == L"ICH_GPIO") {
    owner = ich.get();
  } else if (m_Type == L"SKLPCH_GPIO") {
    owner = pch.get();
  }
  if (owner != nullptr) {
    for (std::size_t i = 0; i < m_PinNames.size(); ++i) {
      std::wstring setting = m_PinNames[i];
      const bool hasGroup = m_SettingRadios != nullptr && i < m_SettingRadios->size();
      const int k = hasGroup ? (*m_SettingRadios)[i].ItemIndex : -1;
      if (k >= 0 && k <= 2) setting += kApplySuffix[k];
      // Any other item passes the bare name, which the parser refuses: nothing is written.
      if (k != -1) owner->ApplyGPIOSetting(setting);
    }
  }
  ich.reset();
  pch.reset();
  console.LogMessage("----Button Apply Click----", 10, 0);
}

void TMainForm::btnRefreshClick(void* /*sender*/) {
  TDebugConsole& console = TDebugConsole::Instance();
  console.LogMessage("----refresh Apply Click----", 9, 0);
  auto ich = std::make_unique<TIch>();
  auto pch = std::make_unique<TSkylakePCH>();
  TAbstractSio* sio = TSioBuilder::Instance().Build(static_cast<std::uint8_t>(kSuperIoConfigPort));
  console.LogValue("Siotype is ",
                   std::to_string(sio->GetFamily(static_cast<std::uint8_t>(kSuperIoConfigPort))), 9);
  const std::wstring fullName = sio->ChipEntry().FullName;
  TGpioBase* chipset = m_Type == L"ICH_GPIO"      ? static_cast<TGpioBase*>(ich.get())
                       : m_Type == L"SKLPCH_GPIO" ? static_cast<TGpioBase*>(pch.get())
                                                  : nullptr;
  const bool superIo = m_Type == L"SIO_GPIO";
  for (std::size_t i = 0; i < m_PinNames.size(); ++i) {
    for (int j = 0; j < kRefreshStates; ++j) {
      const std::wstring setting = m_PinNames[i] + kRefreshSuffix[j];
      console.LogValue(L"RefGP", setting, 12);
      TGpioBase* owner = superIo ? static_cast<TGpioBase*>(sio) : chipset;
      if (owner == nullptr) continue;
      if (owner->CheckGPIOSetting(setting)) {
        console.LogValue("gpnumber", std::to_string(i), 14);
        console.LogValue("gptype", std::to_string(j), 14);
        if (m_StateRadios != nullptr && i < m_StateRadios->size()) (*m_StateRadios)[i].ItemIndex = j;
      }
      if (superIo) Nct6776Step(*sio, fullName);
    }
  }
  ich.reset();
  pch.reset();
  m_Services.Sleep(kRefreshPauseMs);
  console.LogMessage("----refresh Apply Click----", 9, 0);
}

std::uint32_t DelayMilliseconds(std::int32_t delay) {
  return delay < 0 ? 0u : static_cast<std::uint32_t>(delay);
}

std::int32_t ConvertDelay(const std::wstring& text) {
  std::int32_t value = 0;
  if (!host::TryStrToInt(text, value)) {
    TRunTrace::Instance().Decision("delay_invalid", {{"text", host::WideToUtf8(text)}});
    throw EConvertError("'" + host::WideToUtf8(text) + "' is not a valid integer value");
  }
  return value;
}
