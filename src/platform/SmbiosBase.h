#pragma once
// TSmbiosBase: finds the SMBIOS 2.x entry point ("_SM_"), reads the structure table and
// summarises the memory devices it lists (types 16 and 17).
//
// Firmware that offers only the SMBIOS 3 entry point ("_SM3_", 64-bit table address; UEFI
// machines and microVMs) is read through it when no "_SM_" entry point exists at all.
//
// The structure table is untrusted. Its length is a 16-bit field, so the buffer is at most
// 64 KiB (an SMBIOS 3 table's maximum size is cut to that); the walk stops at a structure
// whose formatted length is below 4 (the smallest valid header) or whose string set runs
// past the table's end, and logs why. A table that cannot be read is not walked.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "hwaccess/IoObject.h"

class TSmbiosBase : public TIoObject {
 public:
  static constexpr std::size_t kMaxSlots = 32;

  static TSmbiosBase& Instance();
  ~TSmbiosBase() override;

  bool Found = false;
  std::uint32_t EntryPointAddress = 0xFFFFFFFF;
  std::vector<std::uint8_t> Table;
  std::uint16_t TableLength = 0;
  std::uint32_t TableAddress = 0xFFFFFFFF;
  std::array<std::uint8_t, 31> EntryPoint{};
  // Major * 16 + minor: 2.7 gives 0x27.
  std::uint32_t Version = 0;
  bool SlotMismatch = false;
  std::uint32_t DeviceCount = 0;
  std::array<std::uint32_t, kMaxSlots> Present{};
  std::array<float, kMaxSlots> SizeGB{};
  std::array<std::uint32_t, kMaxSlots> Attributes{};
  std::uint16_t DeclaredSlots = 0;
  std::uint16_t PopulatedSlots = 0;
  // The walk stopped at a malformed structure before the table's end.
  bool WalkTruncated = false;
  // The entry point is the SMBIOS 3 one ("_SM3_"): the table's length is a maximum, and the
  // walk ends at the end-of-table structure (type 127).
  bool Smbios3 = false;

  // Walks a structure table held in memory (the constructor's step 3).
  void WalkTable(std::span<const std::uint8_t> table);

 private:
  TSmbiosBase();
  static void ResetInstance();
  bool AcceptEntryPoint(std::uint64_t address);
  bool AcceptEntryPoint3(std::uint64_t address);
  void ProcessStructure(std::span<const std::uint8_t> formatted);
};
