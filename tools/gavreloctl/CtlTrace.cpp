// gavreloctl trace FILE: an access trace (GAVRELO_TRACE) as a timeline — the runs in it,
// the tool's decisions and every pin change with its time, owner, chip, pin and state.
//   --all        adds the Super I/O configuration-register accesses, decoded (register,
//                value, logical device), between the pin changes
//   --svg OUT    also draws the pins as waveforms over a time axis in ms into OUT
//   --json       the timeline as one JSON document
// Exits 1 when the file cannot be read or holds no event.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <map>
#include <string>

#include "tools/gavreloctl/CtlCommand.h"
#include "tools/gavreloctl/TraceSvg.h"
#include "tools/gavreloctl/TraceTimeline.h"

namespace {

struct TTraceOptions {
  std::string File;
  std::string Svg;
  bool All = false;
  bool Json = false;
};

std::string Ms(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%10.3f", ms);
  return text;
}

std::string PinName(const std::string& owner, const std::string& chip, std::int64_t port) {
  std::string text = owner + " " + chip;
  if (port >= 0) {
    char hex[32];
    std::snprintf(hex, sizeof hex, " @0x%llX", static_cast<unsigned long long>(port));
    text += hex;
  }
  return text;
}

// The fields of an event other than its framing, as "key=value" pairs.
std::string Fields(const nlohmann::json& event) {
  std::string text;
  for (const auto& [key, value] : event.items()) {
    if (key == "kind" || key == "what" || key == "pid" || key == "seq" || key == "us") continue;
    text += " " + key + "=" + (value.is_string() ? value.get<std::string>() : value.dump());
  }
  return text;
}

std::string Describe(const TTimelineEntry& entry, double previousPinMs) {
  const nlohmann::json& e = entry.Event;
  const std::string copy = entry.Pid != 0 ? "[pid " + std::to_string(entry.Pid) + "] " : "";
  switch (entry.Kind) {
    case TTimelineEntry::TKind::Header:
      return "start  " + copy + e.value("tool", "?") + " " + e.value("version", "") + ", pid " +
             std::to_string(e.value("pid", 0L)) + ": " + e.value("command_line", "");
    case TTimelineEntry::TKind::Decision:
      return "tool   " + copy + e.value("what", "?") + ":" + Fields(e);
    case TTimelineEntry::TKind::Pin: {
      std::string text = "pin    " + PinName(e.value("owner", ""), e.value("chip", ""), e.value("port", -1L)) +
                         "  " + e.value("pin", "?") + "  " + e.value("state", "?") + " (level " +
                         std::to_string(e.value("level", 0)) + ")";
      if (previousPinMs >= 0) {
        char after[48];
        std::snprintf(after, sizeof after, "  after %.3f ms", entry.Ms - previousPinMs);
        text += after;
      }
      return text;
    }
    case TTimelineEntry::TKind::Config:
      return "config " + entry.Access.Chip + "  " + DescribeConfigAccess(entry.Access);
    case TTimelineEntry::TKind::End: {
      std::string text = "end    " + copy + "exit code " + std::to_string(e.value("exit_code", 0));
      const auto left = e.find("left_unlocked");
      if (left == e.end() || !left->is_array() || left->empty()) return text + ", no chip left in configuration mode";
      text += ", left in configuration mode:";
      for (const auto& name : *left) text += " " + (name.is_string() ? name.get<std::string>() : name.dump());
      return text;
    }
  }
  return "";
}

void PrintText(const TTraceTimeline& timeline) {
  if (!timeline.Runs.empty()) {
    const TTimelineRun& run = timeline.Runs.front();
    std::printf("%s %s, pid %ld, board %s\n", run.Tool.c_str(), run.Version.c_str(), run.Pid,
                run.Board.empty() ? "(none)" : run.Board.c_str());
  }
  std::printf("%10s  %s\n", "ms", "event");
  std::map<std::string, double> lastChange;  // per pin, for the time since its last change
  for (const TTimelineEntry& entry : timeline.Entries) {
    double previous = -1;
    if (entry.Kind == TTimelineEntry::TKind::Pin) {
      const std::string key = PinName(entry.Event.value("owner", ""), entry.Event.value("chip", ""),
                                      entry.Event.value("port", -1L)) + " " + entry.Event.value("pin", "");
      if (auto it = lastChange.find(key); it != lastChange.end()) previous = it->second;
      lastChange[key] = entry.Ms;
    }
    std::printf("%s  %s\n", Ms(entry.Ms).c_str(), Describe(entry, previous).c_str());
  }
  if (!timeline.OperationCounts.empty()) {
    std::string counts;
    for (const auto& [kind, count] : timeline.OperationCounts)
      counts += (counts.empty() ? " " : ", ") + std::to_string(count) + " " + kind;
    std::printf("Bus operations:%s\n", counts.c_str());
  }
}

nlohmann::json ToJson(const TTraceTimeline& timeline) {
  nlohmann::json out;
  out["runs"] = nlohmann::json::array();
  for (const TTimelineRun& run : timeline.Runs) {
    nlohmann::json r = {{"pid", run.Pid},          {"tool", run.Tool},
                        {"version", run.Version},  {"board", run.Board},
                        {"command_line", run.CommandLine}, {"start_ms", run.StartMs},
                        {"ended", run.Ended}};
    r["exit_code"] = run.Ended ? nlohmann::json(run.ExitCode) : nlohmann::json(nullptr);
    r["left_unlocked"] = run.LeftUnlocked;
    out["runs"].push_back(r);
  }
  out["timeline"] = nlohmann::json::array();
  for (const TTimelineEntry& entry : timeline.Entries) {
    nlohmann::json e;
    if (entry.Kind == TTimelineEntry::TKind::Config) {
      e = {{"kind", "config"},         {"chip", entry.Access.Chip},
           {"port", entry.Access.Port}, {"register", entry.Access.Register},
           {"value", entry.Access.Value}, {"write", entry.Access.Write}};
      e["ldn"] = entry.Access.Ldn >= 0 ? nlohmann::json(entry.Access.Ldn) : nlohmann::json(nullptr);
    } else {
      e = entry.Event;
      e.erase("us");
    }
    e["ms"] = entry.Ms;
    out["timeline"].push_back(e);
  }
  out["pins"] = nlohmann::json::array();
  for (const TPinTrack& pin : timeline.Pins) {
    nlohmann::json changes = nlohmann::json::array();
    for (const TPinTrack::TChange& c : pin.Changes)
      changes.push_back({{"ms", c.Ms}, {"state", c.State}, {"level", c.Level}});
    out["pins"].push_back({{"owner", pin.Owner},
                           {"chip", pin.Chip},
                           {"port", pin.Port >= 0 ? nlohmann::json(pin.Port) : nlohmann::json(nullptr)},
                           {"pin", pin.Pin},
                           {"changes", changes}});
  }
  out["operations"] = timeline.OperationCounts;
  out["events"] = timeline.Events;
  out["bad_lines"] = timeline.BadLines;
  out["end_ms"] = timeline.EndMs;
  return out;
}

int RunTrace(const TTraceOptions& options) {
  std::ifstream in(options.File, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "gavreloctl: trace: cannot read %s\n", options.File.c_str());
    return kCtlFailed;
  }
  const TTraceTimeline timeline = TTraceTimeline::Read(in, options.All);
  if (timeline.BadLines != 0)
    std::fprintf(stderr, "gavreloctl: trace: %zu line(s) of %s are no trace events and were skipped\n",
                 timeline.BadLines, options.File.c_str());
  if (timeline.Events == 0) {
    std::fprintf(stderr, "gavreloctl: trace: %s holds no trace event\n", options.File.c_str());
    return kCtlFailed;
  }
  if (!options.Svg.empty()) {
    std::ofstream svg(options.Svg, std::ios::binary | std::ios::trunc);
    svg << TraceSvg(timeline);
    svg.flush();
    if (!svg) {
      std::fprintf(stderr, "gavreloctl: trace: cannot write %s\n", options.Svg.c_str());
      return kCtlFailed;
    }
  }
  if (options.Json)
    std::cout << ToJson(timeline).dump(2) << "\n";
  else
    PrintText(timeline);
  return kCtlSuccess;
}

void RegisterTrace(CLI::App& app, TCtlContext& context) {
  auto options = std::make_shared<TTraceOptions>();
  CLI::App* command = app.add_subcommand(
      "trace", "Show an access trace (GAVRELO_TRACE) as a timeline of the tool's decisions and pin changes");
  command->add_option("FILE", options->File, "The trace, one JSON event per line")->required();
  command->add_flag("--all", options->All,
                    "Add the Super I/O configuration-register accesses, decoded, between the pin changes");
  command->add_option("--svg", options->Svg, "Also draw the pins as waveforms over time into this SVG file")
      ->type_name("OUT");
  command->add_flag("--json", options->Json, "Print the timeline as one JSON document");
  command->callback([options, &context] { context.ExitCode = RunTrace(*options); });
}

const TCtlCommandRegistrar registrar(&RegisterTrace);

}  // namespace
