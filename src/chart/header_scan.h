#pragma once
// Fills a playlist entry from a chart file without loading the chart.
#include <string>

#include "chart/chart_model.h"

namespace jov {

class Shell;

// Leaves `entry` unchanged when the file does not exist (FileExists reports it).
void ScanHeaders(const std::string& path, ChartInfo& entry, Shell& shell);

}  // namespace jov
