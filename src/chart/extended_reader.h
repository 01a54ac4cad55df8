#pragma once
// The Extended reading of a chart: everything the classic reader reads, plus base-36
// key sounds, #BPMxx/channel 08 tempos, #STOPxx/channel 09 stops, long-note channels
// and #LNOBJ, #RANDOM blocks, exact (fractional) positions and the 130 BPM default.
// It fills the same chart model, with the extra data in ChartModel::Extended.
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart_model.h"
#include "chart/chart_text.h"
#include "chart/reading.h"

namespace jov {

constexpr double kDefaultBpm = 130.0;

// Base-36 number of a two-character code ("00" .. "ZZ", either case); -1 when a
// character is not a base-36 digit.
int32_t Base36(std::u32string_view code);

// One object of a channel line, as written: pair k of n in its measure.
struct RawObject {
    int32_t measure = 0;
    int32_t channel = 0;
    int32_t value = 0;
    uint32_t k = 0;
    uint32_t n = 1;
};

// What a walk of the chart's lines gathers, #RANDOM branches already chosen.
struct ExtendedWalk {
    std::vector<RawObject> objects;
    std::vector<double> lengths;    // per measure 0..999; not positive: standard length
    std::vector<double> bpmDefs;    // #BPMxx by slot, 0 when undefined
    std::vector<double> stopDefs;   // #STOPxx by slot in ticks, -1 when undefined
    int32_t lnObj = -1;
    int32_t maxMeasure = 0;
};

// Walks the chart's lines. Header lines the walk does not handle itself (everything but
// #BPMxx, #STOPxx, #LNOBJ and the #RANDOM family) go to `header`, with #WAVxx given its
// base-36 slot in `wavSlot` (-1 for other lines). With `timingOnly` only the objects
// that move time are kept (channels 03, 08, 09); every channel line still counts for
// the highest measure.
void WalkExtended(std::string_view bytes, std::mt19937* random, bool timingOnly, ExtendedWalk& walk,
                  const std::function<void(std::u32string_view line, HeaderCommand cmd, int32_t wavSlot)>& header);

// Bar lines, exact positions, tie order, long notes, tempo and stop values: the
// walk turned into the model's events (with ExactTick and Amount), MeasureLength,
// MaxMeasure and LastTick. `startBpm` is the chart's #BPM (not positive: 130).
void BuildExtendedEvents(ExtendedWalk& walk, ChartModel& model);

}  // namespace jov
