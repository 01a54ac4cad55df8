#pragma once
// What the Extended reading adds to the clock line: tempo changes to any positive BPM
// and stops. A stop of n ticks reached at tick s moves the line back by n ticks (it
// reaches s again n ticks' time later, at the tempo in force) and holds the position at
// s meanwhile, so the stop is a flat piece of the line and everything after it moves.
#include <cstddef>
#include <cstdint>

namespace jov {

struct ChartModel;
struct EngineState;

// True for the channels whose objects sound in the Extended reading.
bool IsExtendedSoundChannel(int32_t channel);

// Applies tempo or stop event i at its own tick (a tempo change with no positive rate
// before it takes `fallbackMs` as its millisecond). False for other events.
bool ApplyExtendedTiming(const ChartModel& model, size_t i, EngineState& st, double fallbackMs);

// ElapsedMs × TicksPerMs + TickOffset, held at the last stop's tick while it lasts.
double HeldTick(const EngineState& st, double lineTick);

}  // namespace jov
