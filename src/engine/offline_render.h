#pragma once
// Plays a chart from its beginning without real time passing and mixes its audio:
// the engine runs on a virtual clock advancing 1 ms per pass, the mixer is pulled a
// little behind it, so every command lands on the exact frame of its time. Frame 0
// is the moment play starts: the start point's own time on the clock line, which the
// whole-millisecond start of the clock puts up to half a millisecond before the first
// pass (no output delay).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chart/reading.h"

namespace jov {

struct RenderOptions {
    int32_t rate = 44100;
    int32_t loadMode = 1;           // WavLoadMode
    int32_t passMs = 1;             // virtual time between two passes of the loop (1..50)
    double maxTailMs = 10000;       // sounds still ringing when the loop ends
    // "" silences MIDI; nullopt searches the usual SoundFont folders.
    std::optional<std::string> soundFont;
    // Polled between passes; true ends the render early (summary.cancelled, no tail).
    std::function<bool()> cancel;
    ReadingMode reading = ReadingMode::Auto;  // how the chart is read
    uint32_t seed = 1;              // its #RANDOM generator's seed
    double gainDb = 0;              // master gain before the limiter, from the first sample
    // Sees the sum before gain and limiter (stereo, full scale 1).
    std::function<void(const float* left, const float* right, int n)> mixTap;
};

struct RenderSummary {
    int64_t frames = 0;
    int32_t rate = 0;
    int64_t sounds = 0;             // key sounds triggered by the play pass
    std::vector<int> missing;       // slots whose file could not be loaded
    int64_t soundFiles = 0;         // slots whose file the render tried to load
    double startMs = 0;             // engine ms of frame 0
    std::vector<double> triggerMs;  // each trigger's engine ms (frame = (ms - startMs) * rate / 1000)
    double mixPeak = 0;             // true peak of the sum before the limiter (after the gain)
    std::string error;              // not empty: the audio could not be rendered as asked
    bool cancelled = false;
};

// Receives interleaved 16-bit stereo as it is mixed.
using PcmSink = std::function<void(const int16_t* pcm, int64_t frames)>;

// nullopt when the chart file cannot be read. A chart with a MIDI background at a rate
// the synthesiser cannot run at gives a summary whose `error` says so (nothing mixed).
std::optional<RenderSummary> RenderChart(const std::string& chartPath, const RenderOptions& options,
                                         const PcmSink& sink);

}  // namespace jov
