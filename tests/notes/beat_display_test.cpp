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
    auto progressAt = [&](int32_t playTime, int32_t elapsed) {
        f.chart.PlayTime = playTime;
        f.engine.ElapsedMs = elapsed;
        EXPECT_TRUE(f.display.Update(f.engine, f.chart));
        return f.display.ProgressX;
    };
    EXPECT_EQ(progressAt(120000, 60000), 90);
    EXPECT_EQ(progressAt(120000, 120000), 180);
    // No length, a product beyond 32 bits, a quotient beyond 16 bits: the marker stays.
    EXPECT_EQ(progressAt(0, 1000), 180);
    EXPECT_EQ(progressAt(120000, std::numeric_limits<int32_t>::max()), 180);
    EXPECT_EQ(progressAt(1, 1000), 180);
}

TEST(BeatDisplay, BackgroundFlashesFromTheLastHits) {
    Fixture f;
    f.engine.ElapsedMs = 10000;
    f.engine.HitTime = {10000 - 250, 0};  // key 250 ms ago, scratch long ago
    f.display.Update(f.engine, f.chart);
    EXPECT_EQ(f.display.Background, (Rgb{0, 128, 255}));

    f.engine.HitTime = {10000, 10000};  // both in this pass: white, still full within 2 ms, gone after 500
    for (auto [elapsed, rgb] : {std::pair{10000, Rgb{255, 255, 255}}, {10002, Rgb{255, 255, 255}}, {10500, Rgb{0, 0, 255}}}) {
        f.engine.ElapsedMs = elapsed;
        f.display.Update(f.engine, f.chart);
        EXPECT_EQ(f.display.Background, rgb) << elapsed;
    }

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
    for (int32_t quarter : {0, 1}) {
        f.engine.CurrentTick = 384 + 35 + quarter;
        ASSERT_TRUE(BeatQuarter(f.engine, f.chart, q));
        EXPECT_EQ(q, quarter);
    }

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
