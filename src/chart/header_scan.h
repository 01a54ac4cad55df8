#pragma once
// Fills a playlist entry from a chart file without loading the chart.
#include <string>
#include <string_view>

#include "chart/chart_model.h"

namespace jov {

class Shell;
struct ChartReading;

// Leaves `entry` unchanged when the file does not exist (FileExists reports it).
// `reading` chooses the Extended reading when it is set and extended.
void ScanHeaders(const std::string& path, ChartInfo& entry, Shell& shell, ChartReading* reading = nullptr);
// The scan of bytes already read; `path` becomes the entry's FilePath.
void ScanHeaderBytes(std::string_view bytes, const std::string& path, ChartInfo& entry,
                     ChartReading* reading = nullptr);

}  // namespace jov
