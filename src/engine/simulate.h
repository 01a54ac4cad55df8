#pragma once
// A chart played as the jukebox starts it, on a virtual clock and without sound: the
// lines of jov01-tool simulate. Passes that can neither dispatch nor load anything are
// jumped over (clock and pass count advanced as if they had run), so a chart whose
// events lie hours apart on the clock still simulates in a moment.
#include <cstdint>
#include <functional>
#include <string>

#include "chart/reading.h"

namespace jov {

struct SimulateOptions {
    int64_t sleepMs = 10;        // the clock advances max(sleepMs, 1) per pass
    int32_t loadMode = 1;        // WavLoadMode
    bool jumpIdlePasses = true;  // false runs every pass (the reference for tests)
    int64_t maxPasses = 0;       // > 0: stop after this many passes
    ReadingMode reading = ReadingMode::Auto;  // how the chart is read
    uint32_t seed = 1;           // its #RANDOM generator's seed
};

// Receives each line (one JSON object, no line end) with its pass (-1 for the last).
using SimulateSink = std::function<void(int64_t pass, const std::string& line)>;

void Simulate(const std::string& chartPath, const SimulateOptions& options, const SimulateSink& sink);

}  // namespace jov
