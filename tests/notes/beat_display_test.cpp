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
    // Lamps as a text: '*' lit and marked, '.' resting and unmarked ('?', '!' the mixes).
    std::string Lamps(double tick) {
        engine.CurrentTick = tick;
        display.Update(engine, chart);
        std::string s;
        for (int i = 0; i < 4; ++i) s += display.Lamp[i] == kLampLit ? (display.BeatLit[i] ? '*' : '?') : (display.BeatLit[i] ? '!' : '.');
        return s;
    }
};

TEST(BeatDisplay, ProgressMarkerAndBackgroundFlash) {
    Fixture f;
    // Play time, elapsed, marker: no length, a product beyond 32 bits or a quotient beyond
    // 16 bits leave the marker where it was.
    for (auto [playTime, elapsed, x] : {std::tuple{120000, 60000, 90}, {120000, 120000, 180}, {0, 1000, 180},
                                        {120000, std::numeric_limits<int32_t>::max(), 180}, {1, 1000, 180}}) {
        f.chart.PlayTime = playTime;
        f.engine.ElapsedMs = elapsed;
        EXPECT_TRUE(f.display.Update(f.engine, f.chart));
        EXPECT_EQ(f.display.ProgressX, x) << elapsed;
    }
    // Hit times (key, scratch), elapsed, background: full within 2 ms, gone after 500.
    for (auto [key, scratch, elapsed, rgb] : {std::tuple{9750, 0, 10000, Rgb{0, 128, 255}}, {10000, 10000, 10000, Rgb{255, 255, 255}},
                                              {10000, 10000, 10002, Rgb{255, 255, 255}}, {10000, 10000, 10500, Rgb{0, 0, 255}}}) {
        f.engine.HitTime = {key, scratch};
        f.engine.ElapsedMs = elapsed;
        f.display.Update(f.engine, f.chart);
        EXPECT_EQ(f.display.Background, rgb) << elapsed;
    }
    // A hit in the future (after a seek back) is capped; a difference beyond 32 bits does not wrap.
    EXPECT_EQ(FlashComponent(0, 5000), 255);
    EXPECT_EQ(FlashComponent(std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()), -1);

    // Minimised: nothing drawn, nothing changed.
    f.engine.IsMinimized = true;
    f.engine.ElapsedMs = 60000;
    auto lamps = f.display.Lamp;
    EXPECT_FALSE(f.display.Update(f.engine, f.chart));
    EXPECT_EQ(f.display.ProgressX, 180);
    EXPECT_EQ(f.display.Lamp, lamps);
}

TEST(BeatDisplay, LampsLightOncePerQuarterOfTheMeasuresLength) {
    Fixture f;
    f.engine.BarMeasure = 3;
    f.engine.BarTick = 576;
    EXPECT_EQ(f.Lamps(576 + 96), "..*.");   // third quarter first
    EXPECT_EQ(f.Lamps(576 + 150), "..!*");  // lamp 2 rests, still marked
    EXPECT_EQ(f.Lamps(576 + 100), "..!*");  // a seek back leaves a lit lamp alone
    f.engine.BarMeasure = 4;                // the next measure: the marks start again
    f.engine.BarTick = 768;
    EXPECT_EQ(f.Lamps(768), "*...");
    EXPECT_EQ(f.Lamps(768 + 48), ".*..");

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
    EXPECT_EQ(f.Lamps(1e12), ".*..");
    EXPECT_FALSE(BeatQuarter(f.engine, f.chart, q));
}

}  // namespace
}  // namespace jov
