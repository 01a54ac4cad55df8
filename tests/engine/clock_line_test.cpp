// The clock line against the chart's own tempo map, at every sleep setting.
#include <gtest/gtest.h>

#include <vector>

#include "engine/clock_line.h"
#include "tempo_map.h"

namespace jov::test {
namespace {

const std::string kChart = std::string(JOV01_TEST_DATA) + "/engine/tempo_map.bms";

// Each dispatched event's time on the clock line, as the play pass leaves it.
struct LineTimes final : DispatchListener {
    explicit LineTimes(const EngineState& st) : st(st) {}
    void OnDispatch(const ChartEvent& e, bool) override {
        ticks.push_back(e.Tick);
        ms.push_back(st.StartTime + LineMsOf(st, e.Tick));
    }
    const EngineState& st;
    std::vector<int32_t> ticks;
    std::vector<double> ms;
};

TEST(ClockLineTest, EveryEventSitsOnTheTempoMapWhateverTheSleep) {
    std::vector<double> first;
    for (int sleep : {1, 7, 15}) {
        SCOPED_TRACE(sleep);
        // As the tool's simulate plays a chart: a virtual clock stepping `sleep` per pass.
        Shell shell;
        VirtualClock clock(100000, sleep);
        Player player(shell, clock, nullptr, nullptr);
        player.State().SleepMs = sleep;
        LineTimes times(player.State());
        player.Engine().SetDispatchListener(&times);
        player.LoadChart(kChart);
        player.PlaceStart();
        const int32_t startTick = static_cast<int32_t>(player.State().CurrentTick);
        const double startMs = player.State().StartTime + LineMsOf(player.State(), startTick);
        player.RunPlayLoop();

        const TempoMap map(player.Model());
        ASSERT_GT(times.ticks.size(), 40u);
        // Within the 32-bit tick rate's precision (about 1e-7 of the time): microseconds.
        for (size_t i = 0; i < times.ticks.size(); ++i) {
            const long double want = map.Ms(times.ticks[i]) - map.Ms(startTick);
            EXPECT_NEAR(times.ms[i] - startMs, static_cast<double>(want), 5e-3) << "tick " << times.ticks[i];
        }
        // Not merely close: the same line, to the last bit, at every sleep.
        if (first.empty()) first = times.ms;
        EXPECT_EQ(times.ms, first);
    }
}

}  // namespace
}  // namespace jov::test
