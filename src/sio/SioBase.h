#pragma once
// Super I/O detection and configuration-register access, shared by every chip class.
//
// A chip is recognised when one of its table row's probe scripts returns 0; its family code
// (which class drives it) follows from the row's vendor and name. Every configuration
// register access is one self-contained sequence at CurrentConfigPort: unlock script, index
// write, data read or write, lock script. The scripts are those of the row that matched last
// at that port, so on a board with two chips each chip is opened and closed with its own
// keys.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hwaccess/IoObject.h"
#include "sio/SioConfig.h"

class TInterpreter;

// The configuration (index) port every configuration access of every Super I/O object uses;
// the data port is the next one. 0xFFFF until a detection pass matches or Build sets it.
extern std::uint16_t CurrentConfigPort;
// Constructor argument of an object built for no particular port: after its detection pass
// CurrentConfigPort is the port of the pass's last match.
inline constexpr std::uint16_t kNoRequestedPort = 0xFFFF;
// Set by the first ReadTemperatureFrom that selects a temperature source; shared by all
// objects, so the source is written at most once per process.
extern bool TemperatureSourceSet;

// Chip family codes: high byte the vendor, low byte the model.
enum SioFamily : std::uint16_t {
  SIO_NONE = 0x000,
  SIO_WINBOND = 0x100,
  SIO_W83667 = 0x101,
  SIO_W83627 = 0x102,
  SIO_W83627UHG = 0x103,
  SIO_NUVOTON = 0x200,
  SIO_NCT6776F = 0x201,
  SIO_NCT6775F = 0x202,
  SIO_NCT6791D = 0x204,
  SIO_NCT6683D = 0x205,
  SIO_NCT610X = 0x206,
  SIO_ITE = 0x400,
};

// Family code of a matched row, from its vendor and then its name; 0 when the row gets no
// family (SMSC, FinTek, empty vendor). Shared by the detection pass and its reporting.
std::uint16_t ClassifySioRow(const TSioCfg& row);

// One match of a detection pass, for reporting: the port the probe set, the row, and the
// family code the row classifies as (0 for rows without a family).
struct TSioMatch {
  std::uint16_t Port = 0;
  const TSioCfg* Row = nullptr;
  std::uint16_t Family = 0;
};

class TSioBase : public TIoObject {
 public:
  // Runs the detection pass. An object built for `requestedPort` (the builder's Build) then
  // sets CurrentConfigPort back to that port, so the accesses the chip classes make while
  // they are constructed reach the chip the object was asked for, not the chip the pass
  // matched last.
  explicit TSioBase(std::uint16_t requestedPort = kNoRequestedPort);
  ~TSioBase() override;
  TSioBase(const TSioBase&) = delete;
  TSioBase& operator=(const TSioBase&) = delete;

  // Walks every row's probe scripts; see SioBase.cpp.
  void DetectChips();

  // The family detected at `port`; a port nothing matched at is inserted with 0.
  std::uint16_t GetFamily(std::uint8_t port);
  const std::map<std::uint16_t, std::uint16_t>& Families() const { return FamilyByPort; }
  // The row whose scripts configuration accesses at CurrentConfigPort run: the last row that
  // matched at that port in the last detection pass, the empty entry when none did. Right
  // after a pass that matched, CurrentConfigPort is the last match's port, so this is the
  // pass's last match.
  const TSioCfg& ChipEntry() const { return EntryAt(CurrentConfigPort); }
  // The last row that matched at `port` (the empty entry when none did).
  const TSioCfg& EntryAt(std::uint16_t port) const;
  // Every match of the last detection pass, in the order they occurred.
  const std::vector<TSioMatch>& Matches() const { return m_Matches; }

  // Unlock / lock sequence of ChipEntry() at CurrentConfigPort.
  void EnterConfigMode();
  void ExitConfigMode();

  std::uint8_t ReadConfigRegister(std::uint8_t reg);
  void WriteConfigRegister(std::uint8_t reg, std::uint8_t value);
  void SelectLogicalDevice(std::uint8_t ldn);
  // Base address of the selected logical device: 0x60 high byte, 0x61 low byte.
  std::uint16_t ReadBaseAddress();

  // Hardware-monitor registers through HwmIndexPort/HwmDataPort; no configuration mode.
  std::uint8_t ReadHwmRegister(std::uint8_t reg);
  void WriteHwmRegister(std::uint8_t reg, std::uint8_t value);

  std::uint16_t HwmIndexPort = 0;
  std::uint16_t HwmDataPort = 0;
  std::uint16_t HwmBase = 0;

 protected:
  const TSioConfig& ChipTable;
  // Configuration-port index -> the last row that matched there (not owned).
  std::map<std::uint16_t, const TSioCfg*> EntryByPort;
  // Non-null only while a detection pass or a configuration step runs.
  std::unique_ptr<TInterpreter> Interpreter;
  std::map<std::uint16_t, std::uint16_t> FamilyByPort;
  TSioCfg EmptyEntry;

 private:
  // Runs `entry`'s port templates for `port` and then its unlock (enter) or lock script on a
  // fresh interpreter.
  void RunConfigStep(const TSioCfg& entry, std::uint16_t port, bool enter);

  // The four texts of a configuration step, converted once per (entry, port): the port
  // sequence is the same as building them each time, without the conversions.
  struct TStepTexts {
    const TSioCfg* ForEntry = nullptr;
    std::uint16_t ForPort = 0;
    std::string IndexPort, DataPort, Enter, Exit;
  };
  TStepTexts m_Texts;
  std::vector<TSioMatch> m_Matches;
};

// Brackets configuration-register accesses: the constructor unlocks the chip, the destructor
// locks it again, so no path through an access can leave the chip unlocked.
class TConfigModeScope {
 public:
  explicit TConfigModeScope(TSioBase& sio) : m_Sio(sio) { m_Sio.EnterConfigMode(); }
  ~TConfigModeScope() { m_Sio.ExitConfigMode(); }
  TConfigModeScope(const TConfigModeScope&) = delete;
  TConfigModeScope& operator=(const TConfigModeScope&) = delete;

 private:
  TSioBase& m_Sio;
};

// Puts CurrentConfigPort and TemperatureSourceSet back to their start values (process reset).
void SioResetProcessValues();
