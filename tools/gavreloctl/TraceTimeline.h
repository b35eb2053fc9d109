#pragma once
// TTraceTimeline: an access trace (the JSON lines GAVRELO_TRACE writes) read back as what a
// person wants to see of a run: the runs in it (header and end), the tool's decisions, the
// pin changes, and — on request — the Super I/O configuration-register accesses decoded
// from the port cycles. Times are milliseconds on the first run's clock; the events of a
// second copy that appended to the same file (a refused one) are placed on that clock
// through the wall-clock origins the headers carry.
//
// TConfigDecoder turns port cycles and the chips' state events into register accesses:
// while a chip is in configuration mode, a write to its index port selects the register
// and a cycle at the data port reads or writes it; register 0x07 selects the logical device
// whose registers from 0x30 up the data port reaches.

#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// One configuration-register access of a Super I/O chip.
struct TConfigAccess {
  std::string Chip;  // the chip as the trace names it ("superio W83627UHG @0x2E")
  std::uint16_t Port = 0;  // index port
  int Ldn = -1;            // logical device for registers 0x30 and up; -1 for global ones
  std::uint8_t Register = 0;
  std::uint8_t Value = 0;
  bool Write = false;

  friend bool operator==(const TConfigAccess&, const TConfigAccess&) = default;
};

// "LDN 0x07 reg 0xF1 <- 0x04" / "reg 0x20 -> 0xA2" (global registers name no device).
std::string DescribeConfigAccess(const TConfigAccess& access);

class TConfigDecoder {
 public:
  // Feeds one trace event; returns the access it completes, if any.
  std::optional<TConfigAccess> Feed(const nlohmann::json& event);

 private:
  struct TChip {
    std::string Name;
    bool Open = false;
    int Index = -1;  // register selected at the index port; -1 before the first selection
    int Ldn = -1;
  };
  TChip* ChipAt(std::uint16_t port);

  std::map<std::uint16_t, TChip> m_Chips;  // by index port
  int m_LastOutPort = -1;
};

struct TTimelineRun {
  long Pid = 0;
  std::string Tool;
  std::string Version;
  std::string Board;
  std::string CommandLine;
  std::int64_t OriginUnixMicroseconds = 0;
  double StartMs = 0;  // on the timeline's clock
  bool Ended = false;
  int ExitCode = 0;
  std::vector<std::string> LeftUnlocked;
};

struct TTimelineEntry {
  enum class TKind { Header, Decision, Pin, Config, End };
  TKind Kind = TKind::Decision;
  double Ms = 0;
  long Pid = 0;              // 0 for the board's own events (the first run's)
  nlohmann::json Event;      // the event as the trace holds it
  TConfigAccess Access;      // Config entries
};

// One pin's changes, in time order.
struct TPinTrack {
  std::string Owner;
  std::string Chip;
  std::int64_t Port = -1;
  std::string Pin;
  struct TChange {
    double Ms = 0;
    std::string State;  // output_low, output_high, input, not_gpio, disabled
    int Level = 0;
  };
  std::vector<TChange> Changes;
};

class TTraceTimeline {
 public:
  // Reads a whole trace. Lines that are not JSON objects are counted in BadLines and
  // skipped; lines longer than kMaxLine are skipped as bad. `decodeConfig` adds the
  // decoded configuration-register accesses as Config entries.
  static TTraceTimeline Read(std::istream& in, bool decodeConfig);

  static constexpr std::size_t kMaxLine = 1u << 20;

  std::vector<TTimelineRun> Runs;
  std::vector<TTimelineEntry> Entries;  // in time order
  std::vector<TPinTrack> Pins;          // in order of their first change
  std::size_t Events = 0;               // every event read
  std::size_t BadLines = 0;
  double EndMs = 0;                     // time of the last event

  // Bus operations of the first run, by kind ("in", "out", "pci_read", "mem_read" ...).
  std::map<std::string, std::size_t> OperationCounts;
};
