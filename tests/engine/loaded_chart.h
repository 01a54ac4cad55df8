#pragma once
// Helpers for the tests that play real chart files: a chart loaded for play, and the
// onsets of a render.
#include <cstdint>
#include <string>
#include <vector>

#include "chart/chart_model.h"
#include "engine/player.h"
#include "shell/clock.h"
#include "shell/status.h"

namespace jov::test {

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
        player.Reading().mode = extended ? jov::ReadingMode::Extended : jov::ReadingMode::Classic;
        player.LoadChart(path);
    }
    Shell shell;
    VirtualClock clock;
    Player player;
};

}  // namespace jov::test
