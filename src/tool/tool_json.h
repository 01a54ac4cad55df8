#pragma once
// Pieces the tool's chart commands share.
#include <string>

#include "chart/chart_model.h"
#include "shell/json.h"

namespace jov {
struct ChartReading;
}

namespace jov::tool {

// The 15 members of a chart header, in their order, into an open object.
void WriteChartInfoMembers(JsonWriter& w, const ChartInfo& c);
// The writer's text and a line end on standard output.
void PrintJsonLine(const JsonWriter& w);
// Loads a chart as the load sequence does, with no sound or MIDI device; prints the error
// and returns false when the file cannot be read.
bool LoadChartQuietly(const std::string& path, ChartReading& reading, ChartModel& model);

}  // namespace jov::tool
