// gavreloctl detect: runs the Super I/O detection pass and shows what it found, then what
// Build hands out for the chip behind port 0x2E and behind every other port a chip matched
// at, each with the logical devices named by the row that matched at its port.

#include <cstdio>
#include <set>
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

// What Build(port) hands out, with the logical devices of the row that matched at that port
// (each named from that row) and their activation registers.
nlohmann::json BuildReport(TSioBuilder& builder, std::uint8_t port) {
  TAbstractSio& sio = *builder.Build(port);
  const TSioClass cls = TSioBuilder::ClassForFamily(builder.Detector->GetFamily(port));
  const TSioCfg& entry = sio.ChipEntry();
  nlohmann::json build = {{"port", port},
                          {"family", builder.Detector->GetFamily(port)},
                          {"class", TSioBuilder::SlotName(cls)},
                          {"built_as", TSioBuilder::ClassName(cls)},
                          {"chip", Utf8(entry.FullName)},
                          {"hwm_base", sio.HwmBase}};
  build["devices"] = nlohmann::json::array();
  for (std::size_t ldn = 0; ldn < entry.DeviceNames.size(); ++ldn) {
    if (entry.DeviceNames[ldn].empty()) continue;
    sio.SelectLogicalDevice(static_cast<std::uint8_t>(ldn));
    const std::uint8_t active = sio.ReadConfigRegister(0x30);
    build["devices"].push_back(
        {{"ldn", ldn}, {"name", Utf8(entry.DeviceNames[ldn])}, {"activation", active}});
  }
  return build;
}

void PrintBuild(const nlohmann::json& build) {
  std::printf("Build(%s): class %s", Hex(build["port"], 2).c_str(),
              build["class"].get<std::string>().c_str());
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

int RunDetect(bool asJson) {
  CtlRequireHardwareAccess();
  TSioBuilder& builder = TSioBuilder::Instance();  // the Detector's pass runs here
  const TSioBase& detector = *builder.Detector;

  nlohmann::json report;
  report["matches"] = nlohmann::json::array();
  std::set<std::uint8_t> ports = {0x2E};  // the tool's own port first, then every matched one
  for (const TSioMatch& match : detector.Matches()) {
    const TSioClass cls = TSioBuilder::ClassForFamily(match.Family);
    report["matches"].push_back({{"port", match.Port},
                                 {"full_name", Utf8(match.Row->FullName)},
                                 {"vendor", Utf8(match.Row->Vendor)},
                                 {"family", match.Family},
                                 {"class", TSioBuilder::SlotName(cls)},
                                 {"built_as", TSioBuilder::ClassName(cls)}});
    if (match.Port <= 0xFF) ports.insert(static_cast<std::uint8_t>(match.Port));
  }
  report["current_config_port"] = CurrentConfigPort;

  // "build" is what the tool's start-up gets, Build(0x2E); "builds" adds every other port a
  // chip matched at.
  report["builds"] = nlohmann::json::array();
  report["builds"].push_back(BuildReport(builder, 0x2E));
  for (std::uint8_t port : ports)
    if (port != 0x2E) report["builds"].push_back(BuildReport(builder, port));
  report["build"] = report["builds"][0];
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
    for (const auto& build : report["builds"]) PrintBuild(build);
  }
  CtlWarnChipsLeftUnlocked();
  return report["matches"].empty() ? kCtlFailed : kCtlSuccess;
}

void RegisterDetect(CLI::App& app, TCtlContext& context) {
  CLI::App* detect = app.add_subcommand(
      "detect", "Detect the Super I/O chips and show the object Build returns for each port");
  static bool asJson = false;  // outlives the parse and the callback
  detect->add_flag("--json", asJson, "Print the result as JSON");
  detect->callback([&context] { context.ExitCode = RunDetect(asJson); });
}

TCtlCommandRegistrar g_registrar(&RegisterDetect);

}  // namespace
