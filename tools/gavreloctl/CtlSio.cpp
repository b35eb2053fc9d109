// gavreloctl sio read/write: one Super I/O configuration register, each access bracketed by
// the detected chip's unlock and lock sequences.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sio/SioBuilder.h"
#include "tools/gavreloctl/CtlCommand.h"
#include "tools/gavreloctl/CtlSioReport.h"

namespace {

struct TSioOptions {
  std::string Reg;
  std::string Value;
  std::string Ldn;
  std::string Port = "0x2E";
  bool Json = false;
};

// Decimal or 0x-hexadecimal, within 0..max; false on anything else.
bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value) {
  if (text.empty() || text.size() > 12) return false;
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text.c_str(), &end, 0);
  if (end == text.c_str() || *end != '\0' || text[0] == '-' || parsed > max) return false;
  value = parsed;
  return true;
}

// The builder's detector, pointed at the requested port: the unlock and lock scripts of the
// row that matched at that port bracket the access. It is the object of the detection pass
// itself, so no further pass runs. A port at which no chip matched is refused: without the
// chip's keys the access would read a locked chip's 0xFF and present it as a register value.
// kCtlSuccess when `sio` and `reg` are set, else the exit code.
int Prepare(const TSioOptions& options, TSioBase*& sio, std::uint8_t& reg) {
  unsigned long port = 0, r = 0;
  if (!ParseNumber(options.Port, 0xFF, port)) {
    std::fprintf(stderr, "sio: bad --port \"%s\" (0..0xFF)\n", options.Port.c_str());
    return kCtlUsage;
  }
  if (!ParseNumber(options.Reg, 0xFF, r)) {
    std::fprintf(stderr, "sio: bad register \"%s\" (0..0xFF)\n", options.Reg.c_str());
    return kCtlUsage;
  }
  unsigned long ldn = 0;
  if (!options.Ldn.empty() && !ParseNumber(options.Ldn, 0xFF, ldn)) {
    std::fprintf(stderr, "sio: bad --ldn \"%s\" (0..0xFF)\n", options.Ldn.c_str());
    return kCtlUsage;
  }
  CtlRequireHardwareAccess();
  sio = TSioBuilder::Instance().Detector.get();
  if (sio->EntryAt(static_cast<std::uint16_t>(port)).FullName.empty()) {
    std::fprintf(stderr, "sio: no Super I/O chip detected at port 0x%02lX\n", port);
    return kCtlFailed;
  }
  CurrentConfigPort = static_cast<std::uint16_t>(port);
  if (!options.Ldn.empty()) sio->SelectLogicalDevice(static_cast<std::uint8_t>(ldn));
  reg = static_cast<std::uint8_t>(r);
  return kCtlSuccess;
}

void RegisterSio(CLI::App& app, TCtlContext& context) {
  static TSioOptions storage;  // outlives the parse and the callbacks
  TSioOptions* options = &storage;
  CLI::App* sio = app.add_subcommand("sio", "Super I/O configuration registers");
  sio->require_subcommand(1);

  CLI::App* read = sio->add_subcommand("read", "Read one configuration register");
  read->add_option("REG", options->Reg, "Register (0..0xFF)")->required();
  read->add_option("--ldn", options->Ldn, "Select this logical device first");
  read->add_option("--port", options->Port, "Configuration port (default 0x2E)");
  read->add_flag("--json", options->Json, "Print the register and its value as JSON");
  read->callback([&context, options] {
    TSioBase* chip = nullptr;
    std::uint8_t reg = 0;
    if (const int code = Prepare(*options, chip, reg); code != kCtlSuccess) {
      context.ExitCode = code;
      return;
    }
    const std::uint8_t value = chip->ReadConfigRegister(reg);
    if (options->Json) {
      unsigned long ldn = 0;
      const bool selected = !options->Ldn.empty() && ParseNumber(options->Ldn, 0xFF, ldn);
      CtlPrintJson({{"port", CurrentConfigPort},
                    {"ldn", selected ? nlohmann::json(ldn) : nlohmann::json(nullptr)},
                    {"register", reg},
                    {"value", value}});
    } else {
      std::printf("0x%02X\n", value);
    }
    CtlWarnChipsLeftUnlocked();
  });

  CLI::App* write = sio->add_subcommand("write", "Write one configuration register");
  write->add_option("REG", options->Reg, "Register (0..0xFF)")->required();
  write->add_option("VALUE", options->Value, "Value (0..0xFF)")->required();
  write->add_option("--ldn", options->Ldn, "Select this logical device first");
  write->add_option("--port", options->Port, "Configuration port (default 0x2E)");
  write->callback([&context, options] {
    unsigned long value = 0;
    if (!ParseNumber(options->Value, 0xFF, value)) {
      std::fprintf(stderr, "sio: bad value \"%s\" (0..0xFF)\n", options->Value.c_str());
      context.ExitCode = kCtlUsage;
      return;
    }
    TSioBase* chip = nullptr;
    std::uint8_t reg = 0;
    if (const int code = Prepare(*options, chip, reg); code != kCtlSuccess) {
      context.ExitCode = code;
      return;
    }
    chip->WriteConfigRegister(reg, static_cast<std::uint8_t>(value));
    CtlWarnChipsLeftUnlocked();
  });
}

TCtlCommandRegistrar g_registrar(&RegisterSio);

}  // namespace
