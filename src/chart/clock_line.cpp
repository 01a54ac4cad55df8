#include "chart/clock_line.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "chart/conversions.h"

namespace jov {

double StartTempo(const ChartModel& m) {
    return m.Extended.active ? m.Extended.StartBpm : static_cast<double>(m.Chart.Bpm);
}

std::vector<double> EventTimesMs(const ChartModel& m) {
    const bool ext = m.Extended.active;
    const size_t count = std::min(m.Events.size(), static_cast<size_t>(std::max(m.EventCount, 0)));
    std::vector<double> out(count, 0.0);
    double bpm = StartTempo(m);
    double fromTick = 0.0;
    double fromMs = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const ChartEvent& e = m.Events[i];
        const double tick = m.EventTick(i);
        const double ms = tick == fromTick ? fromMs : fromMs + (tick - fromTick) * 1250.0 / bpm;
        out[i] = ms;
        if (e.Channel == kChannelTempo || (ext && e.Channel == kChannelExtendedTempo)) {
            fromTick = tick;
            fromMs = ms;
            bpm = ext ? m.Extended.Amount[i] : static_cast<double>(e.Value);
        } else if (ext && e.Channel == kChannelStop) {
            fromTick = tick;
            fromMs = ms + m.Extended.Amount[i] * 1250.0 / bpm;
        }
    }
    return out;
}

double TickAtMs(const ChartModel& m, double ms) {
    const bool ext = m.Extended.active;
    const size_t count = std::min(m.Events.size(), static_cast<size_t>(std::max(m.EventCount, 0)));
    double bpm = StartTempo(m);
    double fromTick = 0.0;
    double fromMs = 0.0;
    // The tick `ms` reaches from the last change at the tempo in force, if before `untilTick`.
    auto reach = [&](double untilTick) -> std::optional<double> {
        if (!(bpm > 0.0)) return fromTick;
        const double tick = fromTick + (ms - fromMs) * bpm / 1250.0;
        if (tick <= untilTick || !std::isfinite(tick)) return std::max(tick, fromTick);
        return std::nullopt;
    };
    for (size_t i = 0; i < count; ++i) {
        const ChartEvent& e = m.Events[i];
        const bool tempo = e.Channel == kChannelTempo || (ext && e.Channel == kChannelExtendedTempo);
        const bool stop = ext && e.Channel == kChannelStop;
        if (!tempo && !stop) continue;
        const double tick = m.EventTick(i);
        if (tick != fromTick) {  // no time passes between changes on one tick, whatever the tempo
            if (auto t = reach(tick)) return *t;
            fromMs += (tick - fromTick) * 1250.0 / bpm;
            fromTick = tick;
        }
        if (tempo) {
            bpm = ext ? m.Extended.Amount[i] : static_cast<double>(e.Value);
        } else {
            fromMs += m.Extended.Amount[i] * 1250.0 / bpm;
            if (ms <= fromMs) return tick;
        }
    }
    return *reach(INFINITY);
}

int32_t ExtendedPlayTime(const ChartModel& m) {
    const std::vector<double> times = EventTimesMs(m);
    if (times.empty()) return 0;
    return RoundToInt32(times.back()).value_or(0);
}

}  // namespace jov
