#pragma once
// TRunTrace: the tool's own account of a run, written into the access trace of a virtual
// board between the bus cycles — a header (tool, version, board file, command line), the
// decisions the tool takes (the single-instance guard, the INI file and section found or
// not, the keys read, whether the pin test runs, each pin setting applied with its pin and
// mode, the pause's start and end, the exception dialog), and an end (exit code, chips left
// in configuration mode). Bus cycles alone cannot tell a TYPE with a typo from a good run,
// and a pause makes no bus cycle at all.
//
// The trace belongs to the board (sim/AccessTrace.h). When the process's board writes its
// trace to a file (GAVRELO_TRACE), the board attaches itself here as the sink: the header
// goes first, then the decisions taken before the board existed (the single-instance
// guard), then every later decision as it is taken. A process that ends without ever
// opening its board (a second copy refused by the guard) appends its own header, decisions
// and end to the trace file, so the first copy's trace shows the refusal. Every event of
// the run carries the process id ("pid"), which tells two copies' events apart.
//
// Without a sink and without GAVRELO_TRACE and GAVRELO_BOARD in the environment, every
// call does nothing beyond building its arguments.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// Where the run's events go: the board's access trace.
class TRunTraceSink {
 public:
  virtual ~TRunTraceSink() = default;
  // Records one event, an object with "kind" and its fields; the sink adds "seq" and "us".
  virtual void RecordRunEvent(const nlohmann::json& event) = 0;
  // Fields the end event adds (the chips left in configuration mode).
  virtual nlohmann::json EndFields() = 0;
  // Wall-clock time of the sink's time origin ("us" 0), microseconds since 1970.
  virtual std::int64_t OriginUnixMicroseconds() = 0;
};

class TRunTrace {
 public:
  static TRunTrace& Instance();

  // One decision of the tool: {"kind": "decision", "what": what, "pid": ..., fields...}.
  void Decision(const std::string& what, const nlohmann::json& fields = nlohmann::json::object());

  // The board's trace takes the events from now on. With `header` the header event goes
  // first (`boardFile` names the board in it); the decisions waiting so far follow.
  void Attach(TRunTraceSink& sink, const std::string& boardFile, bool header = true);
  // The sink goes away (its board is destroyed); later events wait as before it came.
  void Detach(TRunTraceSink& sink);

  // The end event with `exitCode` (run from the process's exit, host::ExitProcess).
  void End(int exitCode);

  // The header's fields for this process.
  static nlohmann::json Header(const std::string& boardFile, std::int64_t originUnixMicroseconds);

  // At most this many decisions wait for a sink; later ones are counted and reported in the
  // header as "dropped" rather than kept without bound.
  static constexpr std::size_t kMaxPending = 256;

 private:
  TRunTrace();
  static void ResetInstance();
  static void AtExit(int exitCode);
  // Appends header, waiting decisions and `last` to the GAVRELO_TRACE file (no sink came).
  void AppendToFile(const nlohmann::json& last);
  nlohmann::json Stamped(nlohmann::json event) const;

  TRunTraceSink* m_Sink = nullptr;
  bool m_FileMode = false;  // GAVRELO_TRACE and GAVRELO_BOARD are set
  bool m_Ended = false;
  std::vector<nlohmann::json> m_Pending;
  std::size_t m_Dropped = 0;
  std::int64_t m_OriginUnixMicroseconds = 0;  // this object's creation, for a sinkless run
  std::int64_t m_OriginSteady = 0;
};
