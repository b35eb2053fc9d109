#include "platform/OrvKtaConfig.h"

#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "host/Console.h"
#include "host/IntConversion.h"
#include "platform/OrvConfigPaths.h"

namespace {

TOrvKtaConfig* g_instance = nullptr;

std::wstring TextAttribute(const tinyxml2::XMLElement& item, const char* name) {
  const char* value = item.Attribute(name);
  return value != nullptr ? host::Utf8ToWide(value) : std::wstring();
}

}  // namespace

TOrvKtaConfig& TOrvKtaConfig::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TOrvKtaConfig(TOrvConfigPaths::ExecutablePath());  // lives until exit
    gavrelo::RegisterProcessReset(&TOrvKtaConfig::ResetInstance);
  }
  return *g_instance;
}

void TOrvKtaConfig::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

TOrvKtaConfig::TOrvKtaConfig(const std::string& executablePath) {
  m_XmlFileName = TOrvConfigPaths::SupportModelList(executablePath);
  TDebugConsole::Instance().LogValue("TOrvKtaConfig::m_XmlFileName", m_XmlFileName, 14);
  LoadXmlFile();
  ReadSupportModels();
}

void TOrvKtaConfig::ReadSupportModels() {
  if (!Loaded || RootElement == nullptr) return;
  SupportModels.clear();
  for (tinyxml2::XMLElement* item = SelectFirst("/Root/SupportModel/Item"); item != nullptr;
       item = item->NextSiblingElement()) {
    _OrvModel_t model;
    const char* index = item->Attribute("Index");
    model.Index = index != nullptr ? host::StrToIntDef(host::Utf8ToWide(index), 0) : 0;
    model.Name = TextAttribute(*item, "Name");
    model.Conf = TextAttribute(*item, "Conf");
    model.UloConf = TextAttribute(*item, "UloConf");
    SupportModels[model.Name] = model;
  }
}

std::wstring TOrvKtaConfig::GetModelConf(const std::wstring& modelName) {
  return SupportModels[modelName].Conf;
}
