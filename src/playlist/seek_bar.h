#pragma once
// The progress strip as a seek bar, and the scrolling title: the numbers behind
// both, kept apart from the widgets that show them.
#include <cstdint>
#include <optional>

namespace jov {

inline constexpr double kSeekBarInnerWidth = 188.0;
inline constexpr int kMouseLeftButton = 1;

struct SeekBarAction {
    // Chart time under the pointer, for the tool tip; nullopt when it does not fit.
    std::optional<int32_t> TooltipMs;
    // Tick to seek to (left button alone held); nullopt otherwise.
    std::optional<int32_t> SeekTick;
};

// Mouse down or move over the strip at x (inner pixels) with `buttons` held.
SeekBarAction SeekBarPointer(double x, int buttons, int32_t playTime, int32_t lastTick);

struct TitleMarquee {
    int32_t TitleWidth = 0;
    int32_t TitleX = 0;
    int16_t TitleY = 0;
    int16_t TitleStep = 0;

    // Window load: centre the text vertically and step by the width of "A".
    void Measure(double innerHeight, double heightOfA, double widthOfA);
    // A chart starts: its title of `width` enters at the left edge.
    void Restart(double width);
    // One timer tick: move left; once the text has left the box, re-enter from the right.
    void Step(double innerWidth);
};

}  // namespace jov
