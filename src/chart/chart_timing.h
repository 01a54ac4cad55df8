#pragma once
// The timing pass: bar lines, the sort, scaling by measure lengths, playing time.
#include <cstdint>
#include <vector>

#include "chart/chart_model.h"

namespace jov {

// maxMeasure += 2; every measure 0..maxMeasure gets a non-zero length and a bar line.
void AddBarLines(std::vector<ChartEvent>& events, int32_t& maxMeasure, float* lengths, size_t lengthCount);

// Non-recursive quicksort by Tick with a median-of-three pivot value; the order of
// equal ticks is the one this exact procedure gives (it is not stable).
void SortEvents(std::vector<ChartEvent>& events);

// Ticks scaled by the measure lengths of the sorted list; channels 21-29 become 1.
void ScaleEvents(std::vector<ChartEvent>& events, const float* lengths, size_t lengthCount);

// Playing time in ms of the loaded chart (accumulator form of the chart reader).
int32_t ComputePlayTime(const std::vector<ChartEvent>& events, float bpm);
// Playing time in ms as the header scan writes its formula (other operation order).
int32_t ScanPlayTime(const std::vector<ChartEvent>& events, float bpm);

}  // namespace jov
