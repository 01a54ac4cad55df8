// What the simulate cases (tests/data/cases/play, tests/data/cases/engine) cannot show:
// the host calls, the look-ahead's exact horizon, the hit times and a wrapping clock.
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
    void DrawStatus(const StatusReadout& r) override { calls.push_back(r.Text()); }
    std::vector<std::string> calls;
    std::function<void()> onPump;
};

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

    // The 10 ms callback stops its own timer once the chart is over; the 200 ms one
    // draws the readout unless the window is minimised.
    host.calls.clear();
    state.StopRequest = false;
    engine.PlayTimerProc(kPlayTimerId);
    EXPECT_TRUE(host.calls.empty());
    state.IsPlaying = false;
    engine.PlayTimerProc(kPlayTimerId);
    model.MaxMeasure = 66;
    model.PlayTime = 130000;
    state.BarMeasure = 12;
    state.ElapsedMs = 25400;
    state.CurrentBpm = 150.0f;
    engine.StatusTimerProc();
    state.IsMinimized = true;
    engine.StatusTimerProc();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"stop 50", "<12/66> [00:25/02:10]\r\nBPM: 150"}));
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

    // A chart without events ends in its first pass.
    SetChart(kBpm, {});
    engine.RunPlayLoop();
    EXPECT_EQ(engine.LoopPasses(), 1);
}

TEST_F(PlayLoopTest, ElapsedSurvivesTheMillisecondCounterWrappingAndHitsAreTimed) {
    // Where the 32-bit count turns negative, and where it wraps to 0.
    for (int64_t start : {int64_t{INT32_MAX} - 300, int64_t{UINT32_MAX} - 300}) {
        SCOPED_TRACE(start);
        clock.Set(start);
        device.log.clear();
        SetChart(kBpm, {Ev(96, 16, 1), Ev(100, 11, 2), Ev(384, kChannelBarLine, 0, 2)});
        ASSERT_TRUE(engine.SeekTo(0, true));
        clock.Advance(1000);
        engine.UpdatePlay();
        EXPECT_EQ(state.ElapsedMs, 1000);
        ASSERT_EQ(device.Plays().size(), 1u);
        EXPECT_NEAR(device.Plays()[0].atMs, start + 1000.0, 1e-3);
        clock.Advance(600);  // tick 153.6: the second key is late and silent, but still a hit
        engine.UpdatePlay();
        EXPECT_EQ(device.Plays().size(), 1u);
        // Channel 16 times the second lane, the other keys the first.
        EXPECT_EQ(state.HitTime, (std::array<int32_t, 2>{1600, 1000}));
    }
}

}  // namespace
}  // namespace jov::test
