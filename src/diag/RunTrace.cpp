#include "diag/RunTrace.h"

#include <chrono>
#include <cstdio>

#include "diag/ProcessState.h"
#include "host/FileVersion.h"
#include "host/Process.h"

namespace {

TRunTrace* g_instance = nullptr;

std::int64_t SteadyMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::int64_t UnixMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TRunTrace& TRunTrace::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TRunTrace();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TRunTrace::ResetInstance);
    static bool hooked = false;  // the hook outlives a reset of the instance
    if (!hooked) host::AddExitHook(&TRunTrace::AtExit);
    hooked = true;
  }
  return *g_instance;
}

void TRunTrace::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}

void TRunTrace::AtExit(int exitCode) {
  if (g_instance != nullptr) g_instance->End(exitCode);
}

TRunTrace::TRunTrace()
    : m_FileMode(!host::GetEnvironmentVariable("GAVRELO_TRACE").empty() &&
                 !host::GetEnvironmentVariable("GAVRELO_BOARD").empty()),
      m_OriginUnixMicroseconds(UnixMicroseconds()),
      m_OriginSteady(SteadyMicroseconds()) {}

nlohmann::json TRunTrace::Header(const std::string& boardFile,
                                 std::int64_t originUnixMicroseconds) {
  const std::string exe = host::ExecutablePath();
  std::string version;
  if (std::optional<host::TFileVersion> v = host::ReadFileVersion(exe)) {
    version = std::to_string(v->Major) + "." + std::to_string(v->Minor) + "." +
              std::to_string(v->Release) + "." + std::to_string(v->Build);
  }
  return {{"kind", "header"},
          {"tool", host::FileNamePart(exe)},
          {"version", version},
          {"board", boardFile},
          {"command_line", host::CommandLine()},
          {"pid", host::ProcessId()},
          {"origin_unix_us", originUnixMicroseconds}};
}

void TRunTrace::Decision(const std::string& what, const nlohmann::json& fields) {
  nlohmann::json event = {{"kind", "decision"}, {"what", what}, {"pid", host::ProcessId()}};
  if (fields.is_object()) {
    for (const auto& [key, value] : fields.items()) {
      if (!event.contains(key)) event[key] = value;  // never over kind, what or pid
    }
  }
  if (m_Sink != nullptr) {
    m_Sink->RecordRunEvent(event);
  } else if (m_FileMode && !m_Ended) {
    if (m_Pending.size() < kMaxPending)
      m_Pending.push_back(Stamped(std::move(event)));
    else
      ++m_Dropped;
  }
}

nlohmann::json TRunTrace::Stamped(nlohmann::json event) const {
  event["us"] = SteadyMicroseconds() - m_OriginSteady;
  return event;
}

void TRunTrace::Attach(TRunTraceSink& sink, const std::string& boardFile, bool header) {
  m_Sink = &sink;
  if (header) {
    nlohmann::json first = Header(boardFile, sink.OriginUnixMicroseconds());
    if (m_Dropped != 0) first["dropped"] = m_Dropped;
    sink.RecordRunEvent(first);
  }
  for (nlohmann::json& event : m_Pending) {
    event.erase("us");  // the sink stamps its own time
    sink.RecordRunEvent(event);
  }
  m_Pending.clear();
  m_Dropped = 0;
}

void TRunTrace::Detach(TRunTraceSink& sink) {
  if (m_Sink == &sink) m_Sink = nullptr;
}

void TRunTrace::End(int exitCode) {
  if (m_Ended) return;
  nlohmann::json end = {{"kind", "end"}, {"exit_code", exitCode}, {"pid", host::ProcessId()}};
  if (m_Sink != nullptr) {
    m_Ended = true;
    nlohmann::json extra = m_Sink->EndFields();
    if (extra.is_object()) {
      for (const auto& [key, value] : extra.items()) {
        if (!end.contains(key)) end[key] = value;
      }
    }
    m_Sink->RecordRunEvent(end);
    return;
  }
  if (!m_FileMode) return;
  m_Ended = true;
  // No board was opened, so no chip can have been touched by this process.
  end["left_unlocked"] = nlohmann::json::array();
  AppendToFile(Stamped(std::move(end)));
}

void TRunTrace::AppendToFile(const nlohmann::json& last) {
  // Appending (never replacing): the file may be the trace another copy is writing.
  std::FILE* file = std::fopen(host::GetEnvironmentVariable("GAVRELO_TRACE").c_str(), "a");
  if (file == nullptr) return;
  nlohmann::json header =
      Header(host::GetEnvironmentVariable("GAVRELO_BOARD"), m_OriginUnixMicroseconds);
  header["us"] = 0;
  if (m_Dropped != 0) header["dropped"] = m_Dropped;
  // One write: lines of a copy that appends at the same time stay whole.
  std::string text;
  std::uint64_t seq = 0;
  auto add = [&](nlohmann::json event) {
    event["seq"] = ++seq;
    text += event.dump() + "\n";
  };
  add(std::move(header));
  for (const nlohmann::json& event : m_Pending) add(event);
  add(last);
  std::setvbuf(file, nullptr, _IOFBF, text.size() + 1);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  m_Pending.clear();
}
