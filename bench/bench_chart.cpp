// Chart reading costs: parse + timing pass of large charts, header scan throughput.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/chart_loader.h"
#include "chart/chart_timing.h"
#include "chart/extended_reader.h"
#include "chart/header_scan.h"
#include "chart/reading.h"
#include "shell/clock.h"
#include "engine/engine_state.h"
#include "shell/status.h"

namespace {

// About `measures` × 1 KB of text holding 40 objects per measure.
std::string MakeChart(int measures) {
    std::string text = "*---------------------- HEADER FIELD\r\n#PLAYER 1\r\n#GENRE Bench\r\n#TITLE Generated\r\n"
                       "#ARTIST jov01\r\n#BPM 150\r\n#PLAYLEVEL 7\r\n#RANK 2\r\n#TOTAL 300\r\n";
    for (int n = 1; n < 256; ++n) {
        char line[64];
        std::snprintf(line, sizeof line, "#WAV%02X sound_%03d.wav\r\n", n, n);
        text += line;
    }
    uint32_t seed = 7;
    for (int m = 0; m < measures; ++m) {
        int measure = m % 1000;
        if (m % 50 == 25) {
            char line[32];
            std::snprintf(line, sizeof line, "#%03d03:%02X\r\n#%03d02:0.75\r\n", measure, 100 + m % 100, measure);
            text += line;
        }
        for (int ch = 0; ch < 3; ++ch) {
            static const int kChannels[] = {11, 1, 21};
            char head[16];
            std::snprintf(head, sizeof head, "#%03d%02d:", measure, kChannels[ch]);
            text += head;
            int objects = ch == 0 ? 14 : 13;
            for (int k = 0; k < 160; ++k) {
                if (k % 12 == 0 && objects > 0) {
                    seed = seed * 1103515245u + 12345u;
                    char pair[3];
                    std::snprintf(pair, sizeof pair, "%02X", 1 + (seed >> 16) % 255);
                    text += pair;
                    --objects;
                } else {
                    text += "00";
                }
            }
            text += "\r\n";
        }
    }
    return text;
}

struct Loader {
    jov::ChartModel model;
    jov::EngineState engine;
    jov::Shell shell;
    jov::VirtualClock clock;
    jov::ChartContext ctx{model, engine, shell, clock, [](int) {}, [] {}, nullptr};
};

void BM_ParseAndTiming(benchmark::State& state) {
    const std::string text = MakeChart(static_cast<int>(state.range(0)));
    Loader l;
    for (auto _ : state) {
        jov::ResetChart(l.ctx);
        jov::ParseChartBytes(l.ctx, text, "/bench/chart.bms");
        jov::RunTimingPass(l.model);
        benchmark::DoNotOptimize(l.model.PlayTime);
    }
    state.counters["bytes"] = static_cast<double>(text.size());
    state.counters["objects"] = static_cast<double>(l.model.EventCount - l.model.MaxMeasure - 1);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    state.counters["peak_rss_MB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
}
// 1000 measures is the 1 MB / 40,000-object chart, 10000 the 10 MB / 400,000-object one
// (its objects share the 1000 measures, so equal ticks abound): bytes_per_second stays
// flat from 1 to 10 MB, the event sort included.
BENCHMARK(BM_ParseAndTiming)->Arg(250)->Arg(500)->Arg(1000)->Arg(2500)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The events of a generated chart in file order, bar lines added, as the sort gets them.
std::vector<jov::ChartEvent> UnsortedEvents(int measures) {
    Loader l;
    jov::ParseChartBytes(l.ctx, MakeChart(measures), "/bench/chart.bms");
    jov::AddBarLines(l.model.Events, l.model.MaxMeasure, l.model.MeasureLength.data(), l.model.MeasureLength.size());
    return l.model.Events;
}

// The earlier sort: the same quicksort swapping whole 20-byte entries.
void SortWholeEntries(std::vector<jov::ChartEvent>& ev) {
    std::vector<std::pair<int64_t, int64_t>> stack{{0, int64_t(ev.size()) - 1}};
    while (!stack.empty()) {
        auto [lo, hi] = stack.back();
        stack.pop_back();
        if (lo >= hi) continue;
        int32_t a = ev[lo].Tick, m = ev[(lo + hi) / 2].Tick, b = ev[hi].Tick;
        if (m < a) std::swap(m, a);
        if (m > b) std::swap(m, b);
        if (m < a) std::swap(m, a);
        int64_t i = lo - 1, j = hi + 1;
        for (;;) {
            do ++i; while (ev[i].Tick < m);
            do --j; while (ev[j].Tick > m);
            if (i >= j) break;
            std::swap(ev[i], ev[j]);
        }
        stack.push_back({j + 1, hi});
        stack.push_back({lo, i - 1});
    }
}

template <bool kKeys>
void BM_SortEvents(benchmark::State& state) {
    const auto unsorted = UnsortedEvents(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto ev = unsorted;
        state.ResumeTiming();
        if (kKeys)
            jov::SortEvents(ev);
        else
            SortWholeEntries(ev);
        benchmark::DoNotOptimize(ev.data());
    }
    state.counters["events"] = static_cast<double>(unsorted.size());
}
// Keys (what the timing pass runs) against whole entries, at 1 and 10 MB.
BENCHMARK_TEMPLATE(BM_SortEvents, true)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_SortEvents, false)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
// Classic (0) against Extended (1) reading of the 1 MB chart, and Auto (2), which reads
// it the Classic way after deciding so: parse with the timing pass, and the header scan
// of the same bytes.
jov::ReadingMode ModeOf(int64_t arg) {
    return arg == 0 ? jov::ReadingMode::Classic : arg == 1 ? jov::ReadingMode::Extended : jov::ReadingMode::Auto;
}
void BM_ParseReading1MB(benchmark::State& state) {
    const std::string text = MakeChart(1000);
    Loader l;
    jov::ChartReading reading;
    reading.mode = ModeOf(state.range(0));
    l.ctx.reading = &reading;
    for (auto _ : state) {
        jov::ResetChart(l.ctx);
        jov::ParseChartBytes(l.ctx, text, "/bench/chart.bms");
        jov::RunTimingPass(l.model);
        benchmark::DoNotOptimize(l.model.PlayTime);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseReading1MB)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A bmson chart of about `bytes` bytes: 255 sound channels, notes on 8 lanes and the
// background every 12 of 960 pulses of a measure, a tempo change every 50 measures, a
// line per measure (some 3/4), some continuation notes.
std::string MakeBmson(size_t bytes) {
    std::string lines, bpms, notes[255];
    uint32_t seed = 7;
    size_t size = 0;
    int64_t y = 0;
    auto item = [](std::string& list, const char* fields) {
        if (!list.empty()) list += ',';
        list += fields;
    };
    char buf[96];
    for (int m = 0; size < bytes; ++m) {
        const int64_t length = m % 7 == 6 ? 720 : 960;
        if (m % 50 == 25) {
            std::snprintf(buf, sizeof buf, R"({"y":%lld,"bpm":%d})", static_cast<long long>(y), 100 + m % 100);
            item(bpms, buf);
        }
        for (int64_t p = 0; p < length; p += 24) {
            seed = seed * 1103515245u + 12345u;
            std::snprintf(buf, sizeof buf, R"({"x":%u,"y":%lld,"l":0,"c":%s})", (seed >> 8) % 9,
                          static_cast<long long>(y + p), (seed >> 4) % 4 == 0 ? "true" : "false");
            item(notes[(seed >> 16) % 255], buf);
            size += std::strlen(buf) + 1;
        }
        y += length;
        std::snprintf(buf, sizeof buf, R"({"y":%lld})", static_cast<long long>(y));
        item(lines, buf);
        size += std::strlen(buf) + 1;
    }
    std::string text = R"({"version":"1.0.0","info":{"title":"Generated","artist":"jov01","genre":"Bench","level":7,)"
                       R"("init_bpm":150,"total":300,"resolution":240},"lines":[)";
    text += lines;
    text += R"(],"bpm_events":[)";
    text += bpms;
    text += R"(],"stop_events":[],"sound_channels":[)";
    for (int k = 0; k < 255; ++k) {
        std::snprintf(buf, sizeof buf, R"(%s{"name":"sound_%03d.wav","notes":[)", k ? "," : "", k + 1);
        text += buf;
        text += notes[k];
        text += "]}";
    }
    text += "]}";
    return text;
}

// Parse with the timing pass of a 1 MB bmson chart, beside BM_ParseReading1MB's BMS chart.
void BM_ParseBmson1MB(benchmark::State& state) {
    const std::string text = MakeBmson(size_t{1} << 20);
    Loader l;
    for (auto _ : state) {
        jov::ResetChart(l.ctx);
        jov::ParseChartBytes(l.ctx, text, "/bench/chart.bmson");
        jov::RunTimingPass(l.model);
        benchmark::DoNotOptimize(l.model.PlayTime);
    }
    state.counters["bytes"] = static_cast<double>(text.size());
    state.counters["events"] = static_cast<double>(l.model.EventCount);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseBmson1MB)->Unit(benchmark::kMillisecond);

void BM_ScanReading1MB(benchmark::State& state) {
    const std::string text = MakeChart(1000);
    jov::ChartReading reading;
    reading.mode = ModeOf(state.range(0));
    for (auto _ : state) {
        jov::ChartInfo entry;
        jov::ScanHeaderBytes(text, "/bench/chart.bms", entry, &reading);
        benchmark::DoNotOptimize(entry.PlayTime);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ScanReading1MB)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Auto's decision alone on the same bytes: its cost against the two above.
void BM_ReadingDecision1MB(benchmark::State& state) {
    const std::string text = MakeChart(1000);
    for (auto _ : state) benchmark::DoNotOptimize(jov::ExtendedConstructs(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadingDecision1MB)->Unit(benchmark::kMillisecond);

void BM_HeaderScan100KB(benchmark::State& state) {
    namespace fs = std::filesystem;
    fs::path path = fs::temp_directory_path() / ("jov01_bench_scan_" + std::to_string(::getpid()) + ".bms");
    const std::string text = MakeChart(100);
    std::ofstream(path, std::ios::binary) << text;
    jov::Shell shell;
    for (auto _ : state) {
        jov::ChartInfo entry;
        jov::ScanHeaders(path.string(), entry, shell);
        benchmark::DoNotOptimize(entry.PlayTime);
    }
    state.counters["bytes"] = static_cast<double>(text.size());
    state.counters["charts_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    fs::remove(path);
}
BENCHMARK(BM_HeaderScan100KB)->Unit(benchmark::kMicrosecond);

// Writes the 1 MB chart for a peak-memory run of `jov01-tool parse` (JOV01_BENCH_WRITE=path).
[[maybe_unused]] const bool kWritten = [] {
    if (const char* out = std::getenv("JOV01_BENCH_WRITE")) std::ofstream(out, std::ios::binary) << MakeChart(1000);
    return true;
}();

}  // namespace
