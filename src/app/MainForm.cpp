#include "app/MainForm.h"

#include "app/Application.h"
#include "app/Exceptions.h"
#include "app/FormatFileVersion.h"
#include "app/StartupServices.h"
#include "diag/DebugConsole.h"
#include "gpio/GpioBase.h"
#include "host/Console.h"
#include "host/IntConversion.h"
#include "host/Process.h"

namespace {

constexpr std::uint16_t kSuperIoConfigPort = 0x2E;

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
  m_Services.RequestReadWrite();
  m_Services.BuildSuperIo(kSuperIoConfigPort);  // the object is cached by the builder
  // 10.
  m_IniFile.reset();
  RunIniTest();
}

TMainForm::~TMainForm() = default;

void TMainForm::RunIniTest() {
  m_ExeDir = host::DirectoryPart(m_Services.ExecutablePath());
  // Without a known executable directory there is no "beside the executable": never fall
  // back to a Gavrelo.INI of the current directory.
  std::string iniPath = m_ExeDir + "Gavrelo.INI";
  if (m_ExeDir.empty() || !host::FileExists(iniPath)) {
    m_Services.EndProcess(0);
    return;
  }
  m_IniFile = host::TProfileFile::Open(iniPath);
  // A section counts as present only when it holds at least one key.
  if (m_IniFile->SectionKeys(m_ModelName).empty()) {
    m_Services.EndProcess(0);
    return;
  }
  std::wstring delay = m_IniFile->ReadString(m_ModelName, L"Delay", L"100");
  m_Type = m_IniFile->ReadString(m_ModelName, L"TYPE", L"");
  std::wstring pin = m_IniFile->ReadString(m_ModelName, L"PIN", L"");
  if (m_Type == L"SIO_GPIO") {
    TGpioBase* owner = m_Services.BuildSuperIo(kSuperIoConfigPort);
    if (owner != nullptr) owner->ApplyGPIOSetting(pin + L"=Low");
    m_Services.Sleep(DelayMilliseconds(ConvertDelay(delay)));
    if (owner != nullptr) owner->ApplyGPIOSetting(pin + L"=High");
  }
  m_Owner.Terminate();
}

std::uint32_t DelayMilliseconds(std::int32_t delay) {
  return delay < 0 ? 0u : static_cast<std::uint32_t>(delay);
}

std::int32_t ConvertDelay(const std::wstring& text) {
  std::int32_t value = 0;
  if (!host::TryStrToInt(text, value)) {
    throw EConvertError("'" + host::WideToUtf8(text) + "' is not a valid integer value");
  }
  return value;
}
