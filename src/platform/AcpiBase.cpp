#include "platform/AcpiBase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "host/FirmwareTables.h"
#include "host/Registry.h"
#include "hwaccess/ReadWrite.h"
#include "platform/FirmwareBytes.h"

namespace {

TAcpiBase* g_instance = nullptr;

constexpr std::uint32_t kNotFound = 0xFFFFFFFF;
constexpr std::size_t kHeaderLength = 36;
constexpr char kLabel[] = "TAcpiBase::BuildAcpiTable";

// Signatures come from firmware; the log shows unprintable bytes as '.'.
std::string PrintableSignature(const std::uint8_t* bytes) {
  std::string text(4, '.');
  for (int i = 0; i < 4; ++i)
    if (bytes[i] >= 0x20 && bytes[i] < 0x7F) text[i] = static_cast<char>(bytes[i]);
  return text;
}

}  // namespace

TAcpiBase& TAcpiBase::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TAcpiBase();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TAcpiBase::ResetInstance);
  }
  return *g_instance;
}

void TAcpiBase::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

TAcpiBase::TAcpiBase() : Settings(ReadWrite.Settings()) {
  Found = FindRootPointer();
  if (!Found) Found = FindRootPointerFromRegistry();
  if (!Found) return;
  BuildAcpiTable();
}

TAcpiBase::~TAcpiBase() = default;

std::uint8_t TAcpiBase::CheckSum(const void* data, std::size_t length) {
  return firmware::Sum8({static_cast<const std::uint8_t*>(data), length});
}

bool TAcpiBase::FindRootPointer() {
  std::uint64_t match = ReadWrite.SearchMem(0xE0000, 0x20000, 16, "RSD PTR ", 8, 0);
  if ((match & 0xFFFFFFFF) == kNotFound) return false;
  return AddRootPointer(match);
}

std::optional<std::vector<std::uint8_t>> TAcpiBase::RootTableFromRegistry() {
  host::TRegistry& registry = host::MachineRegistry();
  std::string path = "Hardware\\ACPI\\RSDT";
  host::TRegistry::TKey key = registry.OpenKey(path);
  if (key == nullptr) return std::nullopt;
  // <OEM id>\<OEM table id>\<OEM revision>: the first subkey of each level.
  for (int level = 0; level < 3; ++level) {
    std::optional<std::string> name = registry.SubkeyName(key, 0, kRegistryNameBytes);
    registry.CloseKey(key);
    if (!name) return std::nullopt;
    path += "\\" + *name;
    key = registry.OpenKey(path);
    if (key == nullptr) return std::nullopt;
  }
  std::optional<std::vector<std::uint8_t>> data;
  if (std::optional<std::string> value = registry.ValueName(key, 0, kRegistryNameBytes))
    data = registry.ValueData(key, *value, kRegistryDataBytes);
  registry.CloseKey(key);
  return data;
}

bool TAcpiBase::RootPointerNearRootTable(std::span<const std::uint8_t> table) {
  // The root table's first entry (the 32-bit address at offset 36; the low half of the
  // first XSDT entry): the root pointer is searched for from 64 KiB below it, 256-byte
  // aligned, over 128 KiB. A first entry below 64 KiB starts the search at 0 rather than
  // wrapping to the top of the 4 GiB space; a copy too short to hold an entry has nothing
  // to search from.
  std::optional<std::uint32_t> first = firmware::Dword(table, kHeaderLength);
  if (!first) return false;
  const std::uint32_t start = (*first >= 0x10000 ? *first - 0x10000 : 0) & ~0xFFu;
  std::uint64_t match = ReadWrite.SearchMem(start, 0x20000, 16, "RSD PTR ", 8, 0);
  return (match & 0xFFFFFFFF) != kNotFound && AddRootPointer(match);
}

bool TAcpiBase::FindRootPointerFromRegistry() {
  if (std::optional<std::vector<std::uint8_t>> table = RootTableFromRegistry()) {
    if (table->size() < 4 || (std::memcmp(table->data(), "RSDT", 4) != 0 &&
                              std::memcmp(table->data(), "XSDT", 4) != 0))
      return false;
    if (RootPointerNearRootTable(*table)) return true;
    // The registry holds the root table but no root pointer was found near it: the copy's
    // size is listed at address 0, which the walk passes over.
    AppendEntry(0, static_cast<std::uint32_t>(table->size()));
    return true;
  }
  host::TFirmwareTableRecord record = host::ReadFirmwareTableRecord();
  // The ACPI 2.0 pointer is preferred; its first 20 bytes are the 1.0 structure, which is
  // all that is used here.
  std::optional<std::uint64_t> address = record.Acpi20 ? record.Acpi20 : record.Acpi;
  if (!address) return false;
  return AddRootPointer(*address);
}

