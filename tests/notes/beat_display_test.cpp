#include "notes/beat_display.h"

#include <gtest/gtest.h>

#include <limits>

namespace jov {
namespace {

struct Fixture {
    ChartModel chart;
    EngineState engine;
    BeatDisplay display;
    Fixture() {
        chart.MeasureLength.fill(1.0f);
        chart.PlayTime = 120000;
    }
};

TEST(BeatDisplay, ProgressMarkerFollowsThePlayedFraction) {
    Fixture f;
    f.engine.ElapsedMs = 60000;
    EXPECT_TRUE(f.display.Update(f.engine, f.chart));
    EXPECT_EQ(f.display.ProgressX, 90);
    f.engine.ElapsedMs = 120000;
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.ProgressX, 180);

    // No length, or a product beyond 32 bits: the marker stays where it was.
    f.chart.PlayTime = 0;
    f.engine.ElapsedMs = 1000;
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.ProgressX, 180);
    f.chart.PlayTime = 120000;
    f.engine.ElapsedMs = std::numeric_limits<int32_t>::max();
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.ProgressX, 180);
    // A quotient beyond 16 bits is not stored either.
    f.chart.PlayTime = 1;
    f.engine.ElapsedMs = 1000;
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.ProgressX, 180);
}

TEST(BeatDisplay, BackgroundFlashesFromTheLastHits) {
    Fixture f;
    f.engine.ElapsedMs = 10000;
    f.engine.HitTime = {10000 - 250, 0};  // key 250 ms ago, scratch long ago
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Background, (Rgb{0, 128, 255}));

    f.engine.HitTime = {10000, 10000};  // both in this pass: white
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Background, (Rgb{255, 255, 255}));
    f.engine.ElapsedMs = 10002;  // still full within 2 ms
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Background, (Rgb{255, 255, 255}));
    f.engine.ElapsedMs = 10500;  // gone after 500 ms
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Background, (Rgb{0, 0, 255}));

    // A hit in the future (after a seek back) is capped, and a difference beyond 32 bits
    // does not wrap.
    EXPECT_EQ(FlashComponent(0, 5000), 255);
    EXPECT_EQ(FlashComponent(std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()), -1);
}

TEST(BeatDisplay, LampsLightOncePerQuarter) {
    Fixture f;
    f.engine.BarMeasure = 3;
    f.engine.BarTick = 576;
    const auto rest = kLampRest, lit = kLampLit;

    f.engine.CurrentTick = 576 + 96;  // third quarter first: lamp 1 goes blue, lamp 2 cyan
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Lamp, (std::array<Rgb, 4>{rest, rest, lit, rest}));
    EXPECT_EQ(f.display.BeatLit, (std::array<bool, 4>{false, false, true, false}));

    f.engine.CurrentTick = 576 + 150;
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Lamp, (std::array<Rgb, 4>{rest, rest, rest, lit}));

    // A seek back into the same measure leaves a lamp already lit alone.
    f.engine.CurrentTick = 576 + 100;
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Lamp, (std::array<Rgb, 4>{rest, rest, rest, lit}));

    // Next measure: lamp 0 lights, lamp 3 rests, the marks start again.
    f.engine.BarMeasure = 4;
    f.engine.BarTick = 768;
    f.engine.CurrentTick = 768;
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Lamp, (std::array<Rgb, 4>{lit, rest, rest, rest}));
    EXPECT_EQ(f.display.BeatLit, (std::array<bool, 4>{true, false, false, false}));
    f.engine.CurrentTick = 768 + 48;
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Lamp, (std::array<Rgb, 4>{rest, lit, rest, rest}));
    EXPECT_EQ(f.display.BeatLit, (std::array<bool, 4>{false, true, false, false}));
}

TEST(BeatDisplay, QuarterLengthFollowsTheMeasureLength) {
    Fixture f;
    f.chart.MeasureLength[2] = 0.75f;  // 144 ticks: quarters of 36
    f.engine.BarMeasure = 2;
    f.engine.BarTick = 384;
    int32_t q = -1;
    f.engine.CurrentTick = 384 + 35;
    ASSERT_TRUE(BeatQuarter(f.engine, f.chart, q));
    EXPECT_EQ(q, 0);
    f.engine.CurrentTick = 384 + 36;
    ASSERT_TRUE(BeatQuarter(f.engine, f.chart, q));
    EXPECT_EQ(q, 1);

    // Length 0, a measure outside the table, a tick beyond 32 bits: no quarter, lamps kept.
    f.chart.MeasureLength[2] = 0.0f;
    EXPECT_FALSE(BeatQuarter(f.engine, f.chart, q));
    f.engine.BarMeasure = 5000;
    EXPECT_FALSE(BeatQuarter(f.engine, f.chart, q));
    f.engine.BarMeasure = 1;
    f.engine.CurrentTick = 1e12;
    EXPECT_FALSE(BeatQuarter(f.engine, f.chart, q));
    auto before = f.display.Lamp;
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Lamp, before);
}

TEST(BeatDisplay, MinimisedDrawsNothingAndKeepsState) {
    Fixture f;
    f.engine.CurrentTick = 0;
    f.display.Update(f.engine, f.chart);
    auto lamps = f.display.Lamp;
    f.engine.IsMinimized = true;
    f.engine.ElapsedMs = 60000;
    f.engine.CurrentTick = 100;
    EXPECT_FALSE(f.display.Update(f.engine, f.chart));
    EXPECT_EQ(f.display.ProgressX, 0);
    EXPECT_EQ(f.display.Lamp, lamps);
}

}  // namespace
}  // namespace jov
