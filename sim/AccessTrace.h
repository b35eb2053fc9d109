#pragma once
// The virtual board's access trace: every primitive access of the machine, in order.
//
// Tests assert on it in two ways:
//   - board.Trace().PortCycles() returns only the port cycles as TPortCycle values, which
//     compare with == and print in gtest messages, so an exact sequence is one EXPECT_EQ:
//       EXPECT_EQ(board.Trace().PortCycles(),
//                 (std::vector<TPortCycle>{TPortCycle::Out(0x2E, 0x21), TPortCycle::In(0x2F, 0x12)}));
//   - board.Trace().Events() returns every event (memory, PCI, MSR, device state ...).
//   - board.Trace().PinChanges() returns the pin events as TPinChange values.
// Clear() empties the list between the steps of a test.
//
// Devices record their own state changes with board.Trace().State(Name(), json) (for
// example a Super I/O chip entering configuration mode).
//
// With a log file open (GAVRELO_TRACE) every event is also written at once as one JSON
// object per line and flushed, so the log is complete even when the process ends abruptly.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

enum class TTraceKind {
  PortRead,
  PortWrite,
  PciRead,   // one decoded configuration access (through 0xCF8/0xCFC or the ECAM window)
  PciWrite,
  MemRead,   // one request: Length bytes at Address in accesses of Width bytes
  MemWrite,
  MsrRead,
  MsrWrite,
  CrRead,
  CrWrite,
  TscRead,
  PmcRead,
  Cpuid,
  Affinity,
  State,     // a device's own state change; Device and Detail say what
  Pin,       // a GPIO pin changed state; Detail holds the event's fields (see Pin() below)
  Run,       // the tool's own account of the run: header, decision, end (diag/RunTrace.h)
};

// Name of a kind as written in the JSON log ("in", "out", "pci_read", ...).
const char* TraceKindName(TTraceKind kind);

struct TTraceEvent {
  std::uint64_t Sequence = 0;
  std::uint64_t Microseconds = 0;
  TTraceKind Kind = TTraceKind::PortRead;
  // Port number, physical address, MSR/CR/PMC index, CPUID leaf or affinity mask; for PCI
  // events the packed bus << 8 | device << 3 | function.
  std::uint64_t Address = 0;
  std::uint16_t Register = 0;  // PCI register; CPUID subleaf (ECX)
  unsigned Width = 0;          // bytes per access
  std::uint32_t Length = 0;    // memory events: bytes moved
  std::uint64_t Value = 0;     // datum (memory: the value when Length == Width)
  bool Ok = true;              // false when the access failed (fault, unmapped, absent)
  std::string Device;          // state events: device name
  std::string Detail;          // state events: JSON text of the state
};

// A port cycle as tests write it.
struct TPortCycle {
  bool Write = false;
  std::uint16_t Port = 0;
  std::uint32_t Value = 0;
  unsigned Width = 1;

  static TPortCycle In(std::uint16_t port, std::uint32_t value, unsigned width = 1) {
    return {false, port, value, width};
  }
  static TPortCycle Out(std::uint16_t port, std::uint32_t value, unsigned width = 1) {
    return {true, port, value, width};
  }
  friend bool operator==(const TPortCycle&, const TPortCycle&) = default;
};
// gtest prints with this: "out 0x2e <- 0x21" / "in 0x2f -> 0x12" (width suffix when not 1).
void PrintTo(const TPortCycle& cycle, std::ostream* os);
std::ostream& operator<<(std::ostream& os, const TPortCycle& cycle);

// The common fields of a pin event as tests write it (Port -1 when the event has none).
struct TPinChange {
  std::string Owner;
  std::string Chip;
  std::int64_t Port = -1;
  std::string Pin;
  std::string State;
  int Level = 0;
  friend bool operator==(const TPinChange&, const TPinChange&) = default;
};
// gtest prints with this: "sio W83627UHG@0x2e GPIO12 output_low 0".
void PrintTo(const TPinChange& change, std::ostream* os);
std::ostream& operator<<(std::ostream& os, const TPinChange& change);

class TAccessTrace {
 public:
  TAccessTrace();
  ~TAccessTrace();
  TAccessTrace(const TAccessTrace&) = delete;
  TAccessTrace& operator=(const TAccessTrace&) = delete;

  void Record(TTraceEvent event);
  // An event of the run's own account (diag/RunTrace.h): `event` holds its "kind"
  // ("header", "decision", "end") and fields; the trace adds "seq" and "us".
  void RunEvent(const nlohmann::json& event);
  // Wall-clock time of "us" 0, in microseconds since 1970.
  std::int64_t OriginUnixMicroseconds() const;
  void State(const std::string& device, const nlohmann::json& state);
  // A pin whose state or level changed: `fields` are written as they are beside "kind":
  // "pin", "seq" and "us" — "owner" ("sio", "ich", "pch"), "chip", "port", "pin" (the pin's
  // name in its owner's naming), "state" ("output_low", "output_high", "input", "not_gpio",
  // "disabled") and "level" (0 or 1), plus what the owner adds.
  void Pin(const nlohmann::json& fields);

  const std::vector<TTraceEvent>& Events() const { return m_Events; }
  std::vector<TPortCycle> PortCycles() const;
  // The pin events only, in order, comparable with == like the port cycles.
  std::vector<TPinChange> PinChanges() const;
  // Events of one kind only.
  std::vector<TTraceEvent> OfKind(TTraceKind kind) const;
  void Clear() { m_Events.clear(); }

  // Keeping events in memory can be switched off (long runs, benchmarks); the log file, if
  // open, still receives every event. At most kMaxKept events are kept in memory; beyond
  // that the oldest half is dropped so a runaway script cannot exhaust memory.
  void SetKeeping(bool keep) { m_Keep = keep; }
  static constexpr std::size_t kMaxKept = 1u << 18;

  // Opens the JSON-lines log (replacing the file). False when it cannot be created. The
  // log is written in append mode, so lines another process appends (a refused second copy
  // of the tool, diag/RunTrace.h) are kept, not overwritten.
  bool OpenLog(const std::string& path);
  void CloseLog();

  // The JSON object of one event as the log writes it.
  static nlohmann::json ToJson(const TTraceEvent& event);

 private:
  std::vector<TTraceEvent> m_Events;
  std::uint64_t m_Sequence = 0;
  bool m_Keep = true;
  std::FILE* m_Log = nullptr;
  std::chrono::steady_clock::time_point m_Start;
};
