// gavreloctl info: what the tool knows about the board it runs on — the model name from the
// BIOS identity record, the ACPI tables with the platform values taken from them, and the
// SMBIOS memory summary. `--json` prints the same as one JSON object.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "host/Console.h"
#include "host/LinuxMachine.h"
#include "hwaccess/LoadDriver.h"
#include "hwaccess/ReadWrite.h"
#include "platform/AcpiBase.h"
#include "platform/OrvBiosInfo.h"
#include "platform/OrvSpec.h"
#include "platform/SmbiosBase.h"
#include "tools/gavreloctl/CtlCommand.h"

namespace {

std::string Hex(std::uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

// The signature as it stands in memory, unprintable bytes shown as '.'.
std::string Signature(TReadWrite& rw, std::uint32_t address, std::uint32_t length) {
  char bytes[8];
  std::memset(bytes, 0xFF, sizeof bytes);
  if (address != 0) rw.ReadMemBlock(bytes, length, address);
  std::string text;
  for (std::uint32_t i = 0; i < length; ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
  }
  return text;
}

// The platform values of the settings record in the order they are shown, each with the
// width of its field in hexadecimal digits: a value prints in its field's width whatever
// its size (0x00000000 for an unset 32-bit base, not 0x0000).
struct TPlatformField {
  const char* Name;
  int Digits;
};
constexpr TPlatformField kPlatformFields[] = {
    {"EcCommandPort", 2 * sizeof(RwCfg::EcCommandPort)},
    {"EcDataPort", 2 * sizeof(RwCfg::EcDataPort)},
    {"EcAddressSpace", 2 * sizeof(RwCfg::EcAddressSpace)},
    {"IoApicBase", 2 * sizeof(RwCfg::IoApicBase)},
    {"LocalApicBase", 2 * sizeof(RwCfg::LocalApicBase)},
    {"Pm1aEventBlock", 2 * sizeof(RwCfg::Pm1aEventBlock)},
    {"SciInterrupt", 2 * sizeof(RwCfg::SciInterrupt)},
    {"PmTimerBlock", 2 * sizeof(RwCfg::PmTimerBlock)},
    {"PmTimer32Bit", 2 * sizeof(RwCfg::PmTimer32Bit)},
    {"SmiCommandPort", 2 * sizeof(RwCfg::SmiCommandPort)},
    {"AcpiEnableValue", 2 * sizeof(RwCfg::AcpiEnableValue)},
    {"AcpiDisableValue", 2 * sizeof(RwCfg::AcpiDisableValue)},
    {"S4BiosRequest", 2 * sizeof(RwCfg::S4BiosRequest)},
    {"PStateControl", 2 * sizeof(RwCfg::PStateControl)},
};

// Names are shown between double quotes, so leading and trailing blanks (which the INI
// section lookup keeps) can be seen.
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Which back end the access driver runs on, and for the Linux one how it reaches ports
// (iopl gives every width, /dev/port bytes only).
std::string AccessMode() {
  TMachine* machine = TLoadDriver::Machine();
  if (machine == nullptr) return "none";
#ifndef _WIN32
  if (auto* native = dynamic_cast<TLinuxMachine*>(machine)) return "Linux, ports through " + native->PortAccessMode();
#endif
  return "virtual board";
}

nlohmann::json Collect() {
  TOrvSpec& board = TOrvSpec::Instance();
  TOrvBiosInfo& bios = TOrvBiosInfo::Instance();
  TAcpiBase& acpi = TAcpiBase::Instance();
  TSmbiosBase& smbios = TSmbiosBase::Instance();
  TReadWrite& rw = TReadWrite::Instance();
  const RwCfg& s = rw.Settings();

  nlohmann::json out;
  out["model_name"] = host::WideToUtf8(board.ModelName);
  out["raw_project_name"] = host::WideToUtf8(bios.RawProjectName);
  out["bios_version"] = host::WideToUtf8(bios.BiosVersion);
  out["bios_date"] = host::WideToUtf8(bios.BiosDate);
  out["signature_found"] = bios.SignatureFound;
  out["record_valid"] = bios.RecordValid;
  out["safe_model_name"] = host::WideToUtf8(board.SafeModelName);
  out["pstate_supported"] = board.PStateSupported;
  out["platform"] = {
      {"EcCommandPort", s.EcCommandPort},   {"EcDataPort", s.EcDataPort},
      {"EcAddressSpace", s.EcAddressSpace}, {"IoApicBase", s.IoApicBase},
      {"LocalApicBase", s.LocalApicBase},   {"Pm1aEventBlock", s.Pm1aEventBlock},
      {"SciInterrupt", s.SciInterrupt},     {"PmTimerBlock", s.PmTimerBlock},
      {"PmTimer32Bit", s.PmTimer32Bit},     {"SmiCommandPort", s.SmiCommandPort},
      {"AcpiEnableValue", s.AcpiEnableValue}, {"AcpiDisableValue", s.AcpiDisableValue},
      {"S4BiosRequest", s.S4BiosRequest},   {"PStateControl", s.PStateControl}};
  // Where each value comes from: the firmware's tables, or the record's built-in default.
  for (const TPlatformField& field : kPlatformFields)
    out["platform_source"][field.Name] = acpi.FromFirmware.count(field.Name) ? "firmware" : "default";
  nlohmann::json tables = nlohmann::json::array();
  for (std::size_t i = 0; i < acpi.Tables.size(); ++i) {
    const TAcpiTableEntry& e = acpi.Tables[i];
    tables.push_back({{"index", i},
                      {"signature", Signature(rw, e.Address, i == 0 ? 8 : 4)},
                      {"address", e.Address},
                      {"length", e.Length},
                      {"refused", e.Refused}});
  }
  out["acpi"] = {{"found", acpi.Found},
                 {"tables", tables},
                 // No MCFG table: unknown (null), not its all-ones marker.
                 {"mcfg_base", acpi.McfgBase == 0xFFFFFFFF ? nlohmann::json(nullptr)
                                                           : nlohmann::json(acpi.McfgBase)},
                 {"bound_hit", acpi.BoundHit}};
  out["access"] = AccessMode();
  nlohmann::json slots = nlohmann::json::array();
  for (std::size_t i = 0; i < TSmbiosBase::kMaxSlots && i < smbios.DeviceCount; ++i)
    if (smbios.Present[i] != 0)
      slots.push_back({{"slot", i}, {"size_gb", smbios.SizeGB[i]}, {"attributes", smbios.Attributes[i]}});
  char version[16];
  std::snprintf(version, sizeof version, "%u.%u", smbios.Version >> 4, smbios.Version & 0xF);
  out["smbios"] = {{"found", smbios.Found},
                   {"version", smbios.Found ? version : ""},
                   {"entry_point", smbios.EntryPointAddress},
                   {"declared_slots", smbios.DeclaredSlots},
                   {"populated_slots", smbios.PopulatedSlots},
                   {"devices", smbios.DeviceCount},
                   {"slot_mismatch", smbios.SlotMismatch},
                   {"walk_truncated", smbios.WalkTruncated},
                   {"slots", slots}};
  return out;
}

const char* YesNo(bool b) { return b ? "yes" : "no"; }

void PrintSmbios(const nlohmann::json& j);

void PrintText(const nlohmann::json& j) {
  auto line = [](const char* label, const std::string& value) {
    std::printf("%-18s: %s\n", label, value.c_str());
  };
  line("Model name", Quoted(j["model_name"].get<std::string>()));
  line("Raw project name", Quoted(j["raw_project_name"].get<std::string>()));
  line("BIOS version", j["bios_version"].get<std::string>());
  line("BIOS date", j["bios_date"].get<std::string>());
  line("Signature found", YesNo(j["signature_found"]));
  line("Record valid", YesNo(j["record_valid"]));
  line("File-safe name", Quoted(j["safe_model_name"].get<std::string>()));
  line("P-state support", YesNo(j["pstate_supported"]));
  std::printf("Platform values:\n");
  for (const TPlatformField& field : kPlatformFields) {
    const std::uint64_t v = j["platform"][field.Name];
    const bool firmware = j["platform_source"][field.Name] == "firmware";
    std::printf("  %-16s: %-10s  %s\n", field.Name, Hex(v, field.Digits).c_str(),
                firmware ? "from the firmware" : "built-in default");
  }
  const nlohmann::json& acpi = j["acpi"];
  std::printf("ACPI tables (%s):\n", acpi["found"].get<bool>() ? "root pointer found" : "none found");
  for (const nlohmann::json& t : acpi["tables"])
    std::printf("  %3u  %-8s  %s  %u%s\n", t["index"].get<unsigned>(),
                t["signature"].get<std::string>().c_str(), Hex(t["address"], 8).c_str(),
                t["length"].get<unsigned>(), t["refused"].get<bool>() ? "  (not read)" : "");
  if (acpi["bound_hit"].get<bool>()) std::printf("  (walk bounded: list or data incomplete)\n");
  line("MCFG base", acpi["mcfg_base"].is_null() ? std::string("unknown") : Hex(acpi["mcfg_base"], 8));
  PrintSmbios(j["smbios"]);
  line("Access", j["access"].get<std::string>());
}

void PrintSmbios(const nlohmann::json& sm) {
  if (!sm["found"].get<bool>()) {
    std::printf("SMBIOS: no entry point found\n");
    return;
  }
  std::printf("SMBIOS %s (entry point %s):\n", sm["version"].get<std::string>().c_str(),
              Hex(sm["entry_point"], 8).c_str());
  std::printf("  %-16s: %u\n", "Declared slots", sm["declared_slots"].get<unsigned>());
  std::printf("  %-16s: %u\n", "Populated slots", sm["populated_slots"].get<unsigned>());
  std::printf("  %-16s: %s\n", "Slot mismatch", YesNo(sm["slot_mismatch"]));
  for (const nlohmann::json& slot : sm["slots"])
    std::printf("  Slot %-11u: %g GB (attributes %s)\n", slot["slot"].get<unsigned>(),
                slot["size_gb"].get<double>(), Hex(slot["attributes"], 2).c_str());
  if (sm["walk_truncated"].get<bool>()) std::printf("  (structure walk stopped at a malformed structure)\n");
}

void RegisterInfo(CLI::App& app, TCtlContext& context) {
  CLI::App* info = app.add_subcommand(
      "info", "Board model name, ACPI tables and platform values, SMBIOS memory summary");
  static bool asJson = false;
  info->add_flag("--json", asJson, std::string("Print one JSON object"));
  info->callback([&context]() {
    CtlRequireHardwareAccess();
    nlohmann::json j = Collect();
    if (asJson)
      std::cout << j.dump(2) << "\n";
    else
      PrintText(j);
    context.ExitCode = kCtlSuccess;
  });
}

TCtlCommandRegistrar g_registrar(&RegisterInfo);

}  // namespace
