#include "engine/start_placement.h"

#include <gtest/gtest.h>

#include "audio/cls_midi.h"
#include "engine_fixture.h"

namespace jov::test {
namespace {

using StartPlacementTest = EngineFixture;

TEST_F(StartPlacementTest, WithoutMidiTheChartStartsAtItsFirstSoundAfterPreloading) {
    SetChart(120.0f, {Ev(0, kChannelBarLine, 0), Ev(10, 17, 1), Ev(100, kChannelTempo, 60), Ev(200, 11, 2),
                      Ev(300, 1, 3), Ev(392, 16, 4), Ev(393, 1, 5), Ev(394, 1, 6), Ev(576, kChannelBarLine, 0, 3)},
             2);
    model.WavLoaded[2] = 255;  // loaded again all the same
    ASSERT_TRUE(PlaceStart(model, state, sounds, engine));
    // 2 starts; 3 and 4 lie within 192 ticks; 5 is the first beyond and still loaded.
    std::vector<int> loaded;
    for (const auto& c : device.log)
        if (c.op == "create") loaded.push_back(c.slot);
    EXPECT_EQ(loaded, (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(model.WavLoaded[6] + model.WavLoaded[1], 0);
    EXPECT_EQ(state.CurrentTick, 200.0);
    EXPECT_EQ(state.CurrentBpm, 60.0f);  // the tempo change before it was replayed
    EXPECT_EQ(state.NextEvent, 2);
}

TEST_F(StartPlacementTest, MidiChartsStartAtZeroAndAResumedChartIsLeftAlone) {
    SetChart(120.0f, {Ev(0, kChannelBarLine, 0), Ev(200, 11, 2), Ev(384, kChannelBarLine, 0, 2)}, 2);
    model.Midi = std::make_unique<clsMIDI>(&midi, &clock);
    ASSERT_TRUE(PlaceStart(model, state, sounds, engine));
    EXPECT_EQ(state.CurrentTick, 0.0);
    EXPECT_EQ(device.Creates(), 0);
    EXPECT_EQ(midi.commands.back(), "play tmid from 0");

    state.CurrentTick = 150.0;
    midi.commands.clear();
    EXPECT_FALSE(PlaceStart(model, state, sounds, engine));
    EXPECT_TRUE(midi.commands.empty());
    EXPECT_EQ(state.CurrentTick, 150.0);
}

}  // namespace
}  // namespace jov::test
