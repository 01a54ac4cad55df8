#include "engine/offline_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "chart/clock_line.h"
#include "tempo_map.h"

namespace jov::test {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(JOV01_TEST_DATA) / "engine";

class OfflineRenderTest : public ::testing::Test {
protected:
    // A click chart with tempo changes on and between beats and measures of other
    // lengths; its click is 30 frames of a constant level.
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("jov01_render_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        for (const char* f : {"tempo_map.bms", "extended_map.bme", "click.wav"}) fs::copy_file(kData / f, dir_ / f);
    }
    void TearDown() override { fs::remove_all(dir_); }

    struct Take {
        RenderSummary summary;
        std::vector<int16_t> pcm;
    };
    Take Render(int rate, int passMs, bool extended = false) {
        Take t;
        RenderOptions o;
        o.rate = rate;
        o.passMs = passMs;
        o.extended = extended;
        auto s = RenderChart((dir_ / (extended ? "extended_map.bme" : "tempo_map.bms")).string(), o,
                             [&](const int16_t* p, int64_t n) { t.pcm.insert(t.pcm.end(), p, p + 2 * n); });
        EXPECT_TRUE(s.has_value());
        if (s) t.summary = *s;
        return t;
    }
    fs::path dir_;
};

TEST_F(OfflineRenderTest, EveryClickLandsWithinASampleOfItsTimeInTheTempoMap) {
    LoadedChart chart((dir_ / "tempo_map.bms").string());
    const TempoMap map(chart.player.Model());
    std::vector<int32_t> clicks;
    for (const ChartEvent& e : chart.player.Model().Events)
        if (e.Channel == kChannelBackground) clicks.push_back(e.Tick);
    ASSERT_EQ(clicks.size(), 25u);
    for (int rate : {44100, 48000}) {
        for (int passMs : {1, 15}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, pass " + std::to_string(passMs) + " ms");
            Take t = Render(rate, passMs);
            EXPECT_EQ(t.summary.sounds, static_cast<int64_t>(clicks.size()));
            EXPECT_TRUE(t.summary.missing.empty());
            EXPECT_EQ(static_cast<int64_t>(t.pcm.size() / 2), t.summary.frames);
            auto onsets = Onsets(t.pcm, 3000);  // a quarter of the click's level
            ASSERT_EQ(onsets.size(), clicks.size());
            // Frame 0 is the first click's own time.
            for (size_t i = 0; i < onsets.size(); ++i) {
                const long double want = (map.Ms(clicks[i]) - map.Ms(clicks[0])) * rate / 1000.0L;
                EXPECT_NEAR(static_cast<double>(onsets[i]), static_cast<double>(want), 1.0) << "tick " << clicks[i];
            }
        }
    }
}

// Base-36 slot beyond 255, #BPMxx tempos, stops (one on the tick of a tempo change and a click),
// long notes: each click on its sample of the chart's times in the Extended reading.
TEST_F(OfflineRenderTest, ExtendedReadingClicksLandOnTheirTimes) {
    LoadedChart chart((dir_ / "extended_map.bme").string(), true);
    const ChartModel& m = chart.player.Model();
    const std::vector<double> times = EventTimesMs(m);
    std::vector<double> clicks;
    for (size_t i = 0; i < times.size(); ++i)
        if (m.Events[i].Value == 1260 && m.Events[i].Channel != kChannelStop) clicks.push_back(times[i]);
    ASSERT_EQ(clicks.size(), 10u);
    for (int passMs : {1, 15}) {
        Take t = Render(44100, passMs, true);
        EXPECT_EQ(t.summary.sounds, 10);
        auto onsets = Onsets(t.pcm, 3000);
        ASSERT_EQ(onsets.size(), clicks.size()) << "pass " << passMs;
        for (size_t i = 0; i < onsets.size(); ++i)
            EXPECT_NEAR(static_cast<double>(onsets[i]), (clicks[i] - clicks[0]) * 44.1, 1.0) << i << ", pass " << passMs;
    }
}

TEST_F(OfflineRenderTest, UnreadableChartsAndMissingSoundsAreReported) {
    EXPECT_FALSE(RenderChart((dir_ / "nothing.bms").string(), {}, {}).has_value());
    fs::remove(dir_ / "click.wav");
    Take t = Render(44100, 1);
    EXPECT_EQ(t.summary.missing, std::vector<int>{1});
    EXPECT_EQ(t.summary.sounds, 25);
    EXPECT_TRUE(Onsets(t.pcm, 1).empty());
}

}  // namespace
}  // namespace jov::test
