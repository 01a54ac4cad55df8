#pragma once
// The chart's own tempo map, worked out independently of the engine's clock line:
// each tick's time from tick 0, summing 1250 / BPM ms per tick between tempo changes.
#include <cstdint>
#include <string>
#include <vector>

#include "chart/chart_model.h"
#include "engine/player.h"
#include "shell/clock.h"
#include "shell/status.h"

namespace jov::test {

class TempoMap {
public:
    explicit TempoMap(const ChartModel& m) : bpm0_(m.Chart.Bpm) {
        for (int32_t i = 0; i < m.EventCount; ++i)
            if (m.Events[i].Channel == kChannelTempo) changes_.push_back({m.Events[i].Tick, m.Events[i].Value});
    }
    // Milliseconds from tick 0 to `tick` (every tempo positive).
    long double Ms(double tick) const {
        long double ms = 0, at = 0, bpm = bpm0_;
        for (const auto& c : changes_) {
            if (c.tick >= tick) break;
            ms += (c.tick - at) * 1250.0L / bpm;
            at = c.tick;
            bpm = c.bpm;
        }
        return ms + (static_cast<long double>(tick) - at) * 1250.0L / bpm;
    }

private:
    struct Change {
        int32_t tick;
        int32_t bpm;
    };
    long double bpm0_;
    std::vector<Change> changes_;
};

// Frames of interleaved stereo where the left channel rises to `level` or above.
inline std::vector<int64_t> Onsets(const std::vector<int16_t>& pcm, int level) {
    std::vector<int64_t> out;
    bool quiet = true;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        const bool loud = pcm[i] >= level || pcm[i] <= -level;
        if (loud && quiet) out.push_back(static_cast<int64_t>(i / 2));
        quiet = !loud;
    }
    return out;
}

// A chart as loaded for play (no sound device).
struct LoadedChart {
    explicit LoadedChart(const std::string& path, bool extended = false) : player(shell, clock, nullptr, nullptr) {
        player.Reading().extended = extended;
        player.LoadChart(path);
    }
    Shell shell;
    VirtualClock clock;
    Player player;
};

}  // namespace jov::test