bool TAcpiBase::AddRootPointer(std::uint64_t address) {
  // Table entries hold 32-bit addresses; a root pointer above 4 GiB cannot be listed.
  if (address > 0xFFFFFFFFull - kHeaderLength) return false;
  std::array<std::uint8_t, kHeaderLength> rsdp;
  rsdp.fill(0xFF);
  ReadWrite.ReadMemBlock(rsdp.data(), static_cast<std::uint32_t>(rsdp.size()), address);
  if (CheckSum(rsdp.data(), 20) != 0) return false;
  std::span<const std::uint8_t> bytes(rsdp);
  std::uint32_t length = rsdp[15] == 0 ? 20 : *firmware::Dword(bytes, 20);
  AppendEntry(static_cast<std::uint32_t>(address), length);
  // The RSDT, which lists every table the tool decodes. Only when the root pointer has
  // none (revision 2 and later may give the XSDT alone) is the XSDT the root table.
  std::uint32_t root = *firmware::Dword(bytes, 16);
  if (root == 0 && rsdp[15] >= 2) {
    const std::uint64_t xsdt = *firmware::Dword(bytes, 24) | std::uint64_t{*firmware::Dword(bytes, 28)} << 32;
    if (xsdt != 0 && xsdt <= 0xFFFFFFFF) {
      root = static_cast<std::uint32_t>(xsdt);
      RootIsXsdt = true;
    }
  }
  AppendEntry(root, 0);
  return true;
}

bool TAcpiBase::AppendEntry(std::uint32_t address, std::uint32_t length) {
  if (Tables.size() >= kMaxTables) {
    ReportBound("Table limit reached, further tables not listed");
    return false;
  }
  Tables.push_back({address, length});
  return true;
}

void TAcpiBase::ReportBound(const char* what) {
  if (!BoundHit) Console.LogValue(kLabel, what, 12);
  BoundHit = true;
}

void TAcpiBase::BuildAcpiTable() {
  for (std::size_t i = 1; i < Tables.size(); ++i) {
    Current = i;
    std::uint32_t address = Tables[i].Address;
    // Address 0 is the real-mode interrupt vector table, never an ACPI table: firmware
    // leaves the 32-bit FACS or DSDT pointer 0 when it gives only the 64-bit one.
    if (address == 0) continue;
    std::array<std::uint8_t, kHeaderLength> header;
    header.fill(0xFF);
    if (!ReadWrite.ReadMemBlock(header.data(), static_cast<std::uint32_t>(header.size()), address)) {
      Tables[i].Refused = true;
      Console.LogValue(kLabel, "Table header unreadable, table not decoded", 12);
      continue;
    }
    std::uint32_t length = *firmware::Dword(std::span<const std::uint8_t>(header), 4);
    Tables[i].Length = length;
    Console.LogValue("BuildAcpiTable", "Table = " + PrintableSignature(header.data()), 12);
    if (length > kMaxTableLength) {
      // Listed as its header claims, never read: by the walk nor by any later scan.
      Tables[i].Refused = true;
      ReportBound("Table length beyond limit, table not read");
      continue;
    }

    void (TAcpiBase::*handler)(std::span<const std::uint8_t>) = nullptr;
    if (std::memcmp(header.data(), "RSDT", 4) == 0) handler = &TAcpiBase::BuildRSDT;
    else if (i == 1 && RootIsXsdt && std::memcmp(header.data(), "XSDT", 4) == 0)
      handler = &TAcpiBase::BuildXSDT;
    else if (std::memcmp(header.data(), "FACP", 4) == 0) handler = &TAcpiBase::BuildFACP;
    else if (std::memcmp(header.data(), "APIC", 4) == 0) handler = &TAcpiBase::BuildAPIC;
    else if (std::memcmp(header.data(), "ECDT", 4) == 0) handler = &TAcpiBase::BuildECDT;
    else if (std::memcmp(header.data(), "DSDT", 4) == 0) handler = &TAcpiBase::BuildDSDT;
    else if (std::memcmp(header.data(), "MCFG", 4) == 0) handler = &TAcpiBase::BuildMCFG;
    if (handler == nullptr) continue;

    if (m_BytesRead + length > kMaxBytesRead) {
      Tables[i].Refused = true;
      ReportBound("Data limit reached, table not read");
      continue;
    }
    m_BytesRead += length;
    std::vector<std::uint8_t> table(length, 0xFF);
    if (length > 0 && !ReadWrite.ReadMemBlock(table.data(), length, address)) {
      // Decoding the all-ones failure value would list phantom tables and set ports of
      // 0xFFFF: the table stays listed, undecoded.
      Tables[i].Refused = true;
      Console.LogValue(kLabel, "Table body unreadable, table not decoded", 12);
      continue;
    }
    (this->*handler)(table);
  }
}

void TAcpiBase::BuildRSDT(std::span<const std::uint8_t> table) {
  for (std::size_t offset = kHeaderLength; offset + 4 <= table.size(); offset += 4) {
    std::uint32_t address = *firmware::Dword(table, offset);
    if (address != 0 && !AppendEntry(address, 0)) return;
  }
}

