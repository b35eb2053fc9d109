#pragma once
// TOrvModelConfig: the model file of the board the tool runs on, <tool root>/Conf/<Conf>,
// where <Conf> is what the support-model list names for the model of the BIOS identity
// record. Twelve sections of it are kept as lists of element references, parsed in this
// order (the "Enable" gate is the section element's own attribute):
//
//    1  /Root/MainMenu                 no gate; only items and children with Enable true
//    2  /Root/VoltageControl           gated
//    3  /Root/SioHwmSetting            no gate
//    4  /Root/HardwareMonitor/Clock    gated
//    5  /Root/HardwareMonitor/Fan      gated
//    6  /Root/HardwareMonitor/Voltage  gated
//    7  /Root/FanControl               gated
//    8  /Root/GUIFanControl            gated
//    9  /Root/ThermalSensor            gated
//   10  /Root/Overclocking             gated
//   11  /Root/Profile                  gated
//   12  /Root/SmallHWMPanel            gated
//
// Each list holds the section's first Item and every following sibling element, each
// directly followed by its child elements (not deeper), in document order.
//
// A model file that does not load is restored from the pristine copy under _Conf/, but only
// from a copy that exists and loads itself: the copy is written beside the model file under
// a temporary name and renamed over it in one step, and the file it replaces is kept as
// "<name>.broken" (or "<name>.broken.N" when that exists), so nothing the user wrote is
// lost. A missing or broken restore source leaves the model file exactly as it was.

#include <cstddef>
#include <string>

#include "platform/OrvKtaConfig.h"
#include "platform/OrvXmlBase.h"

class TOrvModelConfig : public TOrvXmlBase {
 public:
  // Names tried for the kept copy of a replaced model file: "<name>.broken", then
  // "<name>.broken.1" up to this number. When every one is taken, nothing is restored.
  static constexpr int kMaxKeptCopies = 99;

  // One section of the model file.
  struct TSection {
    const char* Name;           // for reports: "MainMenu", "HardwareMonitor/Clock", ...
    const char* Path;           // the section element; its items are Path + "/Item"
    bool Gated;                 // the section element's Enable must be true
    bool EnabledItemsOnly;      // only items and children whose own Enable is true
    TXmlItems TOrvModelConfig::*List;
  };
  static constexpr std::size_t kSectionCount = 12;
  // The sections in the order in which they are parsed.
  static const TSection kSections[kSectionCount];

  // The one configuration of the process: the support-model list, the model of the BIOS
  // identity record, the executable TOrvConfigPaths::ExecutablePath() names.
  static TOrvModelConfig& Instance();

  // Loads (and if need be restores) the model file of `modelName` as `list` names it for
  // the tool at `executablePath`, and parses the sections. The tool uses Instance(); tests
  // and tools build their own.
  TOrvModelConfig(TOrvKtaConfig& list, const std::wstring& modelName,
                  const std::string& executablePath);

  // Parses the twelve sections, in their order, into their lists; with no file loaded every
  // list is empty.
  void ParseSections();
  void ParseSection(const TSection& section);

  TOrvKtaConfig& KtaConfig;
  TXmlItems MainMenu;
  TXmlItems SioHwmSetting;
  TXmlItems HwmClock;
  TXmlItems HwmFan;
  TXmlItems HwmVoltage;
  TXmlItems VoltageControl;
  TXmlItems FanControl;
  TXmlItems GUIFanControl;
  TXmlItems ThermalSensor;
  TXmlItems Overclocking;
  TXmlItems Profile;
  TXmlItems SmallHWMPanel;

  // What the restore did, for the log and gavreloctl. RestoreSource is set when the model
  // file did not load and a restore was considered; Restored when the file was replaced;
  // KeptCopy names where the replaced file went ("" when there was none).
  std::wstring ModelName;
  std::string RestoreSource;
  bool Restored = false;
  std::string KeptCopy;
  std::string RestoreNote;

 private:
  static void ResetInstance();
  void Restore(const std::string& source);
};
