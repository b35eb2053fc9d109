// gavreloctl snapshot OUT.json: writes a board file of the machine the tool runs on, so
// INI sections, gpio commands and new scripts can be tried on a faithful virtual copy
// (gavreloctl --board OUT.json ...) before the real board is touched.
//
// What it holds, read through the access service like everything the tool reads:
//   - every PCI function's configuration space, as a raw image beside the board file (4096
//     bytes, or 256 for a function whose registers from 0x100 up all read as all ones), and
//     the PCI Express window at the MCFG base;
//   - the legacy BIOS area 0xE0000-0xFFFFF, every ACPI table of the walk and the SMBIOS
//     entry point and structure table, as memory images at their addresses (ranges that
//     touch are merged into one image);
//   - the processor count, the CPUID leaves and the MSRs of kMsrs that can be read;
//   - for each port a Super I/O chip was detected at: its global registers 0x00-0x2F and
//     registers 0x30 and 0x60-0xFF of each logical device, read only through the chip's
//     own unlock and lock sequences (the detection pass runs first, as in the tool).
// It writes nothing to the hardware but the Super I/O index and logical-device select
// registers that those reads need (and the unlock and lock keys). A read that fails ends the
// command with exit code 1 and no board file: a failed read's all-ones value is never
// written down as the board's content.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/Console.h"
#include "hwaccess/ReadWrite.h"
#include "platform/AcpiBase.h"
#include "platform/OrvSpec.h"
#include "platform/SmbiosBase.h"
#include "sio/SioBuilder.h"
#include "tools/gavreloctl/CtlCommand.h"
#include "tools/gavreloctl/CtlSioReport.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// MSRs that scripts and tools commonly read: APIC base, platform id, platform information,
// thermal status, temperature target, performance status.
constexpr std::uint32_t kMsrs[] = {0x1B, 0x17, 0xCE, 0x198, 0x19C, 0x1A2};
// CPUID leaves whose subleaves differ (cache parameters, extended features, topology,
// state components, ...): subleaves 0..7 are recorded for these, subleaf 0 for the others.
constexpr std::uint32_t kSubleafLeaves[] = {4, 7, 0xB, 0xD, 0xF, 0x10, 0x12, 0x14, 0x17, 0x18, 0x1F, 0x8000001D};
constexpr std::uint32_t kSubleaves = 8;
// Bounds on what firmware values can make the command read.
constexpr std::uint32_t kMaxLeaves = 0x40;
constexpr std::uint64_t kMaxRange = 1u << 20;

std::string Hex(std::uint64_t value, int digits = 0) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

struct TSnapshotError {
  std::string What;
};

class TSnapshot {
 public:
  TSnapshot(const fs::path& out) : m_Out(out) {
    m_ImageDir = out.stem().string() + "-images";
  }

  json Take() {
    TOrvSpec::Instance();  // ACPI and SMBIOS walks; PcieBase from the MCFG
    json board;
    board["description"] = "Snapshot of this machine taken by gavreloctl snapshot.";
    board["pci"] = Pci();
    board["memory"] = Memory();
    board["cpu"] = Cpu();
    json superio = SuperIo();
    if (!superio["chips"].empty()) board["superio"] = superio;
    return board;
  }

  void WriteImage(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    m_Images.emplace_back(name, bytes);
  }
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& Images() const { return m_Images; }
  const std::string& ImageDir() const { return m_ImageDir; }

 private:
  json Pci() {
    TReadWrite& rw = TReadWrite::Instance();
    json pci;
    json functions = json::array();
    unsigned lastBus = 0;
    for (std::uint16_t bdf : rw.PciFunctions()) {
      std::vector<std::uint8_t> config(4096);
      bool extended = false;
      for (std::uint16_t reg = 0; reg < 4096; reg += 4) {
        const std::uint32_t value = rw.ReadPciDword(bdf, reg);
        for (int b = 0; b < 4; ++b) config[reg + b] = static_cast<std::uint8_t>(value >> (8 * b));
        if (reg >= 0x100 && value != 0xFFFFFFFF) extended = true;
      }
      if (!extended) config.resize(256);
      char name[32];
      std::snprintf(name, sizeof name, "pci-%02x-%02x.%x.bin", bdf >> 8, (bdf >> 3) & 0x1F, bdf & 7);
      char text[16];
      std::snprintf(text, sizeof text, "%02x:%02x.%x", bdf >> 8, (bdf >> 3) & 0x1F, bdf & 7);
      WriteImage(name, config);
      functions.push_back({{"bdf", text}, {"file", m_ImageDir + "/" + name}});
      lastBus = std::max(lastBus, static_cast<unsigned>(bdf >> 8));
    }
    if (rw.PcieBase != 0xFFFFFFFF) pci["ecam"] = {{"base", Hex(rw.PcieBase, 8)}, {"buses", lastBus + 1}};
    pci["functions"] = functions;
    return pci;
  }

