#include "platform/SmbiosBase.h"

#include <algorithm>
#include <cstring>

#include "diag/DebugConsole.h"
#include "diag/ProcessState.h"
#include "host/FirmwareTables.h"
#include "hwaccess/ReadWrite.h"
#include "platform/FirmwareBytes.h"
#include "platform/FirmwareSearch.h"

namespace {

TSmbiosBase* g_instance = nullptr;

constexpr std::uint64_t kAreaStart = 0xE0000;
constexpr std::uint32_t kAreaSize = 0x20000;
constexpr std::size_t kHeaderLength = 4;  // type, length, handle

}  // namespace

TSmbiosBase& TSmbiosBase::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TSmbiosBase();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TSmbiosBase::ResetInstance);
  }
  return *g_instance;
}

void TSmbiosBase::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

TSmbiosBase::~TSmbiosBase() = default;

TSmbiosBase::TSmbiosBase() {
  // Entry point: the first copy of "_SM_" in the legacy area whose 31 bytes sum to 0.
  firmware::FindAcceptedCopy(ReadWrite, kAreaStart, kAreaSize, "_SM_", 4,
                             [this](std::uint64_t match) { return AcceptEntryPoint(match); });
  // UEFI firmware need not place the entry point in the legacy area; the kernel records
  // where it is.
  host::TFirmwareTableRecord record;
  if (!Found) {
    record = host::ReadFirmwareTableRecord();
    if (record.Smbios && *record.Smbios <= 0xFFFFFFFFull - EntryPoint.size())
      AcceptEntryPoint(*record.Smbios);
  }
  // Firmware with only the SMBIOS 3 entry point, found the same two ways.
  if (!Found) {
    firmware::FindAcceptedCopy(ReadWrite, kAreaStart, kAreaSize, "_SM3_", 5,
                               [this](std::uint64_t match) { return AcceptEntryPoint3(match); });
  }
  if (!Found && record.Smbios3 && *record.Smbios3 <= 0xFFFFFFFFull - EntryPoint.size())
    AcceptEntryPoint3(*record.Smbios3);
  if (!Found) return;

  Table.assign(TableLength, 0xFF);
  if (TableLength > 0 && !ReadWrite.ReadMemBlock(Table.data(), TableLength, TableAddress)) {
    Console.LogValue("TSmbiosBase", "Structure table unreadable, not walked", 12);
    return;
  }
  WalkTable(Table);
}

bool TSmbiosBase::AcceptEntryPoint(std::uint64_t address) {
  std::array<std::uint8_t, 31> bytes;
  bytes.fill(0xFF);
  if (!ReadWrite.ReadMemBlock(bytes.data(), static_cast<std::uint32_t>(bytes.size()), address))
    return false;
  if (std::memcmp(bytes.data(), "_SM_", 4) != 0) return false;
  if (firmware::Sum8(bytes) != 0) return false;
  std::span<const std::uint8_t> ep(bytes);
  EntryPointAddress = static_cast<std::uint32_t>(address);
  TableLength = *firmware::Word(ep, 22);
  TableAddress = *firmware::Dword(ep, 24);
  Version = static_cast<std::uint32_t>(bytes[6]) * 16 + bytes[7];
  EntryPoint = bytes;
  Found = true;
  return true;
}

bool TSmbiosBase::AcceptEntryPoint3(std::uint64_t address) {
  // "_SM3_", checksum, length (24), major, minor, docrev, revision, reserved, the table's
  // maximum size (u32 at 12) and its 64-bit address (at 16). The checksum covers `length`
  // bytes.
  std::array<std::uint8_t, 31> bytes;
  bytes.fill(0xFF);
  if (!ReadWrite.ReadMemBlock(bytes.data(), 24, address)) return false;
  if (std::memcmp(bytes.data(), "_SM3_", 5) != 0) return false;
  const std::uint32_t length = bytes[6];
  if (length < 24 || length > bytes.size()) return false;
  if (length > 24 && !ReadWrite.ReadMemBlock(bytes.data(), length, address)) return false;
  std::span<const std::uint8_t> ep(bytes.data(), length);
  if (firmware::Sum8(ep) != 0) return false;
  const std::uint64_t tableAddress = *firmware::Dword(ep, 16) | std::uint64_t{*firmware::Dword(ep, 20)} << 32;
  if (tableAddress > 0xFFFFFFFF) return false;  // beyond what TableAddress can hold
  const std::uint32_t maximum = *firmware::Dword(ep, 12);
  if (maximum > 0xFFFF) Console.LogValue("TSmbiosBase", "SMBIOS 3 table cut to 64 KiB", 12);
  EntryPointAddress = static_cast<std::uint32_t>(address);
  TableLength = static_cast<std::uint16_t>(std::min<std::uint32_t>(maximum, 0xFFFF));
  TableAddress = static_cast<std::uint32_t>(tableAddress);
  Version = static_cast<std::uint32_t>(bytes[7]) * 16 + bytes[8];
  EntryPoint.fill(0);
  std::copy_n(bytes.begin(), length, EntryPoint.begin());
  Smbios3 = true;
  Found = true;
  return true;
}

void TSmbiosBase::WalkTable(std::span<const std::uint8_t> table) {
  std::size_t position = 0;
  while (position < table.size()) {
    std::span<const std::uint8_t> rest = table.subspan(position);
    if (rest.size() < kHeaderLength || rest[1] < kHeaderLength) {
      Console.LogValue("TSmbiosBase", "Structure shorter than its header, walk stopped", 12);
      WalkTruncated = true;
      break;
    }
    std::size_t formatted = rest[1];
    // The string set: up to and including the first pair of zero bytes that starts at or
    // after the end of the formatted part.
    std::size_t end = formatted;
    while (end + 1 < rest.size() && !(rest[end] == 0 && rest[end + 1] == 0)) ++end;
    if (end + 1 >= rest.size()) {
      Console.LogValue("TSmbiosBase", "String set runs past the table, walk stopped", 12);
      WalkTruncated = true;
      break;
    }
    ProcessStructure(rest.first(formatted));
    position += end + 2;
    if (Smbios3 && rest[0] == 127) break;  // the end of a table given by its maximum size
  }
  SlotMismatch = DeclaredSlots != PopulatedSlots;
}

void TSmbiosBase::ProcessStructure(std::span<const std::uint8_t> s) {
  // Fields are read only inside the formatted part; older SMBIOS versions define shorter
  // structures, and a field they lack reads as 0.
  auto word = [&](std::size_t offset) { return firmware::Word(s, offset).value_or(0); };
  switch (s[0]) {
    case 16:  // physical memory array
      DeclaredSlots = static_cast<std::uint16_t>(DeclaredSlots + word(13));
      break;
    case 17: {  // memory device
      std::uint16_t size = word(12);
      if (size == 0 || size == 0xFFFF) {
        ++DeviceCount;
        break;
      }
      ++PopulatedSlots;
      if (DeviceCount < kMaxSlots) {
        Present[DeviceCount] = 1;
        Attributes[DeviceCount] = firmware::Byte(s, 27).value_or(0);
        float gigabytes;
        if (size == 0x7FFF)
          gigabytes = static_cast<float>(firmware::Dword(s, 28).value_or(0)) / 1024.0f;
        else if (size & 0x8000)
          gigabytes = 0;  // given in kilobytes: below one gigabyte
        else
          gigabytes = static_cast<float>(size / 1024);
        SizeGB[DeviceCount] = gigabytes;
      }
      ++DeviceCount;
      break;
    }
    default:
      break;
  }
}
