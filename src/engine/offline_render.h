#pragma once
// Plays a chart from its beginning without real time passing and mixes its audio:
// the engine runs on a virtual clock advancing 1 ms per pass, the mixer is pulled a
// little behind it, so every command lands on the exact frame of its time. Frame 0
// is the moment play starts (no output delay).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace jov {

struct RenderOptions {
    int32_t rate = 44100;
    int32_t loadMode = 1;           // WavLoadMode
    double maxTailMs = 10000;       // sounds still ringing when the loop ends
    // "" silences MIDI; nullopt searches the usual SoundFont folders.
    std::optional<std::string> soundFont;
};

struct RenderSummary {
    int64_t frames = 0;
    int32_t rate = 0;
    int64_t sounds = 0;             // key sounds triggered by the play pass
    std::vector<int> missing;       // slots whose file could not be loaded
    std::vector<double> triggerMs;  // each trigger's time, ms from the start of play
};

// Receives interleaved 16-bit stereo as it is mixed.
using PcmSink = std::function<void(const int16_t* pcm, int64_t frames)>;

// nullopt when the chart file cannot be read.
std::optional<RenderSummary> RenderChart(const std::string& chartPath, const RenderOptions& options,
                                         const PcmSink& sink);

}  // namespace jov
