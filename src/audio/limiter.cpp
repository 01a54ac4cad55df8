#include "audio/limiter.h"

#include <algorithm>
#include <cmath>

namespace jov {
namespace {

constexpr double kLookAheadMs = 2.0;
constexpr double kReleaseMs = 60.0;
constexpr double kGainRampMs = 5.0;

}  // namespace

TruePeakLimiter::TruePeakLimiter(int32_t rate) {
    rate = rate > 0 ? rate : 44100;
    latency_ = std::max(kHalf + 2, int(std::lround(rate * kLookAheadMs / 1000.0)));
    window_ = latency_ - kHalf + 1;
    release_ = float(1.0 - std::exp(-1000.0 / (kReleaseMs * rate)));
    gainRampFrames_ = std::max(1, int(std::lround(rate * kGainRampMs / 1000.0)));
    // Windowed-sinc interpolators for the points a quarter, a half and three quarters of
    // the way to the next sample, from the kTaps samples around them.
    for (int p = 0; p < 3; ++p) {
        double sum = 0;
        for (int k = 0; k < kTaps; ++k) {
            const double d = (p + 1) / 4.0 - (k - (kHalf - 1));
            const double sinc = std::sin(M_PI * d) / (M_PI * d);
            const double window = 0.5 * (1.0 + std::cos(M_PI * d / kHalf));
            phases_[p][k] = float(sinc * window);
            sum += sinc * window;
        }
        for (float& t : phases_[p]) t = float(t / sum);
        float gain = 0;
        for (float t : phases_[p]) gain += std::fabs(t);
        tapGain_ = std::max(tapGain_, gain);
    }
    std::size_t size = 1;
    while (size < std::size_t(latency_ + kTaps + 2)) size <<= 1;
    histL_.assign(size, 0.f);
    histR_.assign(size, 0.f);
    std::size_t ring = 1;  // a power of two: positions wrap by a mask
    while (ring < std::size_t(window_) + 1) ring <<= 1;
    minRing_.assign(ring, {0, 1.f});
    boxRing_.assign(std::size_t(window_), 1.f);
    boxSum_ = window_;
}

void TruePeakLimiter::SetGain(float gain) {
    if (!(gain >= 0.f) || !std::isfinite(gain) || gain == gainTarget_) return;
    gainTarget_ = gain;
    gainRampLeft_ = gainRampFrames_;
    gainStep_ = (gainTarget_ - gain_) / float(gainRampFrames_);
}

void TruePeakLimiter::SetGainNow(float gain) {
    if (!(gain >= 0.f) || !std::isfinite(gain)) return;
    gain_ = gainTarget_ = gain;
    gainRampLeft_ = 0;
}

float TruePeakLimiter::MasterGain() {
    if (gainRampLeft_ > 0) {
        gain_ += gainStep_;
        if (--gainRampLeft_ == 0) gain_ = gainTarget_;
    }
    return gain_;
}

float TruePeakLimiter::PeakOf(int64_t s) const {
    const int64_t mask = int64_t(histL_.size()) - 1;
    // No point between the samples can exceed the largest sample near it times the
    // interpolators' gain: where that stays under both the ceiling and the highest
    // peak so far, the interpolation is not needed.
    float near = 0;
    for (int k = 0; k < kTaps; ++k) {
        const int64_t i = (s - (kHalf - 1) + k) & mask;
        near = std::max(near, std::max(std::fabs(histL_[i]), std::fabs(histR_[i])));
    }
    if (near * tapGain_ <= std::min(kCeiling, peakIn_)) return std::max(std::fabs(histL_[s & mask]), std::fabs(histR_[s & mask]));
    float peak = 0;
    for (const std::vector<float>* h : {&histL_, &histR_}) {
        const float* x = h->data();
        peak = std::max(peak, std::fabs(x[s & mask]));
        for (const auto& taps : phases_) {
            float v = 0;
            for (int k = 0; k < kTaps; ++k) v += taps[k] * x[(s - (kHalf - 1) + k) & mask];
            peak = std::max(peak, std::fabs(v));
        }
    }
    return peak;
}

void TruePeakLimiter::PushRequirement(float need) {
    // Sliding minimum over the window.
    const std::size_t mask = minRing_.size() - 1;
    while (minCount_ > 0 && minRing_[(minHead_ + minCount_ - 1) & mask].second >= need) --minCount_;
    minRing_[(minHead_ + minCount_) & mask] = {reqIndex_, need};
    ++minCount_;
    while (minRing_[minHead_].first <= reqIndex_ - window_) {
        minHead_ = (minHead_ + 1) & mask;
        --minCount_;
    }
    ++reqIndex_;
    const float held = minRing_[minHead_].second;
    // Instant down, smooth back up; close enough to 1 is 1, so the stage lets go.
    if (held < envelope_) {
        envelope_ = held;
    } else {
        envelope_ += (held - envelope_) * release_;
        if (held == 1.f && envelope_ > 0.9999f) envelope_ = 1.f;
    }
    float& slot = boxRing_[boxPos_];
    notOne_ += (envelope_ != 1.f) - (slot != 1.f);
    boxSum_ += double(envelope_) - double(slot);
    slot = envelope_;
    if (++boxPos_ == boxRing_.size()) boxPos_ = 0;
    if (notOne_ == 0) boxSum_ = window_;  // no drift carried into the next stretch
}

void TruePeakLimiter::Process(float* left, float* right, int n) {
    const int64_t mask = int64_t(histL_.size()) - 1;
    for (int i = 0; i < n; ++i) {
        const float g = MasterGain();
        histL_[in_ & mask] = g == 1.f ? left[i] : left[i] * g;
        histR_[in_ & mask] = g == 1.f ? right[i] : right[i] * g;
        // The stretch from sample s to the next is complete once kHalf more are in.
        const float peak = PeakOf(in_ - kHalf);
        peakIn_ = std::max(peakIn_, peak);
        // Once engaged it aims a little under the ceiling: other meters' oversampling
        // reads a peak a few hundredths of a dB apart from this one.
        const float need = peak > kCeiling ? kCeiling * kMargin / peak : 1.f;
        // A peak between two samples is lowered by the gain on both.
        PushRequirement(std::min(need, lastNeed_));
        lastNeed_ = need;
        const int64_t o = in_ - latency_;
        const float l = histL_[o & mask], r = histR_[o & mask];
        if (notOne_ == 0) {
            left[i] = l;
            right[i] = r;
        } else {
            const float gain = float(boxSum_ / window_);
            left[i] = l * gain;
            right[i] = r * gain;
        }
        ++in_;
    }
}

}  // namespace jov
