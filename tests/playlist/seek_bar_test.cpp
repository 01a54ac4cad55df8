#include "playlist/seek_bar.h"

#include <gtest/gtest.h>

#include <optional>

namespace jov {
namespace {

TEST(SeekBar, PointerGivesTimeAndSeeksOnlyWithTheLeftButtonAlone) {
    struct Case {
        double x;
        int buttons;
        int32_t playTime, lastTick, tooltipMs;
        std::optional<int32_t> seekTick;
    };
    const Case cases[] = {
        {94, 0, 120000, 4000, 60000, std::nullopt},
        {47, 1, 8000, 1000, 2000, 250},
        {47, 3, 8000, 1000, 2000, std::nullopt},  // left and right together
        {120, 1, 0, 0, 0, 0},                     // no chart: time 0, a click asks for tick 0
        {-10, 1, 188000, 188, -10000, -10},       // past the end: for the seek to reject
        // Halves round to even: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
        {47, 1, 0, 2, 0, 0},
        {141, 1, 0, 2, 0, 2},
        {47, 1, 10, 0, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        SeekBarAction a = SeekBarPointer(c.x, c.buttons, c.playTime, c.lastTick);
        EXPECT_EQ(a.TooltipMs, c.tooltipMs);
        EXPECT_EQ(a.SeekTick, c.seekTick);
    }
    // A result beyond 32 bits is not taken.
    EXPECT_FALSE(SeekBarPointer(1e9, 1, 2000000000, 2000000000).SeekTick);
}

TEST(TitleMarquee, StepsLeftAndReentersFromTheRight) {
    TitleMarquee m;
    m.TitleStep = 5;
    m.Restart(12);
    EXPECT_EQ(m.TitleX, 0);
    for (int32_t want : {-5, -10, 172}) {  // -15 < -12: back at the box's width
        m.Step(172);
        EXPECT_EQ(m.TitleX, want);
    }
    m.Step(172.5);
    EXPECT_EQ(m.TitleX, 167);

    // A new chart starts at the left edge again.
    m.Restart(300.4);
    EXPECT_EQ(m.TitleX, 0);
    EXPECT_EQ(m.TitleWidth, 300);
}

TEST(TitleMarquee, MeasuresFromTheFont) {
    TitleMarquee m;
    m.Measure(10, 7, 5.4);  // (10 - 7) / 2 truncates to 1
    EXPECT_EQ(m.TitleY, 1);
    EXPECT_EQ(m.TitleStep, 5);
    // An empty title: nothing visible, and the text keeps re-entering without overflow.
    m.Restart(0);
    m.TitleX = -2147483647 - 1;
    m.Step(100);
    EXPECT_EQ(m.TitleX, 100);
}

}  // namespace
}  // namespace jov
