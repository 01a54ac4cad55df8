#include "engine/loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace jov {

namespace {

using Meter = std::unique_ptr<ebur128_state, void (*)(ebur128_state*)>;

Meter MakeMeter(int32_t rate, int mode) {
    return Meter(ebur128_init(2, static_cast<unsigned long>(rate), mode), [](ebur128_state* s) { ebur128_destroy(&s); });
}

double Integrated(ebur128_state* m) {
    double v = 0;
    return ebur128_loudness_global(m, &v) == EBUR128_SUCCESS ? v : NAN;
}

double TruePeakDb(ebur128_state* m) {
    double peak = 0, v = 0;
    for (unsigned ch = 0; ch < 2; ++ch)
        if (ebur128_true_peak(m, ch, &v) == EBUR128_SUCCESS) peak = std::max(peak, v);
    return 20.0 * std::log10(peak);
}

}  // namespace

std::optional<Loudness> MeasureLoudness(const std::string& chartPath, const RenderOptions& optionsIn) {
    Meter out = MakeMeter(optionsIn.rate, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
    // The sum's true peak comes from the limiter's own detector: a second oversampling
    // meter would double the cost.
    Meter mix = MakeMeter(optionsIn.rate, EBUR128_MODE_I);
    if (!out || !mix) return std::nullopt;
    bool failed = false;
    RenderOptions options = optionsIn;
    std::vector<float> interleaved;
    options.mixTap = [&](const float* l, const float* r, int n) {
        interleaved.resize(std::size_t(n) * 2);
        for (int i = 0; i < n; ++i) {
            interleaved[2 * std::size_t(i)] = l[i];
            interleaved[2 * std::size_t(i) + 1] = r[i];
        }
        if (ebur128_add_frames_float(mix.get(), interleaved.data(), std::size_t(n)) != EBUR128_SUCCESS) failed = true;
    };
    auto summary = RenderChart(chartPath, options, [&](const int16_t* pcm, int64_t frames) {
        if (ebur128_add_frames_short(out.get(), pcm, static_cast<size_t>(frames)) != EBUR128_SUCCESS) failed = true;
    });
    if (!summary || !summary->error.empty() || summary->cancelled || failed) return std::nullopt;
    Loudness l;
    l.integrated = Integrated(out.get());
    double v = 0;
    l.range = ebur128_loudness_range(out.get(), &v) == EBUR128_SUCCESS ? v : NAN;
    l.truePeak = TruePeakDb(out.get());
    l.mixIntegrated = Integrated(mix.get());
    l.mixTruePeak = 20.0 * std::log10(summary->mixPeak);
    // A sum whose peaks stand far above its loudness is still limited after being turned
    // down, and plays under the target: one more pass at that gain measures by how much.
    const EvenGain first = EvenLoudnessGain(l);
    if (l.mixTruePeak + first.db > kPeakCeilingDbtp + 0.5) {
        Meter again = MakeMeter(optionsIn.rate, EBUR128_MODE_I);
        RenderOptions gained = optionsIn;
        gained.gainDb = first.db;
        auto second = RenderChart(chartPath, gained, [&](const int16_t* pcm, int64_t frames) {
            if (ebur128_add_frames_short(again.get(), pcm, static_cast<size_t>(frames)) != EBUR128_SUCCESS) failed = true;
        });
        const double played = Integrated(again.get());
        if (second && !second->cancelled && !failed && std::isfinite(played))
            l.limiterLoss = std::clamp(kTargetLufs - played, 0.0, 12.0);
    }
    return l;
}

}  // namespace jov
