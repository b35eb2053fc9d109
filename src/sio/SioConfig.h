#pragma once
// The built-in Super I/O chip table: for each chip its names, identification value, the probe
// scripts for configuration ports 0x2E and 0x4E, the port templates, unlock and lock scripts,
// the hardware-monitor address scripts, family tag, logical device names and vendor. The table
// is compiled in and read-only once built; its key order is the detection order.

#include <array>
#include <cstdint>
#include <map>
#include <string>

// One row of the table. Every text is empty where the field is absent.
struct TSioCfg {
  std::wstring FullName;   // the row's key, e.g. "W83627UHG"
  std::wstring ShortName;  // e.g. "W627UHG"; informational
  std::uint32_t ChipId = 0;
  // [0] probes configuration port 0x2E, [1] port 0x4E, [2] is empty in every row. A probe's
  // result is 0 exactly when the chip answers.
  std::array<std::wstring, 3> DetectScripts;
  std::wstring PortTemplateA;  // "LocalA=": followed by " <port>" sets the index port
  std::wstring PortTemplateB;  // "LocalB=": followed by " <port>" sets the data port
  std::wstring EnterScript;    // unlock (enter configuration mode)
  std::wstring ExitScript;     // lock (exit configuration mode)
  std::wstring HwmIndexScript;  // hardware-monitor index port into Local0; carried as data
  std::wstring HwmDataScript;   // hardware-monitor data port; carried as data
  std::wstring FamilyTag;       // informational
  std::array<std::wstring, 24> DeviceNames;  // logical device 0x00..0x17; informational
  std::wstring Vendor;  // "Winbond", "Nuvoton", "ITE", "SMSC", "FinTek" or empty
};

class TSioConfig {
 public:
  static TSioConfig& Instance();
  virtual ~TSioConfig() = default;

  // Ordered by FullName. The names are ASCII, so comparing wchar_t units orders them exactly
  // as an ordinal comparison of UTF-16 code units would.
  using TEntries = std::map<std::wstring, TSioCfg>;
  const TEntries& Entries() const { return m_Entries; }

 private:
  TSioConfig();
  static void ResetInstance();
  TEntries m_Entries;
};
