// gavreloctl mem dump ADDRESS [SIZE]: physical memory through the access service, as a hex
// dump of 16 bytes a line ("000e0000  24 43 4e 31 ...  |$CN1...|"). SIZE defaults to 256
// and is limited to 16 MiB. Memory is read in byte units, 4096 bytes per request; lines that
// cannot be read print "unreadable" and make the command exit 1.

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "hwaccess/ReadWrite.h"
#include "tools/gavreloctl/CtlCommand.h"

namespace {

constexpr std::uint64_t kMaxDump = 16u << 20;

bool ParseNumber(const std::string& text, std::uint64_t& value) {
  try {
    std::size_t used = 0;
    value = std::stoull(text, &used, 0);
    return used == text.size() && !text.empty() && text[0] != '-';
  } catch (const std::exception&) {
    return false;
  }
}

void PrintLine(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) {
  char text[128];
  int at = std::snprintf(text, sizeof(text), "%08llx ", static_cast<unsigned long long>(address));
  for (std::size_t i = 0; i < 16; ++i) {
    at += i < count ? std::snprintf(text + at, sizeof(text) - at, " %02x", bytes[i])
                    : std::snprintf(text + at, sizeof(text) - at, "   ");
  }
  at += std::snprintf(text + at, sizeof(text) - at, "  |");
  for (std::size_t i = 0; i < count; ++i) {
    text[at++] = bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
  }
  text[at++] = '|';
  text[at] = 0;
  std::cout << text << "\n";
}

void AddMemCommands(CLI::App& app, TCtlContext& context) {
  CLI::App* mem = app.add_subcommand("mem", "Physical memory as the tool sees it");
  mem->require_subcommand(1);
  CLI::App* dump = mem->add_subcommand("dump", "Hex dump of physical memory");
  struct TOptions {
    std::string Address;
    std::string Size = "256";
    bool Json = false;
  };
  auto options = std::make_shared<TOptions>();
  dump->add_option("ADDRESS", options->Address, "Physical address (0x... or decimal)")->required();
  dump->add_option("SIZE", options->Size, "Bytes to dump (default 256, at most 16 MiB)");
  dump->add_flag("--json", options->Json, "Print the rows as JSON (an unreadable row has \"ok\": false, no bytes)");
  dump->callback([options, &context] {
    std::uint64_t address = 0;
    std::uint64_t size = 0;
    if (!ParseNumber(options->Address, address) || !ParseNumber(options->Size, size) ||
        size > kMaxDump) {
      std::cerr << "gavreloctl: mem dump: ADDRESS and SIZE must be numbers, SIZE at most 16 MiB\n";
      context.ExitCode = kCtlUsage;
      return;
    }
    // The last byte is address + size - 1; a range may end at the very top, not beyond it.
    if (size != 0 && address > UINT64_MAX - (size - 1)) {
      std::cerr << "gavreloctl: mem dump: the range wraps past the top of the 64-bit address "
                   "space (ADDRESS + SIZE - 1 is above 0xFFFFFFFFFFFFFFFF)\n";
      context.ExitCode = kCtlUsage;
      return;
    }
    CtlRequireHardwareAccess();
    TReadWrite& rw = TReadWrite::Instance();
    std::vector<std::uint8_t> chunk(4096);
    nlohmann::json rows = nlohmann::json::array();
    for (std::uint64_t done = 0; done < size;) {
      const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(4096, size - done));
      const bool ok = rw.ReadMemBlock(chunk.data(), count, address + done);
      for (std::uint32_t line = 0; line < count; line += 16) {
        const auto n = std::min<std::uint32_t>(16, count - line);
        // A failed chunk is read again line by line, so one gap hides only its own lines.
        if (ok || rw.ReadMemBlock(chunk.data() + line, n, address + done + line)) {
          if (options->Json)
            rows.push_back({{"address", address + done + line},
                            {"ok", true},
                            {"bytes", std::vector<std::uint8_t>(chunk.data() + line, chunk.data() + line + n)}});
          else
            PrintLine(address + done + line, chunk.data() + line, n);
        } else if (options->Json) {
          rows.push_back({{"address", address + done + line}, {"ok", false}});
          context.ExitCode = kCtlFailed;
        } else {
          char text[32];
          std::snprintf(text, sizeof(text), "%08llx  unreadable",
                        static_cast<unsigned long long>(address + done + line));
          std::cout << text << "\n";
          context.ExitCode = kCtlFailed;
        }
      }
      done += count;
    }
    if (options->Json) CtlPrintJson({{"address", address}, {"size", size}, {"rows", rows}});
  });
}

const TCtlCommandRegistrar kRegistrar(&AddMemCommands);

}  // namespace
