#pragma once
// Access settings with built-in defaults. Nothing loads them from or saves them to a file:
// the ACPI reader overwrites the platform values it finds in the firmware tables, and the
// Super I/O detection reads DisableSuperIo.

#include <cstdint>
#include <string>

struct RwCfg {
  // Platform values, written by the ACPI reader (defaults stand when a table is absent).
  std::uint16_t EcCommandPort = 0x66;
  std::uint16_t EcDataPort = 0x62;
  std::uint8_t EcAddressSpace = 1;
  std::uint32_t IoApicBase = 0xFEC00000;
  std::uint32_t LocalApicBase = 0;
  std::uint16_t Pm1aEventBlock = 0x800;
  std::uint32_t SciInterrupt = 9;
  std::uint16_t PmTimerBlock = 0;
  std::uint16_t PmTimer32Bit = 0;
  std::uint16_t SmiCommandPort = 0;
  std::uint8_t AcpiEnableValue = 0;
  std::uint8_t AcpiDisableValue = 0;
  std::uint8_t S4BiosRequest = 0;
  std::uint8_t PStateControl = 0;

  // Skips Super I/O detection when true.
  bool DisableSuperIo = false;

  // Carried for compatibility with the settings record of the tool family; nothing in this
  // tool reads them. The two web addresses point at the local machine so that nothing could
  // ever reach out from a board under test if a later tool started using them.
  std::string UpdateUrl = "http://127.0.0.1/gavrelo/update";
  std::string SupportUrl = "http://127.0.0.1/gavrelo/support";
  std::string CommandFile = "CMD.rw";
  std::string DebugFile = "RwDebug.rw";
  std::uint32_t RefreshIntervalMs = 1500;
  std::uint32_t MonitorIntervalMs = 1500;
  std::uint16_t IndexPort = 0x2E;
  std::uint16_t DataPort = 0x2F;
};

class TRwConfig {
 public:
  static TRwConfig& Instance();
  virtual ~TRwConfig() = default;

  RwCfg Settings;

 private:
  TRwConfig() = default;
  static void ResetInstance();
};
