#include "engine/play_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/cls_midi.h"
#include "engine_fixture.h"

namespace jov::test {
namespace {

constexpr float kBpm = 120.0f;  // 0.096 ticks per ms

using PlayLoopTest = EngineFixture;

class RecordingHost final : public PlayHost {
public:
    void PumpEvents() override {
        calls.push_back("pump");
        if (onPump) onPump();
    }
    void StartTimer(int id, int ms) override { calls.push_back("start " + std::to_string(id) + "/" + std::to_string(ms)); }
    void StopTimer(int id) override { calls.push_back("stop " + std::to_string(id)); }
    void UpdateBeatDisplay() override { calls.push_back("beat"); }
    void DrawNotes() override { calls.push_back("notes"); }
    void DrawStatus(const StatusReadout& r) override { calls.push_back("status " + r.line1); }
    std::vector<std::string> calls;
    std::function<void()> onPump;
};

TEST_F(PlayLoopTest, LateEventsAreSilentButStillMarkTheHits) {
    SetChart(kBpm, {Ev(0, 11, 1), Ev(48, 16, 2), Ev(100, 11, 3), Ev(384, kChannelBarLine, 0, 2)});
    ASSERT_TRUE(engine.SeekTo(0, true));
    clock.Advance(1000);  // tick 96: the first two are 96 and 48 ticks late
    engine.UpdatePlay();
    EXPECT_EQ(state.ElapsedMs, 1000);
    EXPECT_DOUBLE_EQ(state.CurrentTick, 1000.0 * double(kBpm / 1250.0f));
    EXPECT_EQ(state.NextEvent, 2);
    EXPECT_TRUE(device.Plays().empty());
    EXPECT_EQ(state.HitTime[0] + state.HitTime[1], 2000);

    clock.Advance(500);  // tick 144: 44 ticks late, still sounded
    engine.UpdatePlay();
    auto plays = device.Plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].slot, 3);
    // The command carries the event's own time on the clock line, not the pass's.
    EXPECT_DOUBLE_EQ(plays[0].atMs, 100000.0 + 100.0 / double(kBpm / 1250.0f));
    EXPECT_EQ(device.Creates(), 1);  // loaded at its trigger: it sat at the cursor
    EXPECT_EQ(model.WavLoaded[3], 255);
    EXPECT_EQ(state.HitTime[0], 1500);
    EXPECT_FALSE(state.StopRequest);
}

TEST_F(PlayLoopTest, EventsOfOnePassRunInOrderAndATempoChangeActsFromTheNextPass) {
    SetChart(kBpm, {Ev(10, 1, 5), Ev(20, kChannelTempo, 240), Ev(30, 1, 6), Ev(1000, kChannelBarLine, 0, 5)});
    struct Order : DispatchListener {
        void OnDispatch(const ChartEvent& e, bool sounded) override { seen.push_back({e.Tick, sounded}); }
        std::vector<std::pair<int, bool>> seen;
    } order;
    engine.SetDispatchListener(&order);
    ASSERT_TRUE(engine.SeekTo(0, true));
    clock.Advance(400);  // tick 38.4 at the old rate
    engine.UpdatePlay();
    EXPECT_EQ(order.seen, (std::vector<std::pair<int, bool>>{{10, true}, {20, false}, {30, true}}));
    EXPECT_DOUBLE_EQ(state.CurrentTick, 400.0 * double(kBpm / 1250.0f));
    EXPECT_EQ(state.CurrentBpm, 240.0f);
    // The line turns at the change's own tick 20 (208.3 ms), not at the pass's 400 ms,
    // and the offset is not rounded: 0 - 120/1250 * 208.3 = -20.
    EXPECT_NEAR(state.TickOffset, -20.0, 1e-4);
    clock.Advance(10);
    engine.UpdatePlay();
    EXPECT_DOUBLE_EQ(state.CurrentTick, static_cast<double>(410.0L * (240.0f / 1250.0f) + state.TickOffset));
}

