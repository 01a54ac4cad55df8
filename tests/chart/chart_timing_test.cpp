#include "chart/chart_timing.h"

#include <gtest/gtest.h>

#include <array>

#include "chart_test_util.h"

namespace jov {
namespace {

using testing::Loaded;

ChartEvent Ev(int32_t tick, int32_t label, int channel = 0) {
    ChartEvent e;
    e.Tick = tick;
    e.Value = label;
    e.Channel = channel;
    return e;
}

std::vector<int32_t> Labels(const std::vector<ChartEvent>& events) {
    std::vector<int32_t> out;
    for (const auto& e : events) out.push_back(e.Value);
    return out;
}

TEST(SortEvents, EqualTicksEndInTheOrderOfTheExactProcedure) {
    // Worked by hand: pivot 0 from (1, 0, 0); swap A<->D; then (2,3) swaps C and A.
    std::vector<ChartEvent> ev = {Ev(1, 'A'), Ev(0, 'B'), Ev(1, 'C'), Ev(0, 'D')};
    SortEvents(ev);
    EXPECT_EQ(Labels(ev), (std::vector<int32_t>{'D', 'B', 'A', 'C'}));

    // All equal: the first partition swaps the ends inward, the halves then swap again.
    ev = {Ev(5, 1), Ev(5, 2), Ev(5, 3), Ev(5, 4), Ev(5, 5)};
    SortEvents(ev);
    EXPECT_EQ(Labels(ev), (std::vector<int32_t>{4, 5, 3, 1, 2}));

    ev = {Ev(3, 1), Ev(1, 2), Ev(2, 3), Ev(1, 4), Ev(3, 5), Ev(0, 6)};
    SortEvents(ev);
    for (size_t i = 1; i < ev.size(); ++i) EXPECT_LE(ev[i - 1].Tick, ev[i].Tick);
    EXPECT_EQ(Labels(ev), (std::vector<int32_t>{6, 4, 2, 3, 1, 5}));
}

TEST(TimingPass, BarLinesScalingAndSecondPlayerRewrite) {
    Loaded l;
    ChartModel& m = l.Load("#BPM 120\r\n#00102:0.75\r\n#00202:2\r\n#00111:0001\r\n#00221:0001\r\n#00301:01\r\n");
    EXPECT_EQ(m.MaxMeasure, 5);
    auto bars = l.EventsOf(kChannelBarLine);
    ASSERT_EQ(bars.size(), 6u);
    for (size_t i = 0; i < bars.size(); ++i) EXPECT_EQ(bars[i].Tick, (std::array{0, 192, 336, 720, 912, 1104})[i]);
    auto key = l.EventsOf(11);
    ASSERT_EQ(key.size(), 1u);
    EXPECT_EQ(key[0].Tick, 192 + 72);  // offset 96 in a 0.75 measure
    auto bg = l.EventsOf(1);
    ASSERT_EQ(bg.size(), 2u);          // channel 21 became background
    EXPECT_EQ(bg[0].Tick, 336 + 192);
    EXPECT_EQ(bg[1].Tick, 720);
    EXPECT_TRUE(l.EventsOf(21).empty());
    EXPECT_EQ(m.LastTick, 1104);
    EXPECT_EQ(m.LastTick, m.Events.back().Tick);
}

TEST(TimingPass, EmptyChartStillHasThreeBarLines) {
    Loaded l;
    ChartModel& m = l.Load("");
    EXPECT_EQ(m.EventCount, 3);
    EXPECT_EQ(m.LastTick, 384);
    EXPECT_EQ(m.PlayTime, 0);  // no tempo: no playing time
    EXPECT_EQ(m.NowPlaying, "[]  / ");
}

TEST(PlayTime, TempoChangesAndTheCasesWithoutATime) {
    Loaded l;
    // 120 BPM, 240 from tick 960, last bar line at 1920.
    EXPECT_EQ(l.Load("#BPM 120\r\n#00503:F0\r\n#00801:01\r\n").PlayTime, 15000);
    EXPECT_EQ(l.model.Chart.PlayTime, 15000);
    // Round(#BPM) 120.5 -> 120 for the time, the tempo itself stays unrounded.
    EXPECT_EQ(l.Load("#BPM 120.5\r\n#00801:01\r\n").PlayTime, 20000);
    EXPECT_EQ(l.engine.CurrentBpm, 120.5f);
    EXPECT_EQ(l.engine.TicksPerMs, static_cast<float>(120.5 / 1250.0));
    // Tempo 0 from an object: the chart has no playing time.
    EXPECT_EQ(l.Load("#BPM 120\r\n#00103:0Z\r\n").PlayTime, 0);
    // No #BPM, then a tempo change: the update with divisor 0 is skipped, the tempo still applies.
    EXPECT_EQ(l.Load("#00203:78\r\n").PlayTime, 8000);  // all 768 ticks at 120 BPM
    // A #BPM beyond 16 bits counts as 0.
    EXPECT_EQ(l.Load("#BPM 40000\r\n").PlayTime, 0);
    EXPECT_EQ(l.Load("#BPM -120\r\n").PlayTime, 0);
    // A result beyond 32 bits gives 0.
    EXPECT_EQ(l.Load("#BPM 1\r\n#00102:1E7\r\n").PlayTime, 0);
}

TEST(PlayTime, TheTwoFormulasAgreeOnTheWorkedExample) {
    std::vector<ChartEvent> ev = {Ev(960, 240, kChannelTempo), Ev(1920, 0, kChannelBarLine)};
    EXPECT_EQ(ComputePlayTime(ev, 120.0f), 15000);
    EXPECT_EQ(ScanPlayTime(ev, 120.0f), 15000);
    EXPECT_EQ(ComputePlayTime(ev, 0.0f), 10000);
    EXPECT_EQ(ScanPlayTime(ev, 0.0f), 10000);
}

}  // namespace
}  // namespace jov
