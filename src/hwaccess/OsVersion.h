#pragma once
// OS probe: the OS class code and architecture bits that decide which driver paths the
// access service takes, and the logical processor count.
//
// Class codes (bits 4 and up): 0x10 Windows 95/98/Me, 0x20 NT 5.x, 0x40 6.0, 0xC0 6.1,
// 0x1C0 6.2, 0x2C0 6.3, 0x4C0 10.0, 0 anything else. Bit 0 x64, bit 1 Itanium.
//
// On Linux the probe reports class 0x4C0 (NT 10.0), which takes the driver paths, with bit 0
// on x86-64: Flags(0xFFFF) = 0x4C1. A virtual board may state another Windows in its board
// file ("os"), which is how the Windows 9x paths of the access service are exercised.

#include <cstdint>

class TOsVersion {
 public:
  static TOsVersion& Instance();
  // A private probe, as the access service owns one of its own.
  TOsVersion();
  virtual ~TOsVersion() = default;

  std::uint32_t Flags(std::uint32_t mask) const { return m_Flags & mask; }
  bool IsNativeProcess() const;
  bool IsX64() const { return (m_Flags & 1) != 0; }
  bool IsItanium() const { return (m_Flags & 2) != 0; }
  std::uint32_t ProcessorCount() const { return m_ProcessorCount; }

  // Classification of a Windows version record (kept as a function so it can be tested on
  // any host). platformId: 1 = Windows 9x, 2 = NT. architecture: 9 x64, 6 Itanium, 0 x86.
  static std::uint32_t Classify(std::uint32_t platformId, std::uint32_t major,
                                std::uint32_t minor, std::uint32_t architecture);

 private:
  static void ResetInstance();
  std::uint32_t m_Flags = 0;
  std::uint32_t m_ProcessorCount = 1;
  bool m_Wow64 = false;
};
