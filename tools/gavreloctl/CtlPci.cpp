// gavreloctl pci list: every PCI function the tool's enumeration finds, through the access
// service, one line each: "BB:DD.F VVVV:DDDD class CCSSPP [multi-function]".
// Exits 1, saying why, when there is no hardware access.

#include <cstdio>
#include <iostream>

#include "hwaccess/ReadWrite.h"
#include "tools/gavreloctl/CtlCommand.h"

namespace {

void AddPciCommands(CLI::App& app, TCtlContext& /*context*/) {
  CLI::App* pci = app.add_subcommand("pci", "PCI configuration space as the tool sees it");
  pci->require_subcommand(1);
  CLI::App* list = pci->add_subcommand("list", "List every function found by the enumeration");
  static bool asJson = false;  // outlives the parse and the callback
  list->add_flag("--json", asJson, "Print the functions as JSON");
  list->callback([] {
    CtlRequireHardwareAccess();
    TReadWrite& rw = TReadWrite::Instance();
    nlohmann::json functions = nlohmann::json::array();
    for (std::uint16_t bdf : rw.PciFunctions()) {
      const std::uint32_t ids = rw.ReadPciDword(bdf, 0);
      const std::uint32_t classCode = rw.ReadPciDword(bdf, 8) >> 8;
      const bool multi = (rw.ReadPciByte(bdf, 0x0E) & 0x80) != 0;
      if (asJson) {
        functions.push_back({{"bus", bdf >> 8}, {"device", (bdf >> 3) & 0x1F}, {"function", bdf & 7},
                             {"vendor_id", ids & 0xFFFF}, {"device_id", ids >> 16},
                             {"class_code", classCode}, {"multi_function", multi}});
        continue;
      }
      char line[96];
      std::snprintf(line, sizeof(line), "%02x:%02x.%x %04x:%04x class %06x%s", bdf >> 8,
                    (bdf >> 3) & 0x1F, bdf & 7, ids & 0xFFFF, ids >> 16, classCode,
                    multi ? " multi-function" : "");
      std::cout << line << "\n";
    }
    if (asJson) CtlPrintJson({{"functions", functions}});
  });
}

const TCtlCommandRegistrar kRegistrar(&AddPciCommands);

}  // namespace
