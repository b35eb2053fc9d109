#include "tools/gavreloctl/TraceTimeline.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::uint8_t kRegLdn = 0x07;
constexpr std::uint8_t kFirstDeviceReg = 0x30;

std::int64_t Integer(const nlohmann::json& event, const char* key, std::int64_t fallback) {
  const auto it = event.find(key);
  if (it == event.end() || !it->is_number_integer()) return fallback;
  return it->get<std::int64_t>();
}

std::string Text(const nlohmann::json& event, const char* key) {
  const auto it = event.find(key);
  return it != event.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The index port in a chip's trace name ("superio W83627UHG @0x2E"); -1 when it has none.
int PortInName(const std::string& name) {
  const std::size_t at = name.rfind(" @0x");
  if (at == std::string::npos) return -1;
  unsigned port = 0;
  if (std::sscanf(name.c_str() + at + 4, "%x", &port) != 1 || port > 0xFFFF) return -1;
  return static_cast<int>(port);
}

}  // namespace

std::string DescribeConfigAccess(const TConfigAccess& a) {
  char text[64];
  if (a.Ldn >= 0)
    std::snprintf(text, sizeof text, "LDN 0x%02X reg 0x%02X %s 0x%02X", static_cast<unsigned>(a.Ldn),
                  a.Register, a.Write ? "<-" : "->", a.Value);
  else
    std::snprintf(text, sizeof text, "reg 0x%02X %s 0x%02X", a.Register, a.Write ? "<-" : "->",
                  a.Value);
  return text;
}

TConfigDecoder::TChip* TConfigDecoder::ChipAt(std::uint16_t port) {
  const auto it = m_Chips.find(port);
  return it == m_Chips.end() ? nullptr : &it->second;
}

std::optional<TConfigAccess> TConfigDecoder::Feed(const nlohmann::json& event) {
  const std::string kind = Text(event, "kind");
  if (kind == "state") {
    const auto state = event.find("state");
    if (state == event.end() || !state->is_object()) return std::nullopt;
    const auto mode = state->find("config_mode");
    if (mode == state->end() || !mode->is_boolean()) return std::nullopt;
    const std::string device = Text(event, "device");
    // The chip's name carries its port; otherwise the key that opened it went to that port.
    int port = PortInName(device);
    if (port < 0) port = m_LastOutPort;
    if (port < 0) return std::nullopt;
    TChip& chip = m_Chips[static_cast<std::uint16_t>(port)];
    chip.Name = device;
    chip.Open = mode->get<bool>();
    return std::nullopt;
  }
  if (kind != "in" && kind != "out") return std::nullopt;
  if (Integer(event, "width", 1) != 1) return std::nullopt;  // configuration cycles are bytes
  const std::int64_t port = Integer(event, "port", -1);
  const std::int64_t value = Integer(event, "value", -1);
  if (port < 0 || port > 0xFFFF || value < 0 || value > 0xFF) return std::nullopt;
  const bool write = kind == "out";
  if (write) m_LastOutPort = static_cast<int>(port);
  if (event.value("ok", true) == false) return std::nullopt;

  if (TChip* chip = ChipAt(static_cast<std::uint16_t>(port)); chip != nullptr && chip->Open) {
    if (write) chip->Index = static_cast<int>(value);  // an index selection (0xAA closes)
    return std::nullopt;
  }
  TChip* chip = port > 0 ? ChipAt(static_cast<std::uint16_t>(port - 1)) : nullptr;
  if (chip == nullptr || !chip->Open || chip->Index < 0) return std::nullopt;
  TConfigAccess access;
  access.Chip = chip->Name;
  access.Port = static_cast<std::uint16_t>(port - 1);
  access.Register = static_cast<std::uint8_t>(chip->Index);
  access.Value = static_cast<std::uint8_t>(value);
  access.Write = write;
  access.Ldn = access.Register >= kFirstDeviceReg ? chip->Ldn : -1;
  if (write && access.Register == kRegLdn) chip->Ldn = access.Value;
  return access;
}

