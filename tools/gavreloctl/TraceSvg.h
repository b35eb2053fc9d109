#pragma once
// The pins of a trace drawn as waveforms: one row per pin over a time axis labelled in
// milliseconds, output low and output high as lines at two heights, input as a dashed line
// in a tinted band, not-GPIO and disabled as hatched bands, the time before a pin's first
// change dotted, the duration of each state written over it, and the tool's pause shaded.
// A person sees at a glance that the pin went low for Delay milliseconds.

#include <string>

#include "tools/gavreloctl/TraceTimeline.h"

// The whole SVG document.
std::string TraceSvg(const TTraceTimeline& timeline);
