#include "playlist/seek_bar.h"

#include <cmath>
#include <limits>

namespace jov {
namespace {

template <typename T>
std::optional<T> RoundTo(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    double r = std::nearbyint(v);
    if (r < std::numeric_limits<T>::min() || r > std::numeric_limits<T>::max()) return std::nullopt;
    return static_cast<T>(r);
}

}  // namespace

SeekBarAction SeekBarPointer(double x, int buttons, int32_t playTime, int32_t lastTick) {
    SeekBarAction a;
    a.TooltipMs = RoundTo<int32_t>(x / kSeekBarInnerWidth * playTime);
    if (buttons == kMouseLeftButton) a.SeekTick = RoundTo<int32_t>(x / kSeekBarInnerWidth * lastTick);
    return a;
}

void TitleMarquee::Measure(double innerHeight, double heightOfA, double widthOfA) {
    if (auto h = RoundTo<int32_t>(innerHeight - heightOfA)) {
        if (auto y = RoundTo<int16_t>(static_cast<double>(*h / 2))) TitleY = *y;
    }
    if (auto w = RoundTo<int16_t>(widthOfA)) TitleStep = *w;
}

void TitleMarquee::Restart(double width) {
    if (auto w = RoundTo<int32_t>(width)) TitleWidth = *w;
    TitleX = 0;
}

void TitleMarquee::Step(double innerWidth) {
    int64_t x = int64_t{TitleX} - TitleStep;
    if (x >= std::numeric_limits<int32_t>::min() && x <= std::numeric_limits<int32_t>::max())
        TitleX = static_cast<int32_t>(x);
    if (TitleX < -int64_t{TitleWidth}) {
        if (auto w = RoundTo<int32_t>(innerWidth)) TitleX = *w;
    }
}

}  // namespace jov