  struct TRange {
    std::uint64_t First, End;  // [First, End)
  };

  json Memory() {
    std::vector<TRange> ranges = {{0xE0000, 0x100000}};
    auto add = [&](std::uint64_t address, std::uint64_t length) {
      if (address == 0 || address == 0xFFFFFFFF || length == 0) return;
      ranges.push_back({address, address + std::min<std::uint64_t>(length, kMaxRange)});
    };
    const TAcpiBase& acpi = TAcpiBase::Instance();
    for (const TAcpiTableEntry& table : acpi.Tables) add(table.Address, table.Length);
    const TSmbiosBase& smbios = TSmbiosBase::Instance();
    if (smbios.Found) {
      add(smbios.EntryPointAddress, 31);
      add(smbios.TableAddress, smbios.TableLength);
    }
    std::sort(ranges.begin(), ranges.end(), [](const TRange& a, const TRange& b) { return a.First < b.First; });
    std::vector<TRange> merged;
    for (const TRange& range : ranges) {
      if (!merged.empty() && range.First <= merged.back().End) {
        merged.back().End = std::max(merged.back().End, range.End);
      } else {
        merged.push_back(range);
      }
    }
    json memory = json::array();
    TReadWrite& rw = TReadWrite::Instance();
    for (const TRange& range : merged) {
      std::vector<std::uint8_t> bytes(range.End - range.First);
      for (std::uint64_t at = 0; at < bytes.size(); at += 4096) {
        const auto chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(4096, bytes.size() - at));
        if (!rw.ReadMemBlock(bytes.data() + at, chunk, range.First + at)) {
          throw TSnapshotError{"physical memory " + Hex(range.First + at) + " (" +
                               std::to_string(chunk) + " bytes) cannot be read"};
        }
      }
      const std::string name = "mem-" + Hex(range.First, 8).substr(2) + ".bin";
      WriteImage(name, bytes);
      memory.push_back({{"base", Hex(range.First)}, {"file", m_ImageDir + "/" + name}});
    }
    return memory;
  }

  json Cpu() {
    TReadWrite& rw = TReadWrite::Instance();
    json cpu;
    cpu["count"] = std::max<std::uint32_t>(rw.ProcessorCount(), 1);
    json msrs = json::object();
    for (std::uint32_t index : kMsrs) {
      MsrRequest request{};
      request.Index = index;
      if (rw.ReadMsr(request)) msrs[Hex(index)] = Hex(static_cast<std::uint64_t>(request.High) << 32 | request.Low, 16);
    }
    if (!msrs.empty()) cpu["msr"] = msrs;
    json leaves = json::array();
    for (std::uint32_t base : {0u, 0x80000000u}) {
      TCpuidRegisters top{base, 0, 0, 0};
      rw.Cpuid(top);
      const std::uint32_t last = top.Eax >= base ? std::min(top.Eax, base + kMaxLeaves) : base;
      for (std::uint32_t leaf = base; leaf <= last; ++leaf) {
        const bool bySubleaf = std::find(std::begin(kSubleafLeaves), std::end(kSubleafLeaves), leaf) != std::end(kSubleafLeaves);
        for (std::uint32_t subleaf = 0; subleaf < (bySubleaf ? kSubleaves : 1); ++subleaf) {
          TCpuidRegisters regs{leaf, 0, subleaf, 0};
          rw.Cpuid(regs);
          json entry = {{"leaf", Hex(leaf)},
                        {"eax", Hex(regs.Eax, 8)},
                        {"ebx", Hex(regs.Ebx, 8)},
                        {"ecx", Hex(regs.Ecx, 8)},
                        {"edx", Hex(regs.Edx, 8)}};
          if (bySubleaf) entry["subleaf"] = subleaf;
          leaves.push_back(entry);
        }
      }
    }
    cpu["cpuid"] = leaves;
    return cpu;
  }

  static const char* Keys(const TSioCfg& row) {
    if (row.Vendor == L"ITE") return row.EnterScript.empty() ? "none" : "ite";
    if (row.Vendor == L"SMSC") return "smsc";
    if (row.Vendor == L"FinTek") return "fintek";
    if (row.Vendor == L"Winbond") return "winbond";
    return "nuvoton";  // Nuvoton, and the Nuvoton rows without a vendor
  }

  json SuperIo() {
    TSioBase& sio = *TSioBuilder::Instance().Detector;
    json chips = json::array();
    std::vector<std::uint16_t> ports;
    for (const TSioMatch& match : sio.Matches()) {
      if (std::find(ports.begin(), ports.end(), match.Port) == ports.end()) ports.push_back(match.Port);
    }
    for (std::uint16_t port : ports) {
      const TSioCfg* row = nullptr;
      for (const TSioMatch& match : sio.Matches()) {
        if (match.Port == port) row = match.Row;  // the last row that matched at the port
      }
      CurrentConfigPort = port;
      json global = json::object();
      std::uint8_t id[2] = {};
      for (unsigned reg = 0; reg < 0x30; ++reg) {
        const std::uint8_t value = sio.ReadConfigRegister(static_cast<std::uint8_t>(reg));
        if (reg == 0x20 || reg == 0x21) {
          id[reg - 0x20] = value;
        } else {
          global[Hex(reg, 2)] = Hex(value, 2);
        }
      }
      const std::uint8_t selected = sio.ReadConfigRegister(0x07);
      json devices = json::object();
      for (unsigned ldn = 0; ldn < row->DeviceNames.size(); ++ldn) {
        if (row->DeviceNames[ldn].empty()) continue;
        sio.SelectLogicalDevice(static_cast<std::uint8_t>(ldn));
        json registers = json::object();
        bool present = false;
        for (unsigned reg = 0x30; reg <= 0xFF; reg = reg == 0x30 ? 0x60 : reg + 1) {
          const std::uint8_t value = sio.ReadConfigRegister(static_cast<std::uint8_t>(reg));
          present |= value != 0xFF;
          registers[Hex(reg, 2)] = Hex(value, 2);
        }
        if (present) devices[Hex(ldn, 2)] = {{"registers", registers}};
      }
      sio.SelectLogicalDevice(selected);
      char idText[8];
      std::snprintf(idText, sizeof idText, "%02X %02X", id[0], id[1]);
      chips.push_back({{"name", host::WideToUtf8(row->FullName)},
                       {"port", Hex(port, 2)},
                       {"keys", Keys(*row)},
                       {"id", idText},
                       {"global", global},
                       {"devices", devices}});
    }
    return {{"chips", chips}};
  }

  fs::path m_Out;
  std::string m_ImageDir;
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> m_Images;
};

