#pragma once
// The play engine's clock and cursor, read by the readout, the renderers, the
// seek bar and the jukebox.
#include <array>
#include <cstdint>

namespace jov {

struct EngineState {
    int32_t StartTime = 0;     // clock ms at which tick 0 would have played on the current clock line
    int32_t ElapsedMs = 0;     // now - StartTime (wrap-around subtraction)
    float CurrentBpm = 0.0f;
    float TicksPerMs = 0.0f;   // CurrentBpm / 1250
    double TickOffset = 0.0;   // never rounded: the line stays on the tempo map
    double CurrentTick = 0.0;
    // Extended reading: the tick of the last stop reached; the position holds there
    // until the line, moved back by the stop's length, passes it again.
    double HoldTick = -1.0e300;  // ElapsedMs * TicksPerMs + TickOffset
    int32_t NextEvent = 0;
    double BarMeasure = 0.0;
    int32_t BarTick = 0;
    std::array<int32_t, 2> HitTime{};
    bool IsPlaying = false;
    bool StopRequest = false;
    int32_t SleepMs = 10;
    int32_t WavLoadMode = 1;   // 0 "First ALL", otherwise "Realtime"
    bool IsMinimized = false;
};

}  // namespace jov
