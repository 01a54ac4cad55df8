#pragma once
// Filling the chart model from a chart file, and the timing pass that follows.
#include <functional>
#include <string>
#include <string_view>

#include "chart/chart_model.h"

namespace jov {

struct ChartReading;

// What the parse asks of the layers above it.
struct ParseHooks {
    // The reading: the Extended one when it chooses so for the chart; null reads Classic.
    ChartReading* reading = nullptr;
    // Load each key sound as its #WAV line is read (the "First ALL" load mode).
    bool loadSoundsWhileParsing = false;
    std::function<void(int)> LoadKeySound;
};

void ParseChartFile(ChartModel& model, const std::string& path, const ParseHooks& hooks);
// The same on bytes already read; `path` gives FilePath and the chart folder.
void ParseChartBytes(ChartModel& model, std::string_view bytes, const std::string& path, const ParseHooks& hooks);
// Bar lines, sort, scaling, PlayTime and LastTick.
void RunTimingPass(ChartModel& model);

}  // namespace jov
