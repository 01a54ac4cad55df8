#pragma once
// Times of a chart's events on the exact clock line: every tempo change takes effect at
// its own tick, and (in the Extended reading) every stop holds the position still.
#include <cstdint>
#include <vector>

#include "chart/chart_model.h"

namespace jov {

// Tempo at tick 0: #BPM as read, or the Extended reading's start tempo.
double StartTempo(const ChartModel& model);
// Milliseconds from tick 0 of each event, entry for entry. A sound on the tick of a stop
// sounds at the stop's start. Without a positive tempo the times are not finite.
std::vector<double> EventTimesMs(const ChartModel& model);
// The tick at `ms` from tick 0, the inverse of the event times: a time inside a stop is
// the stop's tick; a time past a tempo that is not positive stays at that tempo's tick.
double TickAtMs(const ChartModel& model, double ms);
// The playing time of the Extended reading: the last bar line's millisecond, rounded
// (0 when it is not finite or does not fit).
int32_t ExtendedPlayTime(const ChartModel& model);

}  // namespace jov
