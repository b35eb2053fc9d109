#pragma once
// The board file's "firmware" section: firmware content generated from a short
// description, with correct checksums, so that a board needs no binary images for it.
//
//   "firmware": {
//     "identity": { ... },   the board maker's BIOS identity record ("$CN1368$")
//     "acpi":     { ... },   root pointer, RSDT, FADT, FACS, DSDT, SSDTs, MADT, ECDT,
//                            MCFG and raw tables
//     "smbios":   { ... },   entry point and a structure table with memory arrays and
//                            memory devices
//     "systab":   { ... }    the kernel's record of the table addresses, as the tool reads
//                            it from /sys/firmware/efi/systab
//   }
//
// docs/board-file.md describes every field. Generated content lands in memory regions of
// its own, or is written over a raw image that already covers its addresses (so the real
// firmware images of a board can be combined with a generated identity record).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "host/FirmwareTables.h"

class TVirtualBoard;

struct TFirmwareBlob {
  std::string Name;  // for error messages: "identity", "acpi.tables", ...
  std::uint64_t Address = 0;
  std::vector<std::uint8_t> Bytes;
};

struct TFirmwareImage {
  std::vector<TFirmwareBlob> Blobs;
  // Present when the description has a "systab" member.
  std::optional<host::TFirmwareTableRecord> Systab;
};

// Builds the content. Throws std::runtime_error naming the offending field.
TFirmwareImage BuildFirmwareImage(const nlohmann::json& section);

// The section parser: builds the content and places it on the board; installs the systab
// stand-in (an empty one when the section has no "systab", so the board never sees the
// host machine's own table addresses).
void ParseFirmwareSection(TVirtualBoard& board, const nlohmann::json& section,
                          const std::filesystem::path& boardDir);
