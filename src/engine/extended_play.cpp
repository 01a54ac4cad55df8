#include "engine/extended_play.h"

#include <algorithm>
#include <cmath>

#include "chart/chart_model.h"
#include "engine/clock_line.h"
#include "engine/engine_state.h"

namespace jov {

bool IsExtendedSoundChannel(int32_t ch) {
    return ch == kChannelBackground || (ch >= 11 && ch <= 19 && ch != 17) || (ch >= 51 && ch <= 59 && ch != 57) ||
           (ch >= 61 && ch <= 69);
}

bool ApplyExtendedTiming(const ChartModel& m, size_t i, EngineState& st, double fallbackMs) {
    const int32_t ch = m.Events[i].Channel;
    const double tick = m.Extended.ExactTick[i];
    const double amount = m.Extended.Amount[i];
    if (ch == kChannelTempo || ch == kChannelExtendedTempo) {
        const bool ran = st.TicksPerMs > 0.0f;
        const double atMs = ran ? LineMsOf(st, tick) : fallbackMs;
        double offset = st.TickOffset - (amount - static_cast<double>(st.CurrentBpm)) / 1250.0 * atMs;
        st.CurrentBpm = static_cast<float>(amount);
        st.TicksPerMs = st.CurrentBpm / 1250.0f;
        // Through the change's own tick at its millisecond, at the rate the line really runs
        // at (a single): the tempo's exact rate would put a warp of millions of BPM some
        // hundred ticks off the map, which at the tempo after it is seconds.
        if (ran) offset = tick - atMs * static_cast<double>(st.TicksPerMs);
        if (std::isfinite(offset)) st.TickOffset = offset;
        return true;
    }
    if (ch == kChannelStop) {
        // n ticks at the rate in force: the line simply moves back by n ticks.
        if (st.TicksPerMs > 0.0f && std::isfinite(st.TickOffset - amount)) {
            st.TickOffset -= amount;
            st.HoldTick = std::max(st.HoldTick, tick);
        }
        return true;
    }
    return false;
}

double HeldTick(const EngineState& st, double lineTick) { return std::max(lineTick, st.HoldTick); }

}  // namespace jov