bool WriteFile(const fs::path& path, const char* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data, static_cast<std::streamsize>(size));
  return static_cast<bool>(out.flush());
}

int RunSnapshot(const std::string& outText) {
  const fs::path out(outText);
  CtlRequireHardwareAccess();
  TSnapshot snapshot(out);
  json board;
  try {
    board = snapshot.Take();
  } catch (const TSnapshotError& error) {
    std::cerr << "gavreloctl: snapshot: " << error.What << "; no board file written\n";
    return kCtlFailed;
  }
  CtlWarnChipsLeftUnlocked();
  const fs::path dir = out.parent_path() / snapshot.ImageDir();
  std::error_code error;
  fs::create_directories(dir, error);
  if (error) {
    std::cerr << "gavreloctl: snapshot: cannot create " << dir.string() << ": " << error.message() << "\n";
    return kCtlFailed;
  }
  for (const auto& [name, bytes] : snapshot.Images()) {
    if (!WriteFile(dir / name, reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
      std::cerr << "gavreloctl: snapshot: cannot write " << (dir / name).string() << "\n";
      return kCtlFailed;
    }
  }
  const std::string text = board.dump(2) + "\n";
  if (!WriteFile(out, text.data(), text.size())) {
    std::cerr << "gavreloctl: snapshot: cannot write " << out.string() << "\n";
    return kCtlFailed;
  }
  std::cout << "Board file " << out.string() << " with " << snapshot.Images().size()
            << " images in " << dir.string() << "\n";
  return kCtlSuccess;
}

void RegisterSnapshot(CLI::App& app, TCtlContext& context) {
  static std::string outFile;  // outlives the parse and the callback
  CLI::App* command = app.add_subcommand(
      "snapshot",
      "Write a board file of this machine (PCI configuration, BIOS area, ACPI and SMBIOS "
      "tables, CPUID and MSRs, detected Super I/O chips' registers) with its images in "
      "OUT-images/ beside it, to try things on a virtual copy with --board OUT.json. It only "
      "reads: the one thing it writes to the hardware is the Super I/O index and logical-device "
      "select registers (with the chip's own unlock and lock keys) its register reads need. "
      "Run it as root on the real machine");
  command->add_option("OUT", outFile, "The board file to write (OUT.json)")->required();
  command->callback([&context] { context.ExitCode = RunSnapshot(outFile); });
}

const TCtlCommandRegistrar kRegistrar(&RegisterSnapshot);

}  // namespace
