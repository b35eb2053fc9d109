// gavreloctl config: the XML model configuration as gavrelo loads it at start-up — the
// support-model list with its entries, the model file named for the board's model, whether
// it loaded (and whether it had to be restored from _Conf/), and each section's Count with
// its items' element names and attributes. `--json` prints the same as one JSON object.
//
// The paths are those of the gavrelo executable beside this one (`--exe` names another),
// and loading runs exactly as in gavrelo, so a broken model file is restored here too.
// Exit code 1, with the reason on standard error, when the model file did not load: then no
// section is listed, since an empty list would read as a board without items.

#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "host/Console.h"
#include "host/Process.h"
#include "platform/OrvBiosInfo.h"
#include "platform/OrvConfigPaths.h"
#include "platform/OrvModelConfig.h"
#include "tools/gavreloctl/CtlCommand.h"

namespace {

// Insertion order, so attributes are listed in document order.
using json = nlohmann::ordered_json;

// gavrelo beside this executable, with this executable's own extension ("gavrelo.exe" for
// "gavreloctl.exe").
std::string SiblingTool() {
  std::string self = host::ExecutablePath();
  if (self.empty()) return "";
  std::string name = host::FileNamePart(self);
  std::size_t dot = name.find('.');
  return host::DirectoryPart(self) + "gavrelo" + (dot == std::string::npos ? "" : name.substr(dot));
}

json Attributes(const tinyxml2::XMLElement& element) {
  json attributes = json::object();
  for (const tinyxml2::XMLAttribute* a = element.FirstAttribute(); a != nullptr; a = a->Next())
    attributes[a->Name()] = a->Value();
  return attributes;
}

json Collect(const std::string& executable) {
  // The list as the file has it, taken before the model configuration looks its model up
  // (GetModelConf adds an unlisted model to the map).
  TSupportModels_t listed = TOrvKtaConfig::Instance().SupportModels;
  TOrvModelConfig& config = TOrvModelConfig::Instance();
  TOrvKtaConfig& list = config.KtaConfig;
  json models = json::array();
  for (const auto& [name, model] : listed)
    models.push_back({{"index", model.Index},
                      {"name", host::WideToUtf8(model.Name)},
                      {"conf", host::WideToUtf8(model.Conf)},
                      {"uloconf", host::WideToUtf8(model.UloConf)}});
  json out;
  out["executable"] = executable;
  out["support_model_list"] = {{"path", list.m_XmlFileName}, {"loaded", list.Loaded}, {"models", models}};
  out["model_name"] = host::WideToUtf8(config.ModelName);
  out["record_valid"] = TOrvBiosInfo::Instance().RecordValid;
  out["model_listed"] = listed.count(config.ModelName) != 0;
  out["model_file"] = {{"path", config.m_XmlFileName},
                       {"loaded", config.Loaded},
                       {"restore_source", config.RestoreSource},
                       {"restored", config.Restored},
                       {"kept_copy", config.KeptCopy},
                       {"restore_note", config.RestoreNote}};
  json sections = json::array();
  if (config.Loaded) {
    for (const TOrvModelConfig::TSection& section : TOrvModelConfig::kSections) {
      const TXmlItems& items = config.*section.List;
      json entries = json::array();
      // An entry is a child when it sits inside the item listed last before it.
      const tinyxml2::XMLElement* item = nullptr;
      for (const TOrvXmlItem& entry : items.Items) {
        bool child = item != nullptr && entry.Element->Parent() == item;
        if (!child) item = entry.Element;
        entries.push_back({{"element", entry.Element->Name()},
                           {"child", child},
                           {"attributes", Attributes(*entry.Element)}});
      }
      sections.push_back({{"name", section.Name}, {"count", items.Count}, {"items", entries}});
    }
  }
  out["sections"] = sections;
  return out;
}

// The first reason in the chain list -> model name -> list entry -> file -> restore.
std::string WhyNotLoaded(const json& j) {
  if (!j["support_model_list"]["loaded"].get<bool>())
    return "the support-model list " + j["support_model_list"]["path"].get<std::string>() +
           " did not load";
  if (!j["record_valid"].get<bool>()) return "no valid BIOS identity record, so no model name";
  if (!j["model_listed"].get<bool>()) return "the model is not in the support-model list";
  const std::string& note = j["model_file"]["restore_note"].get_ref<const std::string&>();
  return "missing or not well-formed" + (note.empty() ? std::string() : "; " + note);
}

const char* YesNo(bool b) { return b ? "yes" : "no"; }

void PrintText(const json& j) {
  const json& list = j["support_model_list"];
  std::cout << "Support-model list : " << list["path"].get<std::string>() << " (loaded: "
            << YesNo(list["loaded"]) << ")\n";
  for (const json& m : list["models"])
    std::cout << "  " << m["index"].get<int>() << "  " << m["name"].get<std::string>() << " -> "
              << m["conf"].get<std::string>() << "\n";
  std::cout << "Model name         : " << j["model_name"].get<std::string>() << "\n";
  const json& file = j["model_file"];
  std::cout << "Model file         : " << file["path"].get<std::string>() << " (loaded: "
            << YesNo(file["loaded"]) << ", restored: " << YesNo(file["restored"]) << ")\n";
  if (!file["restore_note"].get<std::string>().empty())
    std::cout << "Restore            : " << file["restore_note"].get<std::string>() << "\n";
  for (const json& section : j["sections"]) {
    std::cout << section["name"].get<std::string>() << " (Count " << section["count"].get<int>()
              << ")\n";
    for (const json& item : section["items"]) {
      std::cout << (item["child"].get<bool>() ? "    <" : "  <") << item["element"].get<std::string>();
      for (const auto& [name, value] : item["attributes"].items())
        std::cout << " " << name << "=\"" << value.get<std::string>() << "\"";
      std::cout << ">\n";
    }
  }
}

void RegisterConfig(CLI::App& app, TCtlContext& context) {
  CLI::App* config = app.add_subcommand(
      "config", "The XML model configuration: support-model list, model file, sections");
  static bool asJson = false;
  static std::string executable;
  config->add_flag("--json", asJson, std::string("Print one JSON object"));
  config->add_option("--exe", executable,
                     "Show the configuration of this executable (default: gavrelo beside gavreloctl)")
      ->type_name("FILE");
  config->callback([&context]() {
    CtlRequireHardwareAccess();  // the model name comes from the board's firmware
    if (executable.empty()) executable = SiblingTool();
    TOrvConfigPaths::SetExecutablePath(executable);
    json j = Collect(executable);
    // Texts from the files are passed on as they are; bytes that are not UTF-8 are shown
    // as U+FFFD rather than stopping the report.
    if (asJson)
      std::cout << j.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
    else
      PrintText(j);
    context.ExitCode = kCtlSuccess;
    if (!j["model_file"]["loaded"].get<bool>()) {
      std::cout.flush();
      throw TCtlFailure("the model file of \"" + j["model_name"].get<std::string>() +
                        "\" did not load (" + WhyNotLoaded(j) + ")");
    }
  });
}

TCtlCommandRegistrar g_registrar(&RegisterConfig);

}  // namespace
