#pragma once
// The two-line tempo and time readout of the main window.
#include <cstdint>
#include <string>

namespace jov {

struct ChartModel;
struct EngineState;

struct StatusReadout {
    std::string line1;  // "<12/66> [00:25/02:10]"
    std::string line2;  // "BPM: 150"
    std::string Text() const { return line1 + "\r\n" + line2; }
};

// mm:ss with at least two digits each; minutes are not capped (6000000 ms is 100:00).
std::string FormatTime(int32_t ms);
// A tempo in its shortest form of up to 7 significant digits (145.5, 150, 1E+10).
std::string FormatBpm(float bpm);
StatusReadout BuildStatusReadout(const ChartModel& model, const EngineState& engine);

}  // namespace jov