TEST_F(PlayLoopTest, ChartsThatCannotGoOnEndTheLoop) {
    // No events at all: one pass.
    SetChart(kBpm, {});
    engine.RunPlayLoop();
    EXPECT_EQ(engine.LoopPasses(), 1);
    EXPECT_TRUE(state.StopRequest);
    EXPECT_EQ(shell.LastStatus(), "playloop end");

    // No positive tempo: the clock never moves, so the first pass ends it; its
    // look-ahead still runs.
    SetChart(0.0f, {Ev(0, kChannelBarLine, 0), Ev(100, 1, 7), Ev(150, 1, 8), Ev(192, kChannelBarLine, 0, 1)});
    ASSERT_TRUE(engine.SeekTo(0, true));
    engine.RunPlayLoop();
    EXPECT_EQ(engine.LoopPasses(), 1);
    EXPECT_EQ(model.WavLoaded[7], 0);  // at the cursor after the bar line
    EXPECT_EQ(model.WavLoaded[8], 255);

    // A tempo change to 0 ends the chart in the pass that applies it.
    SetChart(kBpm, {Ev(48, kChannelTempo, 0), Ev(96, 1, 8), Ev(384, kChannelBarLine, 0, 2)});
    ASSERT_TRUE(engine.SeekTo(0, true));
    state.SleepMs = 10;
    engine.RunPlayLoop();
    EXPECT_EQ(state.NextEvent, 1);
    EXPECT_EQ(state.CurrentBpm, 0.0f);
    EXPECT_EQ(engine.LoopPasses(), 51);  // tick 48 is reached at 500 ms
}

TEST_F(PlayLoopTest, LookAheadLoadsOneMeasureAheadPastTheCursor) {
    SetChart(kBpm, {Ev(100, 11, 1), Ev(150, 17, 2), Ev(160, kChannelTempo, 200), Ev(192, 1, 3), Ev(193, 1, 4),
                    Ev(400, kChannelBarLine, 0, 2)});
    ASSERT_TRUE(engine.SeekTo(0, true));
    engine.UpdatePlay();
    EXPECT_EQ(model.WavLoaded[1], 0);    // the cursor's own event is not walked
    EXPECT_EQ(model.WavLoaded[2], 255);  // channel 17 is loaded though never played
    EXPECT_EQ(model.WavLoaded[3], 255);  // exactly 192 ticks ahead
    EXPECT_EQ(model.WavLoaded[4], 0);
    EXPECT_EQ(device.Creates(), 2);
    engine.UpdatePlay();
    EXPECT_EQ(device.Creates(), 2);  // marked slots are not loaded again
}

TEST_F(PlayLoopTest, LoopDrivesTheHostAndStopsOnRequest) {
    SetChart(kBpm, {Ev(0, 1, 1), Ev(1920, kChannelBarLine, 0, 10)});
    model.Midi = std::make_unique<clsMIDI>(&midi, &clock);
    model.NowPlaying = "[g] t / a";
    RecordingHost host;
    int pumps = 0;
    host.onPump = [&] {
        if (++pumps == 2) state.StopRequest = true;
    };
    engine.SetHost(&host);
    ASSERT_TRUE(engine.SeekTo(0, true));
    midi.commands.clear();
    engine.RunPlayLoop();
    EXPECT_EQ(engine.LoopPasses(), 2);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"start 50/10", "start 51/200", "beat", "notes", "pump", "beat",
                                                    "notes", "pump", "stop 50", "stop 51"}));
    ASSERT_FALSE(midi.commands.empty());
    EXPECT_EQ(midi.commands.back(), "stop tmid ");
    EXPECT_EQ(shell.Caption().rfind("[g] t / a", 0), 0u);
    EXPECT_TRUE(state.IsPlaying);  // the jukebox clears it, not the loop

    // The 10 ms callback stops its own timer once the chart is over.
    host.calls.clear();
    state.StopRequest = false;
    engine.PlayTimerProc(kPlayTimerId);
    EXPECT_TRUE(host.calls.empty());
    state.IsPlaying = false;
    engine.PlayTimerProc(kPlayTimerId);
    EXPECT_EQ(host.calls, std::vector<std::string>{"stop 50"});
}

TEST_F(PlayLoopTest, ElapsedSurvivesTheMillisecondCounterWrapping) {
    clock.Set(2147483647LL - 300);
    SetChart(kBpm, {Ev(96, 1, 1), Ev(384, kChannelBarLine, 0, 2)});
    ASSERT_TRUE(engine.SeekTo(0, true));
    clock.Advance(1000);
    engine.UpdatePlay();
    EXPECT_EQ(state.ElapsedMs, 1000);
    auto plays = device.Plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_NEAR(plays[0].atMs, 2147483647.0 - 300 + 1000, 1e-3);
}

}  // namespace
}  // namespace jov::test
