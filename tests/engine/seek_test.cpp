// The seek, and the start placement that uses it; the simulate cases in tests/data/cases/play
// show more of both (start, nobpm, latetempo).
#include "engine/seek.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "audio/cls_midi.h"
#include "chart/chart_parser.h"
#include "chart/clock_line.h"
#include "engine/start_placement.h"
#include "engine_fixture.h"
#include "loaded_chart.h"

namespace jov::test {
namespace {

class SeekTest : public EngineFixture {
protected:
    // Bar lines at 0, 192, 384; a tempo change to 240 at the second bar line.
    void SetBarChart() {
        SetChart(120.0f,
                 {Ev(0, 1, 1), Ev(0, kChannelBarLine, 0, 0), Ev(96, 11, 2), Ev(192, kChannelBarLine, 0, 1),
                  Ev(192, kChannelTempo, 240), Ev(384, kChannelBarLine, 0, 2)},
                 2);
        model.Midi = std::make_unique<clsMIDI>(&midi, &clock);
        midi.commands.clear();
    }
};

TEST_F(SeekTest, TargetsOutsideTheChartAndAResumedStartAreRejectedWithoutChange) {
    SetChart(120.0f, {});
    EXPECT_FALSE(engine.SeekTo(0, true));
    EXPECT_FALSE(engine.SeekTo(0, false));
    EXPECT_EQ(shell.LastStatus(), "Err: Range over");

    SetBarChart();
    state.StartTime = 7;
    state.NextEvent = 3;
    state.CurrentTick = 55.0;
    for (auto [target, byTick] : {std::pair{385, true}, {-1, true}, {3, false}, {-1, false}}) {
        shell.SetStatus("");
        EXPECT_FALSE(engine.SeekTo(target, byTick)) << target;
        EXPECT_EQ(shell.LastStatus(), "Err: Range over");
        EXPECT_EQ(state.StartTime, 7);
        EXPECT_EQ(state.NextEvent, 3);
        EXPECT_EQ(state.CurrentTick, 55.0);
    }
    EXPECT_FALSE(PlaceStart(model, state, sounds, engine));  // not at tick 0: a resumed chart
    EXPECT_EQ(state.CurrentTick, 55.0);
    EXPECT_TRUE(midi.commands.empty());
    EXPECT_TRUE(engine.SeekTo(384, true));  // the last event's tick itself is inside
}

TEST_F(SeekTest, TempoChangesBeforeTheTargetAreReplayed) {
    SetBarChart();
    state.HitTime = {5, 6};
    ASSERT_TRUE(engine.SeekTo(2, false));
    // round(0 - (240-120)/1250 * (192 / 0.096)) = -192; 576 ticks at 0.192 = 3000 ms
    EXPECT_NEAR(state.TickOffset, -192.0, 1e-4);
    EXPECT_EQ(state.CurrentBpm, 240.0f);
    EXPECT_EQ(state.CurrentTick, 384.0);
    EXPECT_EQ(state.NextEvent, 4);
    EXPECT_EQ(state.StartTime, 100000 - 3000);
    EXPECT_EQ(state.ElapsedMs, 3000);
    EXPECT_EQ(state.HitTime[0], 0);
    EXPECT_EQ(state.HitTime[1], 0);
    ASSERT_GE(midi.commands.size(), 2u);
    EXPECT_EQ(midi.commands[midi.commands.size() - 2], "stop tmid");
    EXPECT_EQ(midi.commands.back(), "play tmid from 3000");

    // A change exactly at the target is left to the first pass.
    ASSERT_TRUE(engine.SeekTo(192, true));
    EXPECT_EQ(state.CurrentBpm, 120.0f);
    EXPECT_EQ(state.TickOffset, 0);
    EXPECT_EQ(state.NextEvent, 2);
    EXPECT_EQ(midi.commands.back(), "play tmid from 2000");

    // Measure 0: its bar line's tick, cursor on the event before it.
    ASSERT_TRUE(engine.SeekTo(0, false));
    EXPECT_EQ(state.CurrentTick, 0.0);
    EXPECT_EQ(state.NextEvent, 0);
    EXPECT_EQ(state.StartTime, 100000);
    EXPECT_EQ(midi.commands.back(), "play tmid from 0");
}

// Extended reading: the replay applies #BPMxx tempos and stops, so the clock starts
// where the chart's times put each bar line, and the first pass after a seek into a
// stop's tick holds there.
TEST(ExtendedSeekTest, ReplayAppliesTemposAndStops) {
    LoadedChart c(std::string(JOV01_TEST_DATA) + "/engine/extended_map.bme", true);
    Player& p = c.player;
    const std::vector<double> times = EventTimesMs(p.Model());
    for (int32_t measure : {1, 2, 3, 4}) {
        c.clock.Set(100000);
        ASSERT_TRUE(p.SeekTo(measure, false));
        size_t bar = 0;
        while (!(p.Model().Events[bar].Channel == kChannelBarLine && p.Model().Events[bar].Measure == measure)) ++bar;
        EXPECT_NEAR(100000 - p.State().StartTime, times[bar], 0.5) << measure;
    }
    // The stop at tick 288 (48 ticks at 187.5 BPM: 256 ms) holds the position there.
    c.clock.Set(100000);
    ASSERT_TRUE(p.SeekTo(288, true));
    c.clock.Advance(200);
    p.UpdatePlay();
    EXPECT_EQ(p.State().CurrentTick, 288.0);
    c.clock.Advance(200);
    p.UpdatePlay();
    EXPECT_GT(p.State().CurrentTick, 288.0);
}

// The time-to-tick map that seeks by time use is the inverse of the event times, over
// tempo changes, measures of any length and stops, in both readings of every chart here.
TEST(ClockLineTest, TickAtAnEventsTimeIsItsTick) {
    std::vector<std::string> charts{std::string(JOV01_TEST_DATA) + "/engine/extended_map.bme"};
    for (const auto& e : std::filesystem::directory_iterator(std::string(JOV01_TEST_DATA) + "/charts"))
        charts.push_back(e.path().string());
    int checked = 0;
    for (const std::string& path : charts) {
        for (bool extended : {false, true}) {
            LoadedChart c(path, extended);
            const ChartModel& m = c.player.Model();
            const std::vector<double> times = EventTimesMs(m);
            const size_t step = times.size() / 300 + 1;  // each look walks the chart
            for (size_t i = 0; i < times.size(); i += step) {
                if (!std::isfinite(times[i])) continue;
                const double tick = m.EventTick(i);
                ASSERT_NEAR(TickAtMs(m, times[i]), tick, 1e-6 * std::max(1.0, tick)) << path << " " << i;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 10000);
}

}  // namespace
}  // namespace jov::test

namespace jov::test {
namespace {

// A seek into a sliced passage: the pieces after the target start where the sound would
// be (the loop's pieces at 1200 ms and, after its restart, 200 ms into the file).
TEST_F(SeekTest, PiecesOfASlicedSoundAfterASeekStartAtTheirOffset) {
    ParseChartFile(model, std::string(JOV01_TEST_DATA) + "/bmson/sliced.bmson", ParseHooks{});
    RunTimingPass(model);
    state.CurrentBpm = model.Chart.Bpm;
    state.TicksPerMs = model.Chart.Bpm / 1250.0f;
    ASSERT_TRUE(engine.SeekTo(130, true));
    device.log.clear();
    engine.RunPlayLoop();
    std::vector<int64_t> loopStarts;
    for (const SoundCommand& c : device.log)
        if (c.op == "pos" && c.slot == 1) loopStarts.push_back(c.frame);
    ASSERT_EQ(loopStarts.size(), 3u);
    EXPECT_NEAR(static_cast<double>(loopStarts[0]), 1200 * 44.1, 1.0);
    EXPECT_EQ(loopStarts[1], 0);
    EXPECT_NEAR(static_cast<double>(loopStarts[2]), 200 * 44.1, 1.0);
}

}  // namespace
}  // namespace jov::test
