#pragma once
// TMainForm: the tool's hidden main form. Its constructor runs the whole automatic job —
// the singleton requests in their fixed order and then the INI-driven pin test — so the
// form is never shown in that flow.
//
// There is no window system here, so the form is a model: the component table of its form
// resource (names, classes, parents, captions, geometry, font, events) as data, and the
// fields the flow and the manual panel work with.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/ProfileFile.h"

class TApplication;
class TStartupServices;

// One component of the form resource.
struct TFormComponent {
  std::wstring Name;
  std::wstring ClassName;
  std::wstring Parent;   // "" for the form itself
  std::wstring Caption;  // "" for components without a caption
  int Left = 0;
  int Top = 0;
  int Width = 0;         // the form's entry holds its client width
  int Height = 0;        // the form's entry holds its client height
  std::wstring OnClick;  // name of the click handler, "" when none
};

struct TFormFont {
  std::wstring Name = L"Tahoma";
  int Height = -11;
  int PixelsPerInch = 96;
  std::wstring Color = L"clBtnFace";
};

// A radio group of the manual panel: one per pin in each of the two groups (FillPanel).
struct TRadioGroup {
  std::wstring Name;
  std::wstring Parent;   // "SettingGroup" or "StateGroup"
  std::wstring Caption;  // the pin's name
  std::vector<std::wstring> Items;
  int ItemIndex = -1;    // the selected item, -1 none
};

class TAbstractSio;

class TMainForm {
 public:
  // The form resource.
  static const std::vector<TFormComponent>& FormResource();
  static const TFormFont& FormFont();

  // Builds the form (hidden) and runs the INI test. `owner` is the application, which the
  // test asks to terminate; `services` supplies the singletons and process facilities.
  TMainForm(TApplication& owner, TStartupServices& services);
  virtual ~TMainForm();

  // The INI-driven pin test (run from the constructor). Ends the process at once when the
  // INI file or the model's section is missing; otherwise asks the application to
  // terminate. A non-numeric Delay raises EConvertError after the low step.
  void RunIniTest();

  // The form as the manual panel needs it, without the start-up test: built as the
  // constructor builds it (caption, fields, the singleton requests in their order), but
  // RunIniTest is not run, so no pin is touched and the process does not end. This is how
  // gavreloctl reaches the panel, which the start-up flow never shows.
  static std::unique_ptr<TMainForm> CreateForPanel(TApplication& owner, TStartupServices& services);

  // The owner kind the model's section of Gavrelo.INI names in TYPE ("" without a file, a
  // section or the key): what m_Type holds after the start-up test, read without running it.
  std::wstring ReadIniType();

  // Filling the panel (nothing in the start-up flow does): `pinNames` become m_PinNames, each
  // with a setting radio group in SettingGroup (items "Low", "High", "Input") and a state radio
  // group in StateGroup (items "Output Low", "Output High", "Input Low", "Input High"), none
  // selected. The form owns the groups; m_SettingRadios and m_StateRadios point at them.
  void FillPanel(const std::vector<std::wstring>& pinNames);

  // The panel's click handlers. Apply drives each pin whose setting group has an item selected;
  // Refresh selects in each pin's state group the one of the four states the pin reads.
  // A pin without a radio group of its own (arrays shorter than m_PinNames, or null) counts
  // as "none selected" for Apply and gets no selection from Refresh.
  void btnApplyClick(void* sender);
  void btnRefreshClick(void* sender);
  // Whether the handlers run the NCT6776 step for a chip of this full name: it contains
  // "NCT6776", letter case and all.
  static bool HasNct6776Step(const std::wstring& fullName);

  // The form's caption: "Gavrelo v" + the executable's file version.
  std::wstring Caption;

  // Fields, in the form's order.
  std::vector<TRadioGroup>* m_SettingRadios = nullptr;  // nothing in this tool sets them
  std::vector<TRadioGroup>* m_StateRadios = nullptr;
  std::vector<std::wstring> m_PinNames;
  std::wstring m_Type;
  std::wstring m_ModelName;
  std::string m_ExeDir;  // with a trailing path separator
  // Owned by the form, which itself lives until the process ends: the INI file is never
  // released during a run.
  std::unique_ptr<host::TProfileFile> m_IniFile;

 private:
  struct TPanelOnly {};
  TMainForm(TApplication& owner, TStartupServices& services, TPanelOnly);
  // Steps 1 to 9 of construction: everything before the INI test.
  void Build();
  // On an NCT6776 (by the chip's full name, case-sensitive): clears bit 6 of global
  // configuration register 0x24.
  void Nct6776Step(TAbstractSio& sio, const std::wstring& fullName);

  TApplication& m_Owner;
  TStartupServices& m_Services;
  std::vector<TRadioGroup> m_SettingRadioGroups;
  std::vector<TRadioGroup> m_StateRadioGroups;
};

// The pause of the test for a converted Delay value. A negative Delay is no pause at all:
// passed on unchanged it would become a wait of about 49 days (and -1 an endless one),
// which no test description means; 0 to 2147483647 ms are waited as written.
std::uint32_t DelayMilliseconds(std::int32_t delay);

// Converts the Delay text with the run-time library's integer rules; raises EConvertError
// "'<text>' is not a valid integer value" when it is not an integer.
std::int32_t ConvertDelay(const std::wstring& text);
