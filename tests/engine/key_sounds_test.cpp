// Key sounds on the clock line, their loads, and a load that runs out of memory.
#include "engine/key_sounds.h"

#include <gtest/gtest.h>

#include "engine/player.h"
#include "engine_fixture.h"
#include "../test_util.h"

namespace jov::test {
namespace {

class KeySoundsTest : public EngineFixture {};

struct LampLog final : SignalLamps {
    void SetLoadLamp(bool lit) override { log += lit ? "L" : "l"; }
    void SetPlayLamp(bool lit) override { log += lit ? "P" : "p"; }
    std::string log;
};

TEST_F(KeySoundsTest, CommandsCarryTheEventTimeOnTheCurrentClockLine) {
    SetChart(150.0f, {});
    state.StartTime = 100000 - 2500;
    state.TickOffset = -7;
    clock.Set(100000);
    sounds.LoadKeySound(4);
    EXPECT_EQ(sounds.WavFrequency[4], 44100);
    device.log.clear();

    sounds.PlayKeySound(4, 293);
    const double perMs = double(150.0f / 1250.0f);
    const double want = 100000.0 - 2500 + (293 + 7) / perMs;  // 2500 ms after the start, fractional
    ASSERT_EQ(device.log.size(), 3u);
    EXPECT_EQ(device.log[0].op + device.log[1].op + device.log[2].op, "stopposplay");
    EXPECT_EQ(device.log[1].frame, 0);
    for (const auto& c : device.log) EXPECT_DOUBLE_EQ(c.atMs, want);

    // The time does not depend on when the pass comes.
    clock.Advance(37);
    device.log.clear();
    sounds.PlayKeySound(4, 293);
    EXPECT_DOUBLE_EQ(device.log.back().atMs, want);
    // Tick 0 is placed on the line like any other tick.
    sounds.PlayKeySound(4, 0);
    EXPECT_DOUBLE_EQ(device.log.back().atMs, 100000.0 - 2500 + 7 / perMs);
    // Without a tempo the command is for now.
    state.TicksPerMs = 0.0f;
    sounds.PlayKeySound(4, 500);
    EXPECT_DOUBLE_EQ(device.log.back().atMs, 100037.0);
}

TEST_F(KeySoundsTest, UnloadedSoundsLoadOnFirstUseAndFailuresAreNotRetried) {
    SetChart(120.0f, {});
    LampLog lamps;
    sounds.SetLamps(&lamps);
    state.StartTime = 100000;

    sounds.PlayKeySound(9, 96);  // never attempted: loaded now, then played
    EXPECT_EQ(model.WavLoaded[9], 255);
    EXPECT_EQ(device.Creates(), 1);
    EXPECT_EQ(device.Plays().size(), 1u);
    EXPECT_EQ(lamps.log, "PLlp");

    model.WavFile[10] = "/sounds/missing.wav";
    sounds.PlayKeySound(10, 96);  // fails to load: silent
    EXPECT_EQ(model.WavLoaded[10], 255);
    EXPECT_EQ(device.Creates(), 2);
    lamps.log.clear();
    sounds.PlayKeySound(10, 96);  // not tried again, the play lamp only flashes
    EXPECT_EQ(device.Creates(), 2);
    EXPECT_EQ(device.Plays().size(), 1u);
    EXPECT_EQ(lamps.log, "Pp");

    // Slots outside the table are ignored, never indexed.
    sounds.PlayKeySound(256, 0);
    sounds.LoadKeySound(-1);
    EXPECT_EQ(device.Creates(), 2);

    sounds.ReleaseSound();
    EXPECT_FALSE(sounds.HasBuffer(9));
    EXPECT_TRUE(sounds.WavFrequency.empty());
}

TEST(Player, AFailureInLoadOrPlayLeavesAnEmptyChartAndTheFileCheckMessage) {
    jovtest::TempDir dir;
    const std::string chart = dir.Write("x.bms", "#BPM 120\r\n#WAV01 a.wav\r\n#00111:01\r\n#00211:01\r\n#00311:01\r\n");
    for (int mode : {0, 1}) {  // loads while parsing; loads in the play loop
        Shell shell;
        VirtualClock clock(0, 1);
        RecordingSoundDevice sound;
        sound.starved = true;
        Player player(shell, clock, &sound, nullptr);
        player.State().WavLoadMode = mode;
        if (mode == 0) {
            EXPECT_FALSE(player.LoadChart(chart));
        } else {
            ASSERT_TRUE(player.LoadChart(chart));
            player.SeekTo(0, true);
            player.RunPlayLoop();
        }
        EXPECT_TRUE(player.Model().Events.empty()) << mode;
        EXPECT_FALSE(player.State().IsPlaying);
        EXPECT_EQ(shell.LastStatus(), "Err[not exist] :x.bms");
    }
}

}  // namespace
}  // namespace jov::test
