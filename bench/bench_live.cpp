// Live timing: the real engine on the steady clock and the mixer's live mapping, against
// a stand-in output device that pulls 512-frame blocks on its own fixed schedule (as a
// sound card does), so the engine's and the mapping's error show apart from a driver's.
// For every click of a chart with tempo changes: |output frame - exact tempo-map frame|.
// Counters: median_ms and worst_ms of |error|, mean_ms of the signed error (negative:
// early), cut (clicks started late, so shorter than the sound's 30 frames, or missing).
// Run at sleep 1, 10 and 15, with and without a CPU hog (busy threads, one per core, at
// the ordinary priority; the engine and the device run at the raised priority the
// program asks for at start-up, when the system grants it).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "audio/mixer.h"
#include "paced_device.h"
#include "chart/chart_model.h"
#include "engine/engine_state.h"
#include "engine/player.h"
#include "shell/clock.h"
#include "shell/status.h"

namespace {

using namespace jov;
using Steady = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr double kDelayMs = 30.0;

double SteadyMs(Steady::time_point t) {
    return std::chrono::duration<double, std::milli>(t.time_since_epoch()).count();
}

using bench::PacedDevice;

// The chart's tempo map: ms from tick 0 (every tempo positive).
long double MapMs(const ChartModel& m, int32_t tick) {
    long double ms = 0, at = 0, bpm = m.Chart.Bpm;
    for (int32_t i = 0; i < m.EventCount; ++i) {
        const ChartEvent& e = m.Events[i];
        if (e.Channel != kChannelTempo) continue;
        if (e.Tick >= tick) break;
        ms += (e.Tick - at) * 1250.0L / bpm;
        at = e.Tick;
        bpm = e.Value;
    }
    return ms + (tick - at) * 1250.0L / bpm;
}

// As the program does at start-up; threads started afterwards inherit it.
void RaisePriority() {
    for (int nice = -20; nice < 0; nice += 5)
        if (setpriority(PRIO_PROCESS, 0, nice) == 0) return;
}

void BM_LiveClickTiming(benchmark::State& state) {
    RaisePriority();
    const int sleep = static_cast<int>(state.range(0));
    const bool hog = state.range(1) != 0;
    std::vector<double> errors;
    double signedSum = 0;
    int64_t cut = 0;
    for (auto _ : state) {
        std::atomic<bool> stopHog{false};
        std::vector<std::thread> hogs;
        if (hog)
            for (unsigned k = 0; k < std::max(1u, std::thread::hardware_concurrency()); ++k)
                hogs.emplace_back([&] {
                    setpriority(PRIO_PROCESS, 0, 0);  // this thread only
                    volatile uint64_t x = 0;
                    while (!stopHog.load(std::memory_order_relaxed)) x = x + 1;
                });

        Mixer mixer(kRate);
        mixer.SetLive([] { return SteadyMs(Steady::now()); }, kDelayMs);
        Shell shell;
        SteadyClock clock;
        Player player(shell, clock, &mixer, nullptr);
        player.State().SleepMs = sleep;
        player.LoadChart(std::string(JOV01_TEST_DATA) + "/engine/tempo_map.bms");
        PacedDevice device(mixer, 40.0);
        device.Start();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the mapping settles
        player.PlaceStart();
        player.RunPlayLoop();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the last click is output
        device.Stop();
        stopHog = true;
        for (auto& t : hogs) t.join();

        // Each click's exact steady ms, and where the device put it.
        const ChartModel& m = player.Model();
        const auto& pcm = device.Output();
        bool quiet = true;
        std::vector<int64_t> onsets, lengths;
        for (int64_t f = 0; f < device.Frames(); ++f) {
            const bool loud = std::abs(pcm[2 * f]) >= 3000;
            if (loud && quiet) {
                onsets.push_back(f);
                lengths.push_back(0);
            }
            if (loud) ++lengths.back();
            quiet = !loud;
        }
        size_t k = 0;
        for (int32_t i = 0; i < m.EventCount; ++i) {
            const ChartEvent& e = m.Events[i];
            if (e.Channel != kChannelBackground) continue;
            const double exactMs = player.State().StartTime + static_cast<double>(MapMs(m, e.Tick));
            const double exactFrame = (exactMs + kDelayMs - device.T0Ms()) * kRate / 1000.0;
            // The onset nearest the exact frame (a click is 30 frames, clicks 170+ ms apart).
            while (k + 1 < onsets.size() && onsets[k + 1] <= exactFrame) ++k;
            int64_t best = -1;
            for (size_t j = k; j < std::min(onsets.size(), k + 2); ++j)
                if (best < 0 || std::fabs(onsets[j] - exactFrame) < std::fabs(onsets[best] - exactFrame)) best = j;
            if (best < 0 || lengths[best] < 30) ++cut;
            if (best < 0) continue;
            const double err = (onsets[best] - exactFrame) * 1000.0 / kRate;
            errors.push_back(std::fabs(err));
            signedSum += err;
        }
    }
    std::sort(errors.begin(), errors.end());
    state.counters["clicks"] = static_cast<double>(errors.size());
    state.counters["median_ms"] = errors.empty() ? NAN : errors[errors.size() / 2];
    state.counters["worst_ms"] = errors.empty() ? NAN : errors.back();
    state.counters["cut"] = static_cast<double>(cut);
    state.counters["mean_ms"] = errors.empty() ? NAN : signedSum / errors.size();
}
BENCHMARK(BM_LiveClickTiming)
    ->ArgNames({"sleep", "hog"})
    ->ArgsProduct({{1, 10, 15}, {0, 1}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
