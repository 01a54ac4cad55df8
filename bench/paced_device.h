#pragma once
// A stand-in sound card for the live benchmarks: pulls 512-frame blocks from the mixer at
// t0 + k × block duration, whatever the engine does, and keeps what it mixed.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "audio/mixer.h"

namespace jov::bench {

class PacedDevice {
public:
    using Steady = std::chrono::steady_clock;
    static constexpr int kRate = 44100;
    static constexpr int kBlock = 512;

    PacedDevice(Mixer& mixer, double seconds) : mixer_(mixer), out_(static_cast<size_t>(seconds * kRate + kBlock) * 2) {}
    void Start() {
        t0_ = Steady::now();
        thread_ = std::thread([this] { Run(); });
    }
    void Stop() {
        stop_ = true;
        thread_.join();
    }
    double T0Ms() const { return std::chrono::duration<double, std::milli>(t0_.time_since_epoch()).count(); }
    const std::vector<int16_t>& Output() const { return out_; }
    int64_t Frames() const { return pulled_; }

private:
    void Run() {
        const auto blockDur = std::chrono::duration<double>(double(kBlock) / kRate);
        while (!stop_ && static_cast<size_t>(pulled_ + kBlock) * 2 <= out_.size()) {
            std::this_thread::sleep_until(t0_ + std::chrono::duration_cast<Steady::duration>(blockDur * (pulled_ / kBlock)));
            mixer_.Pull(out_.data() + pulled_ * 2, kBlock);
            pulled_ += kBlock;
        }
    }
    Mixer& mixer_;
    std::vector<int16_t> out_;
    Steady::time_point t0_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int64_t pulled_ = 0;
};

}  // namespace jov::bench
