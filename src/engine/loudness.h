#pragma once
// A chart's loudness as it plays (EBU R128): its offline render, key sounds and MIDI
// together, the whole length at the output rate, fed to the meter. And the gain that
// plays it at the common level.
#include <optional>
#include <string>

#include "engine/offline_render.h"

namespace jov {

struct Loudness {
    double integrated = 0;  // LUFS; -inf for silence
    double range = 0;       // LU
    double truePeak = 0;    // dBTP; -inf for silence
    // The same of the sum before the limiter: what a gain scales (a limited loud chart
    // measures quieter than its sum turned down would play).
    double mixIntegrated = 0;
    double mixTruePeak = 0;
    // Loudness the limiter still takes away once the gain is applied (dB, >= 0).
    double limiterLoss = 0;
};

constexpr double kTargetLufs = -18.0;
constexpr double kPeakCeilingDbtp = -1.0;

// nullopt when the chart cannot be read or rendered (or the render was cancelled).
// `options.gainDb` is applied like in play, so a matched render can be measured too.
std::optional<Loudness> MeasureLoudness(const std::string& chartPath, const RenderOptions& options);

struct EvenGain {
    double db = 0;
    bool capped = false;  // too quiet to reach the target under the peak ceiling
};

// To the target, from the sum before the limiter; a lift is capped so the true peak after it stays at the ceiling, a cut
// never is. Silence (no finite loudness) is left as it is.
EvenGain EvenLoudnessGain(const Loudness& l);

}  // namespace jov
