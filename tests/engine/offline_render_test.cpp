// The play pass and the offline render against the chart's own times (the exact
// clock line of chart/clock_line.h, checked against hand-written times by the `times`
// cases, e.g. tests/data/cases/play/tempos.times): tempo_map.bms has tempo changes on and between beats and measures of
// other lengths, extended_map.bme a base-36 slot beyond 255, #BPMxx tempos, stops (one
// on the tick of a tempo change and a click) and long notes. Their click is 30 frames
// of a constant level. click_map.bmson has the same on every lane (its sound named
// without extension), read under the Classic reading as every bmson chart is.
#include "engine/offline_render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <filesystem>
#include <vector>

#include "chart/clock_line.h"
#include "engine/clock_line.h"
#include <sndfile.h>

#include "../test_util.h"
#include "loaded_chart.h"

namespace jov::test {
namespace {

const std::string kData = std::string(JOV01_TEST_DATA) + "/engine/";

// Each dispatched event's time on the clock line, as the play pass leaves it.
struct LineTimes final : DispatchListener {
    LineTimes(const ChartModel& m, const EngineState& st) : m(m), st(st) {}
    void OnDispatch(const ChartEvent& e, bool sounded) override {
        index.push_back(&e - m.Events.data());
        ms.push_back(st.StartTime + LineMsOf(st, m.EventTick(static_cast<size_t>(index.back()))));
        if (sounded) soundedMs.push_back(ms.back());
        // How far ahead of its time on the line the pass dispatched it.
        early = std::max(early, ms.back() - (st.StartTime + st.ElapsedMs));
    }
    const ChartModel& m;
    const EngineState& st;
    std::vector<ptrdiff_t> index;
    std::vector<double> ms;
    std::vector<double> soundedMs;
    double early = -1e300;
};

// A chart played from its start as the tool's simulate plays it: a virtual clock stepping
// `sleep` per pass, `line` seeing each dispatch.
struct PlayedChart {
    PlayedChart(const std::string& chart, int sleep)
        : clock(100000, sleep), player(shell, clock, nullptr, nullptr), line(player.Model(), player.State()) {
        player.State().SleepMs = sleep;
        player.Engine().SetDispatchListener(&line);
        player.LoadChart(chart);
        player.PlaceStart();
        player.RunPlayLoop();
    }
    Shell shell;
    VirtualClock clock;
    Player player;
    LineTimes line;
};

TEST(ClockLineTest, EveryEventSitsOnTheChartsTimesWhateverTheSleep) {
    std::vector<double> first;
    for (int sleep : {1, 7, 15}) {
        SCOPED_TRACE(sleep);
        PlayedChart played(kData + "tempo_map.bms", sleep);
        Player& player = played.player;
        const LineTimes& line = played.line;

        // Measured from the first event dispatched.
        const std::vector<double> times = EventTimesMs(player.Model());
        ASSERT_GT(line.ms.size(), 40u);
        // Within the 32-bit tick rate's precision (about 1e-7 of the time): microseconds.
        for (size_t i = 0; i < line.ms.size(); ++i)
            EXPECT_NEAR(line.ms[i] - line.ms[0], times[line.index[i]] - times[line.index[0]], 5e-3) << "event " << line.index[i];
        // Not merely close: the same line, to the last bit, at every sleep.
        if (first.empty()) first = line.ms;
        EXPECT_EQ(line.ms, first);
    }
}

// warp.bme: 10^9 BPM for one 192nd of a measure (starting between two milliseconds),
// objects before, inside, just after
// and long after it. Read the Extended way, each pass finds its tick past the warp (no
// object is dispatched ahead of its time) and lateness counts in time (the object inside
// the warp is far more than 48 ticks behind any pass), so every object sounds, on its
// time, at every sleep.
TEST(ClockLineTest, AWarpOfTheTempoSoundsEveryObjectOnItsTime) {
    for (int sleep : {1, 10, 15}) {
        SCOPED_TRACE(sleep);
        PlayedChart played(kData + "warp.bme", sleep);
        Player& player = played.player;
        const LineTimes& line = played.line;
        ASSERT_TRUE(player.Model().Extended.active);  // Auto: the #BPMxx lines choose it
        const ChartModel& m = player.Model();
        const std::vector<double> times = EventTimesMs(m);
        std::vector<double> objects;
        for (size_t i = 0; i < times.size(); ++i)
            if (m.Events[i].Channel == 1 || m.Events[i].Channel == 11) objects.push_back(times[i]);
        EXPECT_LE(line.early, 1e-3);
        ASSERT_EQ(line.soundedMs.size(), objects.size());
        for (size_t i = 0; i < objects.size(); ++i)
            EXPECT_NEAR(line.soundedMs[i] - line.soundedMs[0], objects[i] - objects[0], 5e-3) << i;
    }
}

TEST(OfflineRenderTest, EveryClickLandsWithinASampleOfItsTime) {
    struct Case {
        const char* chart;
        bool extended;
        int rate;
        int32_t click;  // its slot
        size_t clicks;
    };
    for (const Case& c : {Case{"tempo_map.bms", false, 44100, 1, 25}, Case{"tempo_map.bms", false, 48000, 1, 25},
                          Case{"extended_map.bme", true, 44100, 1260, 10}, Case{"click_map.bmson", false, 48000, 1, 10}}) {
        LoadedChart chart(kData + c.chart, c.extended);
        const ChartModel& m = chart.player.Model();
        const std::vector<double> times = EventTimesMs(m);
        std::vector<double> clicks;
        for (size_t i = 0; i < times.size(); ++i)
            if (m.Events[i].Value == c.click && m.Events[i].Channel != kChannelStop &&
                m.Events[i].Channel != kChannelExtendedTempo)
                clicks.push_back(times[i]);
        ASSERT_EQ(clicks.size(), c.clicks);
        for (int passMs : {1, 15}) {
            SCOPED_TRACE(std::string(c.chart) + " " + std::to_string(c.rate) + " Hz, pass " + std::to_string(passMs));
            RenderOptions o;
            o.rate = c.rate;
            o.passMs = passMs;
            o.reading = c.extended ? jov::ReadingMode::Extended : jov::ReadingMode::Classic;
            std::vector<int16_t> pcm;
            auto s = RenderChart(kData + c.chart, o, [&](const int16_t* p, int64_t n) { pcm.insert(pcm.end(), p, p + 2 * n); });
            ASSERT_TRUE(s.has_value());
            EXPECT_EQ(s->sounds, static_cast<int64_t>(c.clicks));
            EXPECT_TRUE(s->missing.empty());
            EXPECT_EQ(static_cast<int64_t>(pcm.size() / 2), s->frames);
            auto onsets = Onsets(pcm, 3000);  // a quarter of the click's level
            ASSERT_EQ(onsets.size(), clicks.size());
            // Frame 0 is the first click's own time.
            for (size_t i = 0; i < onsets.size(); ++i)
                EXPECT_NEAR(static_cast<double>(onsets[i]), (clicks[i] - clicks[0]) * c.rate / 1000.0, 1.0) << i;
        }
    }
}

// Every corpus chart Auto reads the Extended way (its reading written down in
// tests/data/reading/corpus.txt), #RANDOM aside: the render triggers each object its
// times list, through warps of millions of BPM and stops at them (_DPAG.bms, nc_mx.bme).
TEST(OfflineRenderTest, ExtendedCorpusChartsSoundEveryObject) {
    std::ifstream list(std::string(JOV01_TEST_DATA) + "/reading/corpus.txt");
    std::string row;
    int charts = 0;
    while (std::getline(list, row)) {
        if (row.find("\textended\t") == std::string::npos || row.find("#RANDOM") != std::string::npos) continue;
        const std::string chart = std::string(JOV01_TEST_DATA) + "/charts/" + row.substr(0, row.find('\t'));
        SCOPED_TRACE(chart);
        LoadedChart loaded(chart, true);
        const ChartModel& m = loaded.player.Model();
        const std::vector<double> times = EventTimesMs(m);
        if (!times.empty() && times.back() > 3600e3) continue;  // hours of silence are no test
        int64_t objects = 0;
        for (size_t i = 0; i < times.size(); ++i) {
            const int32_t ch = m.Events[i].Channel;
            objects += ch == 1 || (ch >= 11 && ch <= 19 && ch != 17) || (ch >= 51 && ch <= 59 && ch != 57) ||
                       (ch >= 61 && ch <= 69);
        }
        RenderOptions o;
        o.soundFont = "";
        auto s = RenderChart(chart, o, {});
        ASSERT_TRUE(s.has_value());
        EXPECT_EQ(s->sounds, objects);
        ++charts;
    }
    EXPECT_GE(charts, 30);
}

// A bmson channel cut into pieces: 16 that follow one another (a tempo change and a stop
// among them) play the file unbroken, then a restart plays it again from its start.
TEST(OfflineRenderTest, SlicedSoundsJoinSampleForSampleAndRestart) {
    constexpr int kRate = 44100;
    const jovtest::TempDir dir;
    std::vector<int16_t> source(2 * 5 * kRate);
    uint32_t seed = 1;
    for (int16_t& v : source) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<int16_t>(static_cast<int32_t>(seed >> 19) - 4096);  // far below the limiter
    }
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open((dir / "piece.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_writef_short(f, source.data(), static_cast<sf_count_t>(source.size() / 2));
    sf_close(f);
    // Pieces every 120 pulses; 180 BPM from 600; a stop of 120 pulses on the piece at 960.
    std::string notes;
    for (int y = 0; y <= 2160; y += 120) {
        notes += notes.empty() ? "{\"x\":1,\"y\":" : ",{\"x\":1,\"y\":";
        notes += std::to_string(y);
        notes += y == 0 || y == 1920 ? ",\"c\":false}" : ",\"c\":true}";
    }
    const std::string chart = dir.Write(
        "sliced.bmson", "{\"info\":{\"title\":\"s\",\"init_bpm\":120,\"resolution\":240},"
                        "\"bpm_events\":[{\"y\":600,\"bpm\":180}],\"stop_events\":[{\"y\":960,\"duration\":120}],"
                        "\"sound_channels\":[{\"name\":\"piece.wav\",\"notes\":[" + notes + "]}]}");

    LoadedChart loaded(chart);
    const std::vector<double> times = EventTimesMs(loaded.player.Model());
    double restartMs = -1;
    for (size_t i = 0; i < times.size(); ++i)
        if (loaded.player.Model().EventTick(i) == 384.0) restartMs = times[i];
    ASSERT_DOUBLE_EQ(restartMs, 1250.0 + 264 * 1250.0 / 180 + 24 * 1250.0 / 180);
    const auto restart = static_cast<int64_t>(std::nearbyint(restartMs * kRate / 1000));

    std::vector<int16_t> pcm;
    auto s = RenderChart(chart, {}, [&](const int16_t* p, int64_t n) { pcm.insert(pcm.end(), p, p + 2 * n); });
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->sounds, 19);
    ASSERT_GT(static_cast<int64_t>(pcm.size()), 2 * (restart + kRate));
    // Up to the restart, the file itself.
    const auto mismatch = std::mismatch(pcm.begin(), pcm.begin() + 2 * restart, source.begin());
    EXPECT_EQ((mismatch.first - pcm.begin()) / 2, restart) << "the pieces part from the file";
    // From the restart (on the sample of its time, give or take the rounding), the file
    // from its start again, its two continuations joined on, once the cut piece has faded
    // out beside it (5 ms).
    constexpr int64_t kFaded = kRate / 200 + 1;
    bool again = false;
    for (int64_t d = -1; d <= 1; ++d)
        again = again || std::equal(source.begin() + 2 * kFaded, source.begin() + 2 * kRate,
                                    pcm.begin() + 2 * (restart + d + kFaded));
    EXPECT_TRUE(again);
}

// Far more sound channels than base 36 numbers, each its own slot: every one is heard, and
// the file they all name is decoded once.
TEST(OfflineRenderTest, ThousandsOfChannelsAllSound) {
    constexpr int kChannels = 1500;
    const jovtest::TempDir dir;
    std::filesystem::copy_file(kData + "click.wav", dir / "click.wav");
    std::string chart = R"({"info":{"init_bpm":300,"resolution":240},"sound_channels":[)";
    for (int k = 0; k < kChannels; ++k) {
        chart += k ? "," : "";
        chart += R"({"name":"click.wav","notes":[{"x":0,"y":)";
        chart += std::to_string(24 * k) + "}]}";
    }
    chart += "]}";
    std::vector<int16_t> pcm;
    auto s = RenderChart(dir.Write("many.bmson", chart), {},
                         [&](const int16_t* p, int64_t n) { pcm.insert(pcm.end(), p, p + 2 * n); });
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->sounds, kChannels);
    EXPECT_TRUE(s->missing.empty());
    EXPECT_EQ(Onsets(pcm, 3000).size(), size_t{kChannels});
}

// Forty sounds on one tick: a 100-frame level of 300 sums to exactly 12000 (under the
// limiter's ceiling, so untouched), a loud tone to 40 times full scale, which the limiter
// holds under -1 dBFS where it once clipped.
TEST(OfflineRenderTest, FortySoundsOnOneTickSumExactlyOrAreLimitedNeverClipped) {
    for (const char* name : {"forty_quiet.bms", "forty_loud.bms"}) {
        SCOPED_TRACE(name);
        std::vector<int16_t> pcm;
        auto s = RenderChart(kData + name, RenderOptions{}, [&](const int16_t* p, int64_t n) { pcm.insert(pcm.end(), p, p + 2 * n); });
        ASSERT_TRUE(s.has_value());
        ASSERT_EQ(s->sounds, 40);
        ASSERT_GE(pcm.size(), 200u);
        int peak = 0;
        for (int16_t v : pcm) peak = std::max(peak, std::abs(int(v)));
        if (std::string(name) == "forty_quiet.bms") {
            for (size_t i = 0; i < pcm.size(); ++i) ASSERT_EQ(pcm[i], i < 200 ? 12000 : 0) << i;
        } else {
            EXPECT_LE(peak, 29205);
            EXPECT_GT(peak, 27000);  // limited, not muted
        }
    }
    // No tail allowed: the file ends while the tones ring, faded out rather than cut.
    RenderOptions cut;
    cut.maxTailMs = 0;
    std::vector<int16_t> pcm;
    auto s = RenderChart(kData + "forty_loud.bms", cut, [&](const int16_t* p, int64_t n) { pcm.insert(pcm.end(), p, p + 2 * n); });
    ASSERT_TRUE(s && pcm.size() > 1000);
    int peak = 0;
    for (size_t i = 0; i < 400; ++i) peak = std::max(peak, std::abs(int(pcm[pcm.size() - 400 + i])));
    EXPECT_GT(peak, 10000);  // still sounding shortly before the end
    EXPECT_EQ(std::abs(int(pcm[pcm.size() - 2])) + std::abs(int(pcm[pcm.size() - 1])), 0);
}

TEST(OfflineRenderTest, UnreadableChartsAndMissingSoundsAreReported) {
    EXPECT_FALSE(RenderChart(kData + "nothing.bms", {}, {}).has_value());
    std::vector<int16_t> pcm;
    auto s = RenderChart(kData + "small.bms", {}, [&](const int16_t* p, int64_t n) { pcm.insert(pcm.end(), p, p + 2 * n); });
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->missing, (std::vector<int>{1, 2}));
    EXPECT_EQ(s->sounds, 3);
    EXPECT_TRUE(Onsets(pcm, 1).empty());
}

}  // namespace
}  // namespace jov::test
