#pragma once
// The kernel's record of where the firmware put its configuration tables. On UEFI machines
// the ACPI root pointer and the SMBIOS entry point need not lie in the legacy BIOS area
// (0xE0000-0xFFFFF) at all; Linux publishes their physical addresses in
// /sys/firmware/efi/systab as lines "ACPI20=0x...", "ACPI=0x...", "SMBIOS=0x...",
// "SMBIOS3=0x...". This plays the part the registry's copy of the root table plays on
// Windows: a second way to the tables when the memory search finds nothing.
//
// The virtual board stands in for the file: while a stand-in is installed (a board's
// firmware section installs one), or while the process runs against a board file
// (GAVRELO_BOARD), the file is not read, so a simulated board never sees the addresses of
// the machine it runs on.

#include <cstdint>
#include <optional>
#include <string_view>

namespace host {

struct TFirmwareTableRecord {
  std::optional<std::uint64_t> Acpi20;   // ACPI 2.0+ root pointer
  std::optional<std::uint64_t> Acpi;     // ACPI 1.0 root pointer
  std::optional<std::uint64_t> Smbios;   // 32-bit "_SM_" entry point
  std::optional<std::uint64_t> Smbios3;  // 64-bit "_SM3_" entry point
};

// Parses the text of the systab file. Unknown keys and malformed lines are ignored.
TFirmwareTableRecord ParseFirmwareTableRecord(std::string_view text);

// The stand-in when one is installed; otherwise the parsed systab file (empty when the
// kernel does not offer it, as on machines booted from a legacy BIOS).
TFirmwareTableRecord ReadFirmwareTableRecord();

void SetFirmwareTableRecordStandIn(const TFirmwareTableRecord& record);
void ClearFirmwareTableRecordStandIn();

}  // namespace host
