#include "tools/gavreloctl/TraceSvg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Geometry, in SVG user units (pixels).
constexpr double kWidth = 1000;
constexpr double kLabelWidth = 230;  // pin names left of the plot
constexpr double kRightMargin = 30;
constexpr double kTop = 78;          // first row, below title and legend
constexpr double kRowHeight = 56;
constexpr double kHigh = 12;         // output high, from the row's top
constexpr double kLow = 42;          // output low
constexpr double kAxisHeight = 46;

// How each state is drawn: stroke colour, band fill, dashes; the legend lists them in order.
struct TStateStyle {
  const char* State;
  const char* Label;
  const char* Stroke;
  const char* Fill;  // "" for states drawn as a line only
  bool Dashed;
};
constexpr TStateStyle kStyles[] = {
    /* 0 */ {"output_low", "output low", "#0550ae", "", false},
    /* 1 */ {"output_high", "output high", "#1a7f37", "", false},
    /* 2 */ {"input", "input (level dashed)", "#bc4c00", "#fff1e5", true},
    /* 3 */ {"not_gpio", "not GPIO (native function)", "#57606a", "url(#hatch-grey)", false},
    /* 4 */ {"disabled", "disabled", "#cf222e", "url(#hatch-red)", false},
};
constexpr TStateStyle kUnknown = {"", "unknown", "#8c959f", "", true};

const TStateStyle& StyleOf(const std::string& state) {
  for (const TStateStyle& style : kStyles)
    if (state == style.State) return style;
  return kUnknown;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string Milliseconds(double ms) {
  char text[32];
  if (ms >= 100 || ms == std::floor(ms))
    std::snprintf(text, sizeof text, "%.0f ms", ms);
  else
    std::snprintf(text, sizeof text, "%.2f ms", ms);
  return text;
}

// A step of 1, 2 or 5 times a power of ten giving at most about ten ticks.
double TickStep(double span) {
  const double raw = span / 10;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0, 10.0})
    if (factor * magnitude >= raw) return factor * magnitude;
  return 10 * magnitude;
}

}  // namespace

