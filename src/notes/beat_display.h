#pragma once
// The beat lamps and the progress strip of the main window: what they show,
// computed from the engine's clock and the loaded chart. The window paints it.
#include <array>
#include <cstdint>

#include "chart/chart_model.h"
#include "engine/engine_state.h"

namespace jov {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kLampRest{0, 0, 255};      // blue
inline constexpr Rgb kLampLit{0, 255, 255};     // cyan
inline constexpr Rgb kProgressMarker{255, 255, 0};  // yellow

class BeatDisplay {
public:
    // One refresh. Returns false (nothing changed, nothing to draw) while the
    // window is minimised.
    bool Update(const EngineState& engine, const ChartModel& chart);

    // x of the marker on the strip's 188-pixel inner width; the marker is 7 x 4.
    int16_t ProgressX = 0;
    std::array<bool, 4> BeatLit{};
    // Strip background: red and green flash towards the hits, blue stays 255.
    Rgb Background{0, 0, 255};
    std::array<Rgb, 4> Lamp{kLampRest, kLampRest, kLampRest, kLampRest};
};

// 256 - (elapsed - hit) x 0.512, rounded half to even, limited to 0..255;
// -1 when the difference does not fit 32 bits.
int FlashComponent(int32_t elapsedMs, int32_t hitTime);

// The quarter of the measure the clock stands in; false when it cannot be
// computed (length 0, measure outside the table, a value that does not fit).
bool BeatQuarter(const EngineState& engine, const ChartModel& chart, int32_t& quarter);

}  // namespace jov