TTraceTimeline TTraceTimeline::Read(std::istream& in, bool decodeConfig) {
  TTraceTimeline timeline;
  TConfigDecoder decoder;
  std::map<std::string, std::size_t> pinIndex;
  std::string line;
  long primaryPid = 0;
  std::int64_t primaryOrigin = 0;

  // Time of an event on the first run's clock.
  auto timeOf = [&](const nlohmann::json& event, long pid) {
    const double ms = static_cast<double>(Integer(event, "us", 0)) / 1000.0;
    if (pid == 0 || pid == primaryPid) return ms;
    for (const TTimelineRun& run : timeline.Runs)
      if (run.Pid == pid) return run.StartMs + ms;
    return ms;
  };

  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.size() > kMaxLine) {
      ++timeline.BadLines;
      continue;
    }
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (!event.is_object()) {
      ++timeline.BadLines;
      continue;
    }
    ++timeline.Events;
    const std::string kind = Text(event, "kind");
    const long pid = static_cast<long>(Integer(event, "pid", 0));

    TTimelineEntry entry;
    entry.Pid = pid == primaryPid ? 0 : pid;
    entry.Event = event;
    if (kind == "header") {
      TTimelineRun run;
      run.Pid = pid;
      run.Tool = Text(event, "tool");
      run.Version = Text(event, "version");
      run.Board = Text(event, "board");
      run.CommandLine = Text(event, "command_line");
      run.OriginUnixMicroseconds = Integer(event, "origin_unix_us", 0);
      if (timeline.Runs.empty()) {
        primaryPid = pid;
        primaryOrigin = run.OriginUnixMicroseconds;
        entry.Pid = 0;
      } else if (run.OriginUnixMicroseconds != 0 && primaryOrigin != 0) {
        run.StartMs = static_cast<double>(run.OriginUnixMicroseconds - primaryOrigin) / 1000.0;
      }
      timeline.Runs.push_back(run);
      entry.Kind = TTimelineEntry::TKind::Header;
      entry.Ms = timeOf(event, pid);
    } else if (kind == "decision") {
      entry.Kind = TTimelineEntry::TKind::Decision;
      entry.Ms = timeOf(event, pid);
    } else if (kind == "end") {
      entry.Kind = TTimelineEntry::TKind::End;
      entry.Ms = timeOf(event, pid);
      for (auto it = timeline.Runs.rbegin(); it != timeline.Runs.rend(); ++it) {
        if (it->Pid != pid && pid != 0) continue;
        it->Ended = true;
        it->ExitCode = static_cast<int>(Integer(event, "exit_code", 0));
        if (const auto left = event.find("left_unlocked"); left != event.end() && left->is_array())
          for (const auto& name : *left)
            if (name.is_string()) it->LeftUnlocked.push_back(name.get<std::string>());
        break;
      }
    } else if (kind == "pin") {
      entry.Kind = TTimelineEntry::TKind::Pin;
      entry.Ms = timeOf(event, pid);
      const std::string owner = Text(event, "owner");
      const std::string chip = Text(event, "chip");
      const std::int64_t port = Integer(event, "port", -1);
      const std::string pin = Text(event, "pin");
      const std::string key = owner + "\n" + chip + "\n" + std::to_string(port) + "\n" + pin;
      auto [it, added] = pinIndex.emplace(key, timeline.Pins.size());
      if (added) timeline.Pins.push_back({owner, chip, port, pin, {}});
      timeline.Pins[it->second].Changes.push_back(
          {entry.Ms, Text(event, "state"), static_cast<int>(Integer(event, "level", 0))});
    } else {
      if (kind != "state") ++timeline.OperationCounts[kind];
      if (decodeConfig) {
        if (std::optional<TConfigAccess> access = decoder.Feed(event)) {
          entry.Kind = TTimelineEntry::TKind::Config;
          entry.Ms = timeOf(event, pid);
          entry.Access = *access;
          timeline.Entries.push_back(std::move(entry));
        }
      }
      timeline.EndMs = std::max(timeline.EndMs, timeOf(event, pid));
      continue;
    }
    timeline.EndMs = std::max(timeline.EndMs, entry.Ms);
    timeline.Entries.push_back(std::move(entry));
  }
  // A copy that appended to the file wrote its lines when it ran, which is not where they
  // belong on the first run's clock.
  std::stable_sort(timeline.Entries.begin(), timeline.Entries.end(),
                   [](const TTimelineEntry& a, const TTimelineEntry& b) { return a.Ms < b.Ms; });
  for (TPinTrack& track : timeline.Pins)
    std::stable_sort(track.Changes.begin(), track.Changes.end(),
                     [](const TPinTrack::TChange& a, const TPinTrack::TChange& b) { return a.Ms < b.Ms; });
  return timeline;
}
