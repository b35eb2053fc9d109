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
  list->callback([] {
    CtlRequireHardwareAccess();
    TReadWrite& rw = TReadWrite::Instance();
    for (std::uint16_t bdf : rw.PciFunctions()) {
      const std::uint32_t ids = rw.ReadPciDword(bdf, 0);
      const std::uint32_t classCode = rw.ReadPciDword(bdf, 8) >> 8;
      const bool multi = (rw.ReadPciByte(bdf, 0x0E) & 0x80) != 0;
      char line[96];
      std::snprintf(line, sizeof(line), "%02x:%02x.%x %04x:%04x class %06x%s", bdf >> 8,
                    (bdf >> 3) & 0x1F, bdf & 7, ids & 0xFFFF, ids >> 16, classCode,
                    multi ? " multi-function" : "");
      std::cout << line << "\n";
    }
  });
}

const TCtlCommandRegistrar kRegistrar(&AddPciCommands);

}  // namespace
