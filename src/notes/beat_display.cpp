#include "notes/beat_display.h"

#include <cmath>
#include <limits>

namespace jov {
namespace {

bool RoundToInt32(double v, int32_t& out) {
    if (!std::isfinite(v)) return false;
    double r = std::nearbyint(v);
    if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(r);
    return true;
}

}  // namespace

int FlashComponent(int32_t elapsedMs, int32_t hitTime) {
    int64_t since = int64_t{elapsedMs} - hitTime;
    if (since < std::numeric_limits<int32_t>::min() || since > std::numeric_limits<int32_t>::max()) return -1;
    int32_t v = 0;
    if (!RoundToInt32(256.0 - static_cast<double>(since) * 0.512, v)) return -1;
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

bool BeatQuarter(const EngineState& engine, const ChartModel& chart, int32_t& quarter) {
    int32_t into = 0, m = 0, len = 0;
    if (!RoundToInt32(engine.CurrentTick - engine.BarTick, into)) return false;
    if (!RoundToInt32(engine.BarMeasure, m)) return false;
    if (m < 0 || m >= static_cast<int32_t>(chart.MeasureLength.size())) return false;
    if (!RoundToInt32(static_cast<double>(chart.MeasureLength[static_cast<size_t>(m)]) * 48.0, len)) return false;
    if (len == 0) return false;
    // INT_MIN / -1 does not fit either.
    if (len == -1 && into == std::numeric_limits<int32_t>::min()) return false;
    quarter = into / len;
    return true;
}

bool BeatDisplay::Update(const EngineState& engine, const ChartModel& chart) {
    if (engine.IsMinimized) return false;

    if (chart.PlayTime != 0) {
        int64_t x = int64_t{engine.ElapsedMs} * 180;
        if (x >= std::numeric_limits<int32_t>::min() && x <= std::numeric_limits<int32_t>::max()) {
            x /= chart.PlayTime;
            if (x >= std::numeric_limits<int16_t>::min() && x <= std::numeric_limits<int16_t>::max())
                ProgressX = static_cast<int16_t>(x);
        }
    }

    // A component whose computation fails starts from 0, as a fresh local would.
    int g = FlashComponent(engine.ElapsedMs, engine.HitTime[0]);
    int r = FlashComponent(engine.ElapsedMs, engine.HitTime[1]);
    Background = Rgb{static_cast<uint8_t>(r < 0 ? 0 : r), static_cast<uint8_t>(g < 0 ? 0 : g), 255};

    int32_t q = 0;
    if (!BeatQuarter(engine, chart, q) || q < 0 || q > 3) return true;
    auto uq = static_cast<size_t>(q);
    if (BeatLit[uq]) return true;
    Lamp[(uq + 3) % 4] = kLampRest;
    Lamp[uq] = kLampLit;
    if (q == 0) BeatLit = {true, false, false, false};
    else if (q == 1) BeatLit[0] = false, BeatLit[1] = true;
    else BeatLit[uq] = true;
    return true;
}

}  // namespace jov
