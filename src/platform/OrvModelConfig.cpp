#include "platform/OrvModelConfig.h"

#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "host/Console.h"
#include "host/FileSystem.h"
#include "host/Process.h"
#include "platform/OrvBiosInfo.h"
#include "platform/OrvConfigPaths.h"

namespace {

TOrvModelConfig* g_instance = nullptr;

// The restore writes beside the model file and renames; a Conf value that is a path of its
// own ("../Bin/gavrelo", "C:x", "") would point those writes elsewhere, so only a plain
// file name is ever restored (any name is still loaded).
bool IsPlainFileName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"/\\:") == std::wstring::npos;
}

}  // namespace

const TOrvModelConfig::TSection TOrvModelConfig::kSections[kSectionCount] = {
    // name, section element, gate, enabled items only, list
    /*  1 */ {"MainMenu", "/Root/MainMenu", false, true, &TOrvModelConfig::MainMenu},
    /*  2 */ {"VoltageControl", "/Root/VoltageControl", true, false, &TOrvModelConfig::VoltageControl},
    /*  3 */ {"SioHwmSetting", "/Root/SioHwmSetting", false, false, &TOrvModelConfig::SioHwmSetting},
    /*  4 */ {"HardwareMonitor/Clock", "/Root/HardwareMonitor/Clock", true, false, &TOrvModelConfig::HwmClock},
    /*  5 */ {"HardwareMonitor/Fan", "/Root/HardwareMonitor/Fan", true, false, &TOrvModelConfig::HwmFan},
    /*  6 */ {"HardwareMonitor/Voltage", "/Root/HardwareMonitor/Voltage", true, false, &TOrvModelConfig::HwmVoltage},
    /*  7 */ {"FanControl", "/Root/FanControl", true, false, &TOrvModelConfig::FanControl},
    /*  8 */ {"GUIFanControl", "/Root/GUIFanControl", true, false, &TOrvModelConfig::GUIFanControl},
    /*  9 */ {"ThermalSensor", "/Root/ThermalSensor", true, false, &TOrvModelConfig::ThermalSensor},
    /* 10 */ {"Overclocking", "/Root/Overclocking", true, false, &TOrvModelConfig::Overclocking},
    /* 11 */ {"Profile", "/Root/Profile", true, false, &TOrvModelConfig::Profile},
    /* 12 */ {"SmallHWMPanel", "/Root/SmallHWMPanel", true, false, &TOrvModelConfig::SmallHWMPanel},
};

TOrvModelConfig& TOrvModelConfig::Instance() {
  if (g_instance == nullptr) {
    // The order matters: the list (and its log line) first, then the BIOS identity record,
    // whose request creates the hardware access service.
    TOrvKtaConfig& list = TOrvKtaConfig::Instance();
    std::wstring model = TOrvBiosInfo::Instance().ProjectName;
    g_instance = new TOrvModelConfig(list, model, TOrvConfigPaths::ExecutablePath());
    gavrelo::RegisterProcessReset(&TOrvModelConfig::ResetInstance);
  }
  return *g_instance;
}

void TOrvModelConfig::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

TOrvModelConfig::TOrvModelConfig(TOrvKtaConfig& list, const std::wstring& modelName,
                                 const std::string& executablePath)
    : KtaConfig(list), ModelName(modelName) {
  TDebugConsole& log = TDebugConsole::Instance();
  log.LogValue(L"TOrvModelConfig::ModelName", ModelName, 14);
  std::wstring conf = KtaConfig.GetModelConf(ModelName);
  std::string confName = host::WideToUtf8(conf);
  LoadXmlFile(TOrvConfigPaths::ModelFile(executablePath, confName));
  // Without a model file named for the model there is nothing to restore.
  if (!Loaded && !conf.empty() && !executablePath.empty()) {
    if (IsPlainFileName(conf)) {
      Restore(TOrvConfigPaths::RestoreSource(executablePath, confName));
    } else {
      RestoreNote = "not restored: \"" + confName + "\" is not a plain file name";
    }
    if (Restored) {
      LoadXmlFile();
      log.LogValue("TOrvModelConfig::Restore", RestoreNote, 10);
    } else {
      log.LogValue("TOrvModelConfig::Restore", RestoreNote, 12);
    }
  }
  ParseSections();
}

void TOrvModelConfig::ParseSections() {
  for (const TSection& section : kSections) ParseSection(section);
}

void TOrvModelConfig::Restore(const std::string& source) {
  RestoreSource = source;
  std::string bytes;
  host::TReadResult read = host::ReadFileBounded(source, kMaxFileSize, bytes);
  if (read != host::TReadResult::Ok) {
    RestoreNote = read == host::TReadResult::Missing ? "not restored: no " + source
                                                     : "not restored: cannot read " + source;
    return;
  }
  TOrvXmlBase pristine;
  if (!pristine.LoadXmlBytes(bytes)) {
    RestoreNote = "not restored: " + source + " does not load";
    return;
  }
  // The bytes just checked are the ones written, so the source cannot change in between.
  const std::string temporary = m_XmlFileName + ".restoring";
  if (!host::WriteFileBytes(temporary, bytes)) {
    RestoreNote = "not restored: cannot write " + temporary;
    return;
  }
  std::string kept;
  if (host::FileExists(m_XmlFileName)) {
    for (int n = 0; n <= kMaxKeptCopies && kept.empty(); ++n) {
      std::string name = m_XmlFileName + ".broken" + (n == 0 ? "" : "." + std::to_string(n));
      if (host::FileExists(name)) continue;
      if (!host::CopyFileBytes(m_XmlFileName, name, true)) break;
      kept = name;
    }
    if (kept.empty()) {
      host::RemoveFile(temporary);
      RestoreNote = "not restored: cannot keep a copy of " + m_XmlFileName;
      return;
    }
  }
  if (!host::RenameReplacing(temporary, m_XmlFileName)) {
    host::RemoveFile(temporary);
    if (!kept.empty()) host::RemoveFile(kept);  // the model file is unchanged
    RestoreNote = "not restored: cannot replace " + m_XmlFileName;
    return;
  }
  Restored = true;
  KeptCopy = kept;
  RestoreNote = "restored from " + source + (kept.empty() ? "" : ", the replaced file kept as " + kept);
}

void TOrvModelConfig::ParseSection(const TSection& section) {
  // Emptied first in every case: no list may keep references into a document that has
  // been loaded again since.
  TXmlItems& list = this->*section.List;
  list = TXmlItems();
  if (!Loaded || RootElement == nullptr) return;
  if (section.Gated &&
      !TOrvXmlItem(SelectFirst(section.Path)).GetBoolAttribute("Enable", false))
    return;
  AppendItemsAndChildren(SelectFirst(std::string(section.Path) + "/Item"),
                         section.EnabledItemsOnly, list);
}