void TAcpiBase::BuildFACP(std::span<const std::uint8_t> table) {
  // Fields are taken only where the table holds them: a truncated FADT leaves the rest of
  // the settings at their defaults.
  std::optional<std::uint32_t> dsdt = firmware::Dword(table, 40);
  if (dsdt == 0u) {
    // Firmware that gives the DSDT only in the 64-bit X_DSDT (offset 140); one above 4 GiB
    // cannot be listed.
    const auto low = firmware::Dword(table, 140), high = firmware::Dword(table, 144);
    if (low && high && *high == 0 && *low != 0) dsdt = low;
  }
  if (dsdt) {
    DsdtAddress = *dsdt;
    char text[32];
    std::snprintf(text, sizeof text, "DsdtAddress = 0x%08X", DsdtAddress);
    Console.LogValue("TAcpiBase::BuildFACP", text, 10);
  }
  RwCfg& s = Settings;
  if (auto v = firmware::Word(table, 46)) SetFromFirmware(s.SciInterrupt, *v, "SciInterrupt");
  if (auto v = firmware::Dword(table, 48)) SetFromFirmware(s.SmiCommandPort, *v, "SmiCommandPort");
  if (auto v = firmware::Byte(table, 52)) SetFromFirmware(s.AcpiEnableValue, *v, "AcpiEnableValue");
  if (auto v = firmware::Byte(table, 53)) SetFromFirmware(s.AcpiDisableValue, *v, "AcpiDisableValue");
  if (auto v = firmware::Byte(table, 54)) SetFromFirmware(s.S4BiosRequest, *v, "S4BiosRequest");
  if (auto v = firmware::Byte(table, 55)) SetFromFirmware(s.PStateControl, *v, "PStateControl");
  if (auto v = firmware::Dword(table, 56)) SetFromFirmware(s.Pm1aEventBlock, *v, "Pm1aEventBlock");
  if (auto v = firmware::Dword(table, 76)) SetFromFirmware(s.PmTimerBlock, *v, "PmTimerBlock");
  if (auto v = firmware::Dword(table, 112)) SetFromFirmware(s.PmTimer32Bit, *v & 0x100, "PmTimer32Bit");
  if (auto facs = firmware::Dword(table, 36)) {
    if (!AppendEntry(*facs, 0)) return;
  }
  if (dsdt) AppendEntry(*dsdt, 0);
}

void TAcpiBase::BuildXSDT(std::span<const std::uint8_t> table) {
  for (std::size_t offset = kHeaderLength; offset + 8 <= table.size(); offset += 8) {
    const std::uint32_t low = *firmware::Dword(table, offset);
    const std::uint32_t high = *firmware::Dword(table, offset + 4);
    if (high != 0 || low == 0) continue;
    if (!AppendEntry(low, 0)) return;
  }
}

void TAcpiBase::BuildAPIC(std::span<const std::uint8_t> table) {
  if (auto v = firmware::Dword(table, 36)) SetFromFirmware(Settings.LocalApicBase, *v, "LocalApicBase");
  // Interrupt controller structures: type byte, length byte, body. The walk ends at the
  // table's end or at a structure whose length is 0 (which would never advance).
  std::size_t offset = 44;
  while (offset + 2 <= table.size()) {
    std::uint8_t type = table[offset];
    std::uint8_t length = table[offset + 1];
    if (length == 0) break;
    if (type == 1 && length >= 12 && offset + 12 <= table.size()) {
      // I/O APIC: id at 2, address at 4, global system interrupt base at 8.
      if (*firmware::Dword(table, offset + 8) == 0)
        SetFromFirmware(Settings.IoApicBase, *firmware::Dword(table, offset + 4), "IoApicBase");
    }
    offset += length;
  }
}

void TAcpiBase::BuildECDT(std::span<const std::uint8_t> table) {
  if (auto v = firmware::Byte(table, 36)) SetFromFirmware(Settings.EcAddressSpace, *v, "EcAddressSpace");
  if (auto v = firmware::Dword(table, 40)) SetFromFirmware(Settings.EcCommandPort, *v, "EcCommandPort");
  if (auto v = firmware::Dword(table, 52)) SetFromFirmware(Settings.EcDataPort, *v, "EcDataPort");
}

void TAcpiBase::BuildDSDT(std::span<const std::uint8_t> table) {
  std::size_t n = std::min(table.size(), DsdtHeader.size());
  std::copy_n(table.begin(), n, DsdtHeader.begin());
}

void TAcpiBase::BuildMCFG(std::span<const std::uint8_t> table) {
  // The header (36), 8 reserved bytes, then 16-byte allocation structures whose first
  // field is the 64-bit base address. A table too short for one structure has none.
  if (table.size() < 44 || table.size() - 44 < 16) return;
  McfgBase = *firmware::Dword(table, 44);
}
