#include "playlist/seek_bar.h"

#include <gtest/gtest.h>

namespace jov {
namespace {

TEST(SeekBar, PointerGivesTimeAndSeeksOnlyWithTheLeftButtonAlone) {
    SeekBarAction a = SeekBarPointer(94, 0, 120000, 4000);
    EXPECT_EQ(a.TooltipMs, 60000);
    EXPECT_FALSE(a.SeekTick);

    a = SeekBarPointer(47, 1, 8000, 1000);
    EXPECT_EQ(a.SeekTick, 250);
    EXPECT_EQ(a.TooltipMs, 2000);

    a = SeekBarPointer(47, 3, 8000, 1000);  // left and right together
    EXPECT_EQ(a.TooltipMs, 2000);
    EXPECT_FALSE(a.SeekTick);

    // No chart: time 0, a left click asks for tick 0.
    a = SeekBarPointer(120, 1, 0, 0);
    EXPECT_EQ(a.TooltipMs, 0);
    EXPECT_EQ(a.SeekTick, 0);

    // Dragged past either end: targets outside the chart, for the seek to reject.
    a = SeekBarPointer(-10, 1, 188000, 188);
    EXPECT_EQ(a.TooltipMs, -10000);
    EXPECT_EQ(a.SeekTick, -10);
}

TEST(SeekBar, HalvesRoundToEven) {
    // 47 / 188 * 2 = 0.5 -> 0; 141 / 188 * 2 = 1.5 -> 2; 47 / 188 * 10 = 2.5 -> 2.
    EXPECT_EQ(SeekBarPointer(47, 1, 0, 2).SeekTick, 0);
    EXPECT_EQ(SeekBarPointer(141, 1, 0, 2).SeekTick, 2);
    EXPECT_EQ(SeekBarPointer(47, 1, 10, 0).TooltipMs, 2);
    // A result beyond 32 bits is not taken.
    EXPECT_FALSE(SeekBarPointer(1e9, 1, 2000000000, 2000000000).SeekTick);
}

TEST(TitleMarquee, StepsLeftAndReentersFromTheRight) {
    TitleMarquee m;
    m.TitleStep = 5;
    m.Restart(12);
    EXPECT_EQ(m.TitleX, 0);
    m.Step(172);
    EXPECT_EQ(m.TitleX, -5);
    m.Step(172);
    EXPECT_EQ(m.TitleX, -10);
    m.Step(172);  // -15 < -12: back at the box's width
    EXPECT_EQ(m.TitleX, 172);
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
