#pragma once
// Header-scan results kept between runs, so a collection added again (or re-read in
// another reading) is not read chart by chart. One record per chart file, path bytes,
// size, modification time and reading; any change of these reads the chart afresh.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "chart/chart_model.h"
#include "chart/reading.h"

namespace jov {

// What the scan of one chart gives: its list entry, how much of it sounds (in the
// reading it got), and that reading.
struct ScanResult {
    ChartInfo info;
    int32_t soundingObjects = 0;
    ReadingChoice choice;

    bool operator==(const ScanResult&) const = default;
};

// The scan of one chart file as the list adds it. #RANDOM draws start afresh for every
// chart, so a chart's entry is the same whatever was scanned before it (or in parallel).
// Nothing when the file cannot be opened as a regular file.
std::optional<ScanResult> ScanChartFile(const std::string& path, const ChartReading* reading);

class ScanCache {
public:
    // `file` empty: kept in memory only.
    explicit ScanCache(std::string file = {}) : file_(std::move(file)) {}

    // Replaces the records by the file's; a missing, foreign or damaged file gives none
    // (false when it was there but unusable).
    bool Load();
    // Writes the records when they changed since the last load or save (atomically).
    bool Save();

    // The cached or fresh scan of `path` (thread-safe; may run on several threads).
    std::optional<ScanResult> Scan(const std::string& path, const ChartReading* reading);

    std::size_t Size() const;
    // Scans that were read from disk rather than the cache, since construction.
    std::size_t Misses() const;

private:
    struct Record {
        int64_t size = 0;
        int64_t mtimeNs = 0;
        ScanResult result;
    };

    std::string file_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Record> records_;  // reading id, NUL, path bytes
    bool dirty_ = false;
    std::size_t misses_ = 0;
};

}  // namespace jov
