#pragma once
// Fills a playlist entry from a chart file without loading the chart.
#include <string>
#include <string_view>

#include "chart/chart_model.h"

namespace jov {

class Shell;
struct ChartReading;
struct ReadingChoice;

// Leaves `entry` unchanged when the file does not exist (FileExists reports it).
// `reading` chooses the chart's reading (null: Classic); `chosen` receives that choice.
void ScanHeaders(const std::string& path, ChartInfo& entry, Shell& shell, ChartReading* reading = nullptr,
                 ReadingChoice* chosen = nullptr);
// The scan of bytes already read; `path` becomes the entry's FilePath.
void ScanHeaderBytes(std::string_view bytes, const std::string& path, ChartInfo& entry,
                     ChartReading* reading = nullptr, ReadingChoice* chosen = nullptr);

}  // namespace jov
