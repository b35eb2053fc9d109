// gavreloctl detect: runs the Super I/O detection pass and shows what it found, then what
// Build(0x2E) hands out for the chip behind port 0x2E.

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "host/Console.h"
#include "sio/SioBuilder.h"
#include "tools/gavreloctl/CtlCommand.h"
#include "tools/gavreloctl/CtlSioReport.h"

namespace {

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string Utf8(const std::wstring& text) { return host::WideToUtf8(text); }

int RunDetect(bool asJson) {
  TSioBuilder& builder = TSioBuilder::Instance();  // the Detector's pass runs here
  const TSioBase& detector = *builder.Detector;

  nlohmann::json report;
  report["matches"] = nlohmann::json::array();
  for (const TSioMatch& match : detector.Matches()) {
    const TSioClass cls = TSioBuilder::ClassForFamily(match.Family);
    report["matches"].push_back({{"port", match.Port},
                                 {"full_name", Utf8(match.Row->FullName)},
                                 {"vendor", Utf8(match.Row->Vendor)},
                                 {"family", match.Family},
                                 {"class", TSioBuilder::SlotName(cls)},
                                 {"built_as", TSioBuilder::ClassName(cls)}});
  }
  report["current_config_port"] = CurrentConfigPort;

  constexpr std::uint8_t kPort = 0x2E;
  TAbstractSio& sio = *builder.Build(kPort);
  const TSioClass cls = TSioBuilder::ClassForFamily(builder.Detector->GetFamily(kPort));
  nlohmann::json build = {{"port", kPort},
                          {"family", builder.Detector->GetFamily(kPort)},
                          {"class", TSioBuilder::SlotName(cls)},
                          {"built_as", TSioBuilder::ClassName(cls)},
                          {"chip", Utf8(sio.ChipEntry().FullName)},
                          {"hwm_base", sio.HwmBase}};
  build["devices"] = nlohmann::json::array();
  const TSioCfg& entry = sio.ChipEntry();
  for (std::size_t ldn = 0; ldn < entry.DeviceNames.size(); ++ldn) {
    if (entry.DeviceNames[ldn].empty()) continue;
    sio.SelectLogicalDevice(static_cast<std::uint8_t>(ldn));
    const std::uint8_t active = sio.ReadConfigRegister(0x30);
    build["devices"].push_back(
        {{"ldn", ldn}, {"name", Utf8(entry.DeviceNames[ldn])}, {"activation", active}});
  }
  report["build"] = build;
  report["left_unlocked"] = CtlChipsLeftUnlocked();

  if (asJson) {
    std::printf("%s\n", report.dump(2).c_str());
  } else {
    if (report["matches"].empty()) std::printf("No Super I/O chip detected\n");
    for (const auto& m : report["matches"]) {
      std::printf("Port %s: %s (vendor %s) family %s class %s", Hex(m["port"], 2).c_str(),
                  m["full_name"].get<std::string>().c_str(),
                  m["vendor"].get<std::string>().empty() ? "none"
                                                         : m["vendor"].get<std::string>().c_str(),
                  Hex(m["family"], 3).c_str(), m["class"].get<std::string>().c_str());
      if (m["class"] != m["built_as"])
        std::printf(" (served by %s)", m["built_as"].get<std::string>().c_str());
      std::printf("\n");
    }
    std::printf("CurrentConfigPort after detection: %s\n",
                Hex(report["current_config_port"], 4).c_str());
    std::printf("Build(0x2E): class %s", build["class"].get<std::string>().c_str());
    if (build["class"] != build["built_as"])
      std::printf(" (served by %s)", build["built_as"].get<std::string>().c_str());
    std::printf(", chip %s, HwmBase %s\n",
                build["chip"].get<std::string>().empty() ? "none"
                                                         : build["chip"].get<std::string>().c_str(),
                Hex(build["hwm_base"], 4).c_str());
    for (const auto& d : build["devices"])
      std::printf("  LDN %s %-50s activation %s\n", Hex(d["ldn"], 2).c_str(),
                  d["name"].get<std::string>().c_str(), Hex(d["activation"], 2).c_str());
  }
  CtlWarnChipsLeftUnlocked();
  return report["matches"].empty() ? kCtlFailed : kCtlSuccess;
}

void RegisterDetect(CLI::App& app, TCtlContext& context) {
  CLI::App* detect = app.add_subcommand(
      "detect", "Detect the Super I/O chips and show the object Build(0x2E) returns");
  static bool asJson = false;  // outlives the parse and the callback
  detect->add_flag("--json", asJson, "Print the result as JSON");
  detect->callback([&context] { context.ExitCode = RunDetect(asJson); });
}

TCtlCommandRegistrar g_registrar(&RegisterDetect);

}  // namespace
