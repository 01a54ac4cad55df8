// The play pass and the offline render against the chart's own times (the exact
// clock line of chart/clock_line.h, checked against hand-written times by the `times`
// cases, e.g. tests/data/cases/play/tempos.times): tempo_map.bms has tempo changes on and between beats and measures of
// other lengths, extended_map.bme a base-36 slot beyond 255, #BPMxx tempos, stops (one
// on the tick of a tempo change and a click) and long notes. Their click is 30 frames
// of a constant level.
#include "engine/offline_render.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "chart/clock_line.h"
#include "engine/clock_line.h"
#include "loaded_chart.h"

namespace jov::test {
namespace {

const std::string kData = std::string(JOV01_TEST_DATA) + "/engine/";

// Each dispatched event's time on the clock line, as the play pass leaves it.
struct LineTimes final : DispatchListener {
    LineTimes(const ChartModel& m, const EngineState& st) : m(m), st(st) {}
    void OnDispatch(const ChartEvent& e, bool) override {
        index.push_back(&e - m.Events.data());
        ms.push_back(st.StartTime + LineMsOf(st, e.Tick));
    }
    const ChartModel& m;
    const EngineState& st;
    std::vector<ptrdiff_t> index;
    std::vector<double> ms;
};

TEST(ClockLineTest, EveryEventSitsOnTheChartsTimesWhateverTheSleep) {
    std::vector<double> first;
    for (int sleep : {1, 7, 15}) {
        SCOPED_TRACE(sleep);
        // As the tool's simulate plays a chart: a virtual clock stepping `sleep` per pass.
        Shell shell;
        VirtualClock clock(100000, sleep);
        Player player(shell, clock, nullptr, nullptr);
        player.State().SleepMs = sleep;
        LineTimes line(player.Model(), player.State());
        player.Engine().SetDispatchListener(&line);
        player.LoadChart(kData + "tempo_map.bms");
        player.PlaceStart();
        player.RunPlayLoop();

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

TEST(OfflineRenderTest, EveryClickLandsWithinASampleOfItsTime) {
    struct Case {
        const char* chart;
        bool extended;
        int rate;
        int32_t click;  // its slot
        size_t clicks;
    };
    for (const Case& c : {Case{"tempo_map.bms", false, 44100, 1, 25}, Case{"tempo_map.bms", false, 48000, 1, 25},
                          Case{"extended_map.bme", true, 44100, 1260, 10}}) {
        LoadedChart chart(kData + c.chart, c.extended);
        const ChartModel& m = chart.player.Model();
        const std::vector<double> times = EventTimesMs(m);
        std::vector<double> clicks;
        for (size_t i = 0; i < times.size(); ++i)
            if (m.Events[i].Value == c.click && m.Events[i].Channel != kChannelStop) clicks.push_back(times[i]);
        ASSERT_EQ(clicks.size(), c.clicks);
        for (int passMs : {1, 15}) {
            SCOPED_TRACE(std::string(c.chart) + " " + std::to_string(c.rate) + " Hz, pass " + std::to_string(passMs));
            RenderOptions o;
            o.rate = c.rate;
            o.passMs = passMs;
            o.extended = c.extended;
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
