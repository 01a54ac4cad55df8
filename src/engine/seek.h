#pragma once
// Putting the engine's clock, tempo and cursor at a point of the loaded chart, and the
// MIDI background at the matching millisecond.
#include <cstdint>

namespace jov {

class Clock;
class Shell;
struct ChartModel;
struct EngineState;

// `target` is a tick (byTick) or a measure number whose bar line is the point. An
// out-of-range target, or any target on a chart without events, reports
// "Err: Range over" and changes nothing (returns false).
bool SeekTo(ChartModel& model, EngineState& engine, Clock& clock, Shell& shell, int32_t target, bool byTick);

}  // namespace jov
