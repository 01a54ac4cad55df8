#include "playlist/seek_bar.h"

#include <gtest/gtest.h>

#include <optional>

namespace jov {
namespace {

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
