#pragma once
// TAcpiBase: finds the ACPI root pointer, walks the root table and the tables it
// references, lists every table found, and copies the platform values the tool needs
// (embedded controller ports, APIC addresses, FADT power-management ports, the PCI Express
// configuration base) into the access settings record.
//
// List order: entry 0 the root pointer, entry 1 the root table (RSDT), then the tables in
// discovery order — those the RSDT lists first, then the FACS and DSDT of each FADT, added
// when that FADT is visited. Entries are not de-duplicated.
//
// Firmware tables are untrusted. The walk is bounded (see the k* limits below); when a
// bound is hit the walk logs it, sets BoundHit and goes on with what it has. Only what was
// read is decoded: a table whose header or body cannot be read is listed, marked Refused,
// and not decoded.
//
// Firmware that offers only the 64-bit pointers (UEFI machines, microVMs) is read through
// them where the 32-bit path finds nothing: a root pointer whose RSDT address is 0 names
// the XSDT (64-bit entries) as the root table, and an FADT whose DSDT pointer is 0 names
// the DSDT in X_DSDT. A board that has the 32-bit pointers is read through them alone.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "hwaccess/IoObject.h"
#include "hwaccess/RwConfig.h"

struct TAcpiTableEntry {
  std::uint32_t Address = 0;
  // From the table's header once the walk has visited the entry; 0 until then.
  std::uint32_t Length = 0;
  // The walk did not read the table: its header or body could not be read, or its length
  // is beyond kMaxTableLength or the data bound. Nothing scans a refused table.
  bool Refused = false;
};

class TAcpiBase : public TIoObject {
 public:
  // Bounds of the walk, chosen from real firmware with wide margins:
  // - Desktop boards list 10-40 tables, large servers with one SSDT per processor package
  //   or device up to about 120; 256 entries is double that.
  static constexpr std::size_t kMaxTables = 256;
  // - The largest tables are DSDTs, a few hundred KiB on big servers; a table whose header
  //   claims more than 4 MiB is listed as it claims but not read.
  static constexpr std::uint32_t kMaxTableLength = 4u << 20;
  // - All bodies read by the walk together: 16 MiB.
  static constexpr std::uint64_t kMaxBytesRead = 16u << 20;

  static TAcpiBase& Instance();
  ~TAcpiBase() override;

  RwCfg& Settings;
  std::array<std::uint8_t, 36> DsdtHeader{};
  std::uint32_t DsdtAddress = 0;
  // Low 32 bits of the base of the first MCFG allocation; 0xFFFFFFFF = unknown.
  std::uint32_t McfgBase = 0xFFFFFFFF;
  bool Found = false;
  std::vector<TAcpiTableEntry> Tables;
  // Index into Tables of the entry being processed (an index, since the list grows while
  // the walk runs).
  std::size_t Current = 0;
  // A bound of the walk was hit (the list or the data read is incomplete).
  bool BoundHit = false;
  // Entry 1 is the XSDT, because the root pointer gives no RSDT address.
  bool RootIsXsdt = false;
  // The settings record fields the walk wrote from the tables ("SciInterrupt", ...); every
  // other platform value is the record's built-in default.
  std::set<std::string> FromFirmware;

  bool FindRootPointer();
  // Windows keeps a copy of the root table in the registry, three subkeys deep under
  // "Hardware\ACPI\RSDT" (host/Registry.h): its first entry points near the tables, and
  // the root pointer is searched for around it. Where there is no registry (Linux), the
  // kernel's record of the root pointer's own address (host/FirmwareTables.h) is the second
  // way, handed to AddRootPointer.
  bool FindRootPointerFromRegistry();
  // Bounds of the registry walk: the key name buffer, and the largest root table copy read
  // (a larger value is not read at all).
  static constexpr std::size_t kRegistryNameBytes = 2048;
  static constexpr std::size_t kRegistryDataBytes = 2048;
  bool AddRootPointer(std::uint64_t address);
  void BuildAcpiTable();

  void BuildRSDT(std::span<const std::uint8_t> table);
  // The root table when it is the XSDT: 64-bit entries (those above 4 GiB cannot be listed).
  void BuildXSDT(std::span<const std::uint8_t> table);
  void BuildFACP(std::span<const std::uint8_t> table);
  void BuildAPIC(std::span<const std::uint8_t> table);
  void BuildECDT(std::span<const std::uint8_t> table);
  void BuildDSDT(std::span<const std::uint8_t> table);
  void BuildMCFG(std::span<const std::uint8_t> table);

  // 8-bit sum of `length` bytes; a valid structure sums to 0.
  static std::uint8_t CheckSum(const void* data, std::size_t length);

 private:
  TAcpiBase();
  static void ResetInstance();
  // Appends unless the list is full; false (and logged once) when it is.
  bool AppendEntry(std::uint32_t address, std::uint32_t length);
  // The root table copy of the registry walk; none when any registry call fails.
  static std::optional<std::vector<std::uint8_t>> RootTableFromRegistry();
  bool RootPointerNearRootTable(std::span<const std::uint8_t> table);
  void ReportBound(const char* what);
  // Writes one settings field and notes that it came from the firmware.
  template <class T, class V>
  void SetFromFirmware(T& field, V value, const char* name) {
    field = static_cast<T>(value);
    FromFirmware.insert(name);
  }

  std::uint64_t m_BytesRead = 0;
};
