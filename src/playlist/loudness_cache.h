#pragma once
// Loudness results kept per chart between runs: a chart is known by its path bytes, file
// size and modification time, and the reading it was measured in. The file is small
// text, replaced whole on save; one that cannot be read, comes from elsewhere or has a
// damaged line is ignored as a whole (rebuilt by measuring again), never half trusted.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include "chart/reading.h"
#include "engine/loudness.h"

namespace jov {


struct ChartStamp {
    std::string path;
    int64_t size = 0;
    int64_t mtimeNs = 0;
    std::string reading;
};

// nullopt when the chart is not a readable regular file.
std::optional<ChartStamp> StampChart(const std::string& path, const std::string& readingId);

class LoudnessCache {
public:
    // Replaces the contents with the file's; false (and empty) when it is missing,
    // unreadable, foreign or damaged.
    bool Load(const std::string& file);
    bool Save(const std::string& file) const;
    std::string Serialize() const;
    bool Parse(std::string_view text);

    // Only a result for the same file as it is now (size and time) in the same reading.
    std::optional<Loudness> Find(const ChartStamp& stamp) const;
    void Put(const ChartStamp& stamp, const Loudness& loudness);
    std::size_t Size() const { return entries_.size(); }

private:
    struct Entry {
        int64_t size = 0, mtimeNs = 0;
        Loudness loudness;
    };
    static std::string Key(const std::string& path, const std::string& reading) { return reading + '\n' + path; }
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace jov
