#pragma once
// JSON pieces the tool's commands share.
#include "chart/chart_model.h"
#include "shell/json.h"

namespace jov::tool {

// The 15 members of a chart header, in their order, into an open object.
void WriteChartInfoMembers(JsonWriter& w, const ChartInfo& c);
// The writer's text and a line end on standard output.
void PrintJsonLine(const JsonWriter& w);

}  // namespace jov::tool
