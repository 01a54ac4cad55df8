#pragma once
// Even loudness in play: each chart gets the gain that brings it to the common level.
// Measuring (an offline render) runs on a worker thread at the lowest priority, never on
// the caller's; results go to the loudness cache, saved after each one.
//
// A chart not yet measured when it starts plays at the last chart's gain (so nothing
// waits for a render, and the level stays where the listener had it) and is measured at
// once, ahead of the rest, so it has its own gain from its next start. The jukebox asks
// for the next chart in play order while the current one plays, so in a run through the
// list every chart but the first starts with its own gain.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "chart/reading.h"
#include "playlist/loudness_cache.h"

namespace jov {

class LoudnessMatch {
public:
    // Measures the chart in `reading`; polls `cancel`.
    using Measure = std::function<std::optional<Loudness>(const std::string& path, ReadingMode reading,
                                                          const std::function<bool()>& cancel)>;
    // `cacheFile` empty: results kept for this run only.
    LoudnessMatch(std::string cacheFile, Measure measure);
    ~LoudnessMatch();
    LoudnessMatch(const LoudnessMatch&) = delete;
    LoudnessMatch& operator=(const LoudnessMatch&) = delete;

    // The gain (dB) for the chart starting now: its own when known, else the last one's
    // (and the chart is measured first thing).
    double GainForStart(const std::string& path, ReadingMode reading);
    // Measured in the background unless known (the next chart in play order).
    void MeasureSoon(const std::string& path, ReadingMode reading);
    std::optional<Loudness> Known(const std::string& path, ReadingMode reading) const;
    // Tests: blocks until nothing is waiting or being measured.
    void WaitIdle();

private:
    struct Request {
        std::string path;
        ReadingMode reading = ReadingMode::Auto;
    };
    void Enqueue(Request r, bool first);
    void Run();

    const std::string cacheFile_;
    Measure measure_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    LoudnessCache cache_;
    bool loaded_ = false;
    std::deque<Request> queue_;
    bool busy_ = false;
    bool stop_ = false;
    double lastGain_ = 0;
    std::thread worker_;
};

}  // namespace jov
