#pragma once
// The mixer's last stage: a master gain, then a true-peak look-ahead limiter that keeps
// the output at or under -1 dBTP instead of letting the sum clip at full scale.
//
// The peak between samples is estimated by 4x oversampling; the gain needed to keep it
// under the ceiling is held for the look-ahead, released smoothly over tens of ms and
// averaged over the look-ahead, so it reaches its low point exactly on the loud sample
// without a step. Output is the input delayed by Latency() frames. While nothing comes
// near the ceiling (and the master gain is 1) the output is the input, bit for bit.
#include <array>
#include <cstdint>
#include <vector>

namespace jov {

class TruePeakLimiter {
public:
    explicit TruePeakLimiter(int32_t rate);

    // Frames between a sample going in and its coming out (constant).
    int Latency() const { return latency_; }
    // The master gain (linear), reached by a short ramp from the present one.
    void SetGain(float gain);
    // The same without the ramp (before the first frame).
    void SetGainNow(float gain);
    float Gain() const { return gainTarget_; }
    // Takes n frames, gives the n frames Latency() older; in and out may be the same.
    void Process(float* left, float* right, int n);

    // The highest true peak that has gone in (after the master gain), full scale 1.
    float PeakIn() const { return peakIn_; }

    static constexpr float kCeiling = 0.89125094f;  // -1 dBFS (true peak)
    static constexpr float kMargin = 0.98855309f;   // -0.1 dB

private:
    static constexpr int kTaps = 8;  // per oversampling phase
    static constexpr int kHalf = kTaps / 2;
    float PeakOf(int64_t s) const;
    void PushRequirement(float need);
    float MasterGain();

    int latency_ = 0;
    int window_ = 0;  // frames over which the gain is held and averaged
    std::array<std::array<float, kTaps>, 3> phases_{};
    float release_ = 0;
    float tapGain_ = 0;  // the largest sum of |taps| of an interpolator

    // History of the gained input, long enough for the delay and the interpolator.
    std::vector<float> histL_, histR_;
    int64_t in_ = 0;  // samples taken so far
    float lastNeed_ = 1;
    float peakIn_ = 0;

    // Sliding minimum of the requirement (a monotonic ring of (index, value)).
    std::vector<std::pair<int64_t, float>> minRing_;
    std::size_t minHead_ = 0, minCount_ = 0;
    int64_t reqIndex_ = 0;
    float envelope_ = 1;
    // Running mean of the envelope over the window; notOne_ counts values under 1 so an
    // untouched stretch gives exactly 1.
    std::vector<float> boxRing_;
    double boxSum_ = 0;
    int notOne_ = 0;
    std::size_t boxPos_ = 0;

    float gain_ = 1, gainTarget_ = 1, gainStep_ = 0;
    int gainRampLeft_ = 0;
    int gainRampFrames_ = 0;
};

}  // namespace jov
