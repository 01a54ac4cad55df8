// The play pass on a large chart, and an offline render of a full song.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chart/chart_model.h"
#include "shell/clock.h"
#include "engine/engine_state.h"
#include "engine/key_sounds.h"
#include "engine/loudness.h"
#include "engine/offline_render.h"
#include "engine/play_loop.h"
#include "shell/status.h"

namespace {

using namespace jov;
namespace fs = std::filesystem;

// 40,000 events over 1000 measures at 150 BPM: keys, background sounds, bar lines and
// a tempo change every 16 measures.
void FillLargeChart(ChartModel& model) {
    model.Chart.Bpm = 150.0f;
    model.Events.clear();
    const int measures = 1000;
    for (int m = 0; m < measures; ++m) {
        model.Events.push_back({m, m * 192, 0, kChannelBarLine, 0});
        if (m % 16 == 8) model.Events.push_back({m, m * 192, 0, kChannelTempo, m % 32 == 8 ? 160 : 150});
        for (int k = 0; k < 38; ++k) {
            int off = (k * 192) / 38;
            int ch = k % 3 == 0 ? kChannelBackground : 11 + k % 9;
            model.Events.push_back({m, m * 192 + off, off, ch, (m * 7 + k) % 256});
        }
    }
    model.EventCount = static_cast<int32_t>(model.Events.size());
    model.MaxMeasure = measures - 1;
}

void BM_UpdatePlay40k(benchmark::State& st) {
    Shell shell;
    VirtualClock clock(100000);
    ChartModel model;
    EngineState engine;
    KeySounds sounds(model, engine, clock, nullptr);
    PlayEngine play(model, engine, sounds, clock, shell);
    FillLargeChart(model);
    play.SeekTo(0, true);
    for (auto _ : st) {
        clock.Advance(1);
        play.UpdatePlay();
        if (engine.StopRequest) {
            st.PauseTiming();
            engine.StopRequest = false;
            std::fill(model.WavLoaded.begin(), model.WavLoaded.end(), 0);
            play.SeekTo(0, true);
            st.ResumeTiming();
        }
    }
    st.counters["events"] = model.EventCount;
}
BENCHMARK(BM_UpdatePlay40k);

// A two-minute song: 200 key sounds of 0.4 s, ~1900 triggers, and a MIDI background.
struct SongDir {
    fs::path dir;
    explicit SongDir(bool midi = true) {
        dir = fs::temp_directory_path() / ("jov01_bench_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        const int rate = 44100, frames = rate * 2 / 5;
        std::vector<int16_t> pcm(2 * frames);
        for (int s = 0; s < 200; ++s) {
            double f = 110.0 * std::pow(2.0, s / 24.0);
            for (int i = 0; i < frames; ++i) {
                double v = std::sin(2 * M_PI * f * i / rate) * std::exp(-6.0 * i / frames) * 8000;
                pcm[2 * i] = pcm[2 * i + 1] = static_cast<int16_t>(v);
            }
            SF_INFO info{};
            info.samplerate = rate;
            info.channels = 2;
            info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
            char name[32];
            std::snprintf(name, sizeof name, "s%03d.wav", s);
            SNDFILE* f2 = sf_open((dir / name).c_str(), SFM_WRITE, &info);
            if (f2) {
                sf_writef_short(f2, pcm.data(), frames);
                sf_close(f2);
            }
        }
        std::error_code ec;
        fs::copy_file(fs::path(JOV01_TEST_DATA) / "../../assets/demo/demo3.mid", dir / "bg.mid",
                      fs::copy_options::overwrite_existing, ec);
        std::ofstream chart(dir / "song.bms", std::ios::binary);
        chart << "#TITLE bench\r\n#BPM 120\r\n" << (midi ? "#MIDIFILE bg.mid\r\n" : "");
        auto hex = [](int v) {
            const char* d = "0123456789ABCDEF";
            return std::string{d[v / 16], d[v % 16]};
        };
        for (int s = 0; s < 200; ++s) {
            char name[32];
            std::snprintf(name, sizeof name, "s%03d.wav", s);
            chart << "#WAV" << hex(s + 1) << " " << name << "\r\n";
        }
        // 60 measures at 120 BPM = 2 minutes; 32 objects per measure on four channels.
        for (int m = 0; m < 60; ++m) {
            for (int ch : {1, 11, 12, 13}) {
                char head[16];
                std::snprintf(head, sizeof head, "#%03d%02d:", m, ch);
                chart << head;
                for (int k = 0; k < 8; ++k) chart << hex(1 + (m * 32 + ch * 8 + k) % 200);
                chart << "\r\n";
            }
        }
    }
    ~SongDir() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

void BM_RenderTwoMinuteSong(benchmark::State& st) {
    SongDir song;
    RenderOptions o;
    double audioSeconds = 0, wallSeconds = 0;
    for (auto _ : st) {
        auto t0 = std::chrono::steady_clock::now();
        int64_t frames = 0;
        auto r = RenderChart((song.dir / "song.bms").string(), o, [&](const int16_t*, int64_t n) { frames += n; });
        wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        audioSeconds += static_cast<double>(frames) / o.rate;
        if (!r) st.SkipWithError("render failed");
        else st.counters["sounds"] = static_cast<double>(r->sounds);
    }
    st.counters["x_realtime"] = wallSeconds > 0 ? audioSeconds / wallSeconds : 0;
}
BENCHMARK(BM_RenderTwoMinuteSong)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Measuring the same song's loudness (render + meters), with and without its MIDI
// background: the goal is under 1 % of its playing time on one core, i.e. cpu_share
// under 0.01.
void BM_MeasureTwoMinuteSong(benchmark::State& st) {
    SongDir song(st.range(0) != 0);
    double cpuSeconds = 0, playSeconds = 0;
    for (auto _ : st) {
        const std::clock_t c0 = std::clock();
        auto l = MeasureLoudness((song.dir / "song.bms").string(), RenderOptions{});
        cpuSeconds += double(std::clock() - c0) / CLOCKS_PER_SEC;
        playSeconds += 120.0;
        if (!l) st.SkipWithError("measure failed");
        else st.counters["lufs"] = l->integrated;
    }
    st.counters["cpu_share"] = cpuSeconds / playSeconds;
}
BENCHMARK(BM_MeasureTwoMinuteSong)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
