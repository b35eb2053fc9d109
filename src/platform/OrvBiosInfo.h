#pragma once
// TOrvBiosInfo: the board maker's BIOS identity record in the legacy BIOS area.
//
// Record (64 bytes, 8-bit sum 0): 0 signature "$CN1368$"; 10..41 project name (ANSI, up to
// the first NUL); 42 version letter; 43 major; 44 minor; 45 suffix ('0' = none);
// 46 year (u16 LE); 48 month; 49 day. The signature may occur more than once; only a copy
// whose checksum is correct counts.

#include <array>
#include <cstdint>
#include <span>
#include <string>

class TReadWrite;

class TOrvBiosInfo {
 public:
  static constexpr std::uint64_t kAreaStart = 0xE0000;
  static constexpr char kSignature[] = "$CN1368$";
  static constexpr std::uint32_t kSignatureLength = 8;
  static constexpr std::uint32_t kRecordLength = 64;

  static TOrvBiosInfo& Instance();
  virtual ~TOrvBiosInfo() = default;

  bool SignatureFound = false;
  bool RecordValid = false;
  std::array<std::uint8_t, kRecordLength> Record{};
  std::wstring RawProjectName;
  std::wstring ProjectName;
  std::wstring BiosVersion;
  std::wstring BiosDate;

  // Decoding of one record, used by the constructor once a valid copy is found.
  static std::wstring DecodeRawProjectName(std::span<const std::uint8_t, kRecordLength> record);
  static std::wstring TrimTrailingDots(std::wstring name);
  static std::wstring DecodeVersion(std::span<const std::uint8_t, kRecordLength> record);
  static std::wstring DecodeDate(std::span<const std::uint8_t, kRecordLength> record);
  // The signature presence test over 0xE0000..0xFFFFE (the board description runs it
  // again for its own flag).
  static bool SignaturePresent(TReadWrite& access);

 private:
  TOrvBiosInfo();
  static void ResetInstance();

  TReadWrite& m_ReadWrite;
};