std::string TraceSvg(const TTraceTimeline& timeline) {
  // A tenth more than the trace, so the state after the last change shows.
  const double span = std::max(1.0, timeline.EndMs * 1.1);
  const double plotWidth = kWidth - kLabelWidth - kRightMargin;
  auto x = [&](double ms) { return kLabelWidth + std::clamp(ms, 0.0, span) / span * plotWidth; };
  const std::size_t rows = std::max<std::size_t>(1, timeline.Pins.size());
  const double plotBottom = kTop + static_cast<double>(rows) * kRowHeight;
  const double height = plotBottom + kAxisHeight;

  std::string svg;
  auto add = [&svg](const std::string& text) { svg += text + "\n"; };
  add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  add("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(kWidth) + "\" height=\"" +
      Number(height) + "\" viewBox=\"0 0 " + Number(kWidth) + " " + Number(height) +
      "\" font-family=\"sans-serif\" font-size=\"12\">");
  add("<defs>");
  add("<pattern id=\"hatch-grey\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
      "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#eaeef2\"/>"
      "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#8c959f\" stroke-width=\"2\"/></pattern>");
  add("<pattern id=\"hatch-red\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
      "patternTransform=\"rotate(-45)\"><rect width=\"6\" height=\"6\" fill=\"#ffebe9\"/>"
      "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#cf222e\" stroke-width=\"2\"/></pattern>");
  add("</defs>");
  add("<rect width=\"100%\" height=\"100%\" fill=\"white\"/>");

  // Title: the first run.
  std::string title = "Pin trace";
  if (!timeline.Runs.empty()) {
    const TTimelineRun& run = timeline.Runs.front();
    title = run.Tool + " " + run.Version + (run.Board.empty() ? "" : " on " + run.Board);
    if (run.Ended) title += ", exit code " + std::to_string(run.ExitCode);
  }
  add("<text x=\"10\" y=\"22\" font-size=\"15\" font-weight=\"bold\">" + Escape(title) + "</text>");

  // Legend.
  double lx = 10;
  for (const TStateStyle& style : kStyles) {
    const double y = 46;
    if (style.Fill[0] != 0)
      add("<rect x=\"" + Number(lx) + "\" y=\"" + Number(y - 8) + "\" width=\"24\" height=\"14\" fill=\"" +
          style.Fill + "\"/>");
    add("<line x1=\"" + Number(lx) + "\" y1=\"" + Number(y) + "\" x2=\"" + Number(lx + 24) + "\" y2=\"" +
        Number(y) + "\" stroke=\"" + style.Stroke + "\" stroke-width=\"2\"" +
        (style.Dashed ? " stroke-dasharray=\"4 3\"" : "") + "/>");
    add("<text x=\"" + Number(lx + 30) + "\" y=\"" + Number(y + 4) + "\">" + style.Label + "</text>");
    lx += 40 + 7.0 * static_cast<double>(std::char_traits<char>::length(style.Label));
  }

  // The tool's pause, shaded behind the waveforms.
  double pauseStart = -1;
  for (const TTimelineEntry& entry : timeline.Entries) {
    if (entry.Kind != TTimelineEntry::TKind::Decision || entry.Pid != 0) continue;
    const std::string what = entry.Event.value("what", "");
    if (what == "pause") pauseStart = entry.Ms;
    if (what == "pause_end" && pauseStart >= 0) {
      add("<rect x=\"" + Number(x(pauseStart)) + "\" y=\"" + Number(kTop - 6) + "\" width=\"" +
          Number(std::max(1.0, x(entry.Ms) - x(pauseStart))) + "\" height=\"" +
          Number(plotBottom - kTop + 6) + "\" fill=\"#ddf4ff\" opacity=\"0.6\"><title>pause " +
          Milliseconds(entry.Ms - pauseStart) + "</title></rect>");
      add("<text x=\"" + Number(x(pauseStart) + 3) + "\" y=\"" + Number(kTop + 4) +
          "\" fill=\"#0969da\" font-size=\"10\">pause " +
          Milliseconds(entry.Event.value("ms", 0.0)) + "</text>");
      pauseStart = -1;
    }
  }

  // One row per pin.
  for (std::size_t row = 0; row < timeline.Pins.size(); ++row) {
    const TPinTrack& pin = timeline.Pins[row];
    const double top = kTop + static_cast<double>(row) * kRowHeight;
    const double high = top + kHigh;
    const double low = top + kLow;
    char port[24] = "";
    if (pin.Port >= 0) std::snprintf(port, sizeof port, " @0x%llX", static_cast<unsigned long long>(pin.Port));
    add("<text x=\"10\" y=\"" + Number(top + 24) + "\" font-weight=\"bold\">" + Escape(pin.Pin) + "</text>");
    add("<text x=\"10\" y=\"" + Number(top + 39) + "\" fill=\"#57606a\" font-size=\"10\">" +
        Escape(pin.Owner + " " + pin.Chip + port) + "</text>");
    add("<line x1=\"" + Number(kLabelWidth) + "\" y1=\"" + Number(top + kRowHeight - 2) + "\" x2=\"" +
        Number(kWidth - kRightMargin) + "\" y2=\"" + Number(top + kRowHeight - 2) +
        "\" stroke=\"#eaeef2\"/>");

    double previousY = -1;
    for (std::size_t i = 0; i <= pin.Changes.size(); ++i) {
      // Segment i runs from change i-1 (or the start) to change i (or the end).
      const double from = i == 0 ? 0 : pin.Changes[i - 1].Ms;
      const double to = i < pin.Changes.size() ? pin.Changes[i].Ms : span;
      if (to < from) continue;
      const TStateStyle& style = i == 0 ? kUnknown : StyleOf(pin.Changes[i - 1].State);
      const int level = i == 0 ? 0 : pin.Changes[i - 1].Level;
      const double x1 = x(from);
      const double x2 = x(to);
      double y = (low + high) / 2;
      if (style.State == std::string("output_low")) y = low;
      if (style.State == std::string("output_high")) y = high;
      if (style.State == std::string("input")) y = level != 0 ? high : low;
      const std::string tip = i == 0 ? "before the first change"
                                     : pin.Pin + " " + style.Label + " from " + Milliseconds(from) +
                                           " for " + Milliseconds(to - from);
      if (style.Fill[0] != 0)
        add("<rect x=\"" + Number(x1) + "\" y=\"" + Number(high) + "\" width=\"" +
            Number(std::max(0.5, x2 - x1)) + "\" height=\"" + Number(low - high) + "\" fill=\"" + style.Fill +
            "\"><title>" + Escape(tip) + "</title></rect>");
      if (style.State != std::string("not_gpio") && style.State != std::string("disabled")) {
        if (previousY >= 0 && i > 0)
          add("<line x1=\"" + Number(x1) + "\" y1=\"" + Number(previousY) + "\" x2=\"" + Number(x1) +
              "\" y2=\"" + Number(y) + "\" stroke=\"" + style.Stroke + "\" stroke-width=\"2\"/>");
        add("<line x1=\"" + Number(x1) + "\" y1=\"" + Number(y) + "\" x2=\"" + Number(x2) + "\" y2=\"" +
            Number(y) + "\" stroke=\"" + style.Stroke + "\" stroke-width=\"2\"" +
            (style.Dashed ? " stroke-dasharray=\"4 3\"" : "") + "><title>" + Escape(tip) +
            "</title></line>");
        previousY = y;
      } else {
        previousY = -1;
      }
      // The duration over each state that has room for it (not the open end).
      if (i > 0 && i < pin.Changes.size() && x2 - x1 > 56)
        add("<text x=\"" + Number((x1 + x2) / 2) + "\" y=\"" + Number(top + 8) +
            "\" text-anchor=\"middle\" font-size=\"10\" fill=\"" + style.Stroke + "\">" +
            Milliseconds(to - from) + "</text>");
    }
  }
  if (timeline.Pins.empty())
    add("<text x=\"" + Number(kLabelWidth) + "\" y=\"" + Number(kTop + 28) +
        "\" fill=\"#57606a\">no pin changed in this trace</text>");

  // Time axis in milliseconds.
  add("<line x1=\"" + Number(kLabelWidth) + "\" y1=\"" + Number(plotBottom) + "\" x2=\"" +
      Number(kWidth - kRightMargin) + "\" y2=\"" + Number(plotBottom) + "\" stroke=\"#24292f\"/>");
  const double step = TickStep(span);
  for (double t = 0; t <= span + step / 1000; t += step) {
    add("<line x1=\"" + Number(x(t)) + "\" y1=\"" + Number(plotBottom) + "\" x2=\"" + Number(x(t)) +
        "\" y2=\"" + Number(plotBottom + 5) + "\" stroke=\"#24292f\"/>");
    add("<text x=\"" + Number(x(t)) + "\" y=\"" + Number(plotBottom + 18) +
        "\" text-anchor=\"middle\" font-size=\"10\">" + Milliseconds(t) + "</text>");
  }
  add("<text x=\"" + Number(kLabelWidth + plotWidth / 2) + "\" y=\"" + Number(plotBottom + 38) +
      "\" text-anchor=\"middle\">time since the board was opened (ms)</text>");
  add("</svg>");
  return svg;
}
