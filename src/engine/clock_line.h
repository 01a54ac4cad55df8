#pragma once
// The clock line: tick = ElapsedMs × TicksPerMs + TickOffset. A tempo change moves it
// so that it stays continuous at the change's own tick, never rounded, so every event
// sits at its exact time in the chart's tempo map whatever the pass rate.
#include <cmath>
#include <cstdint>

#include "engine/engine_state.h"

namespace jov {

// The millisecond at which `tick` falls on the current line (rate must not be 0).
inline double LineMsOf(const EngineState& st, double tick) { return (tick - st.TickOffset) / st.TicksPerMs; }

// Switches the line to `bpm`, keeping the tick of millisecond `atMs` where it was.
inline void ChangeTempoAt(EngineState& st, int32_t bpm, double atMs) {
    const double offset =
        st.TickOffset - (static_cast<double>(bpm) - static_cast<double>(st.CurrentBpm)) / 1250.0 * atMs;
    if (std::isfinite(offset)) st.TickOffset = offset;
    st.CurrentBpm = static_cast<float>(bpm);
    st.TicksPerMs = st.CurrentBpm / 1250.0f;
}

}  // namespace jov
