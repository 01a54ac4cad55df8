#pragma once
// bmson charts into the Extended reading's model: exact positions (tick = pulse × 48 /
// resolution), tempo changes, stops as flat pieces of the clock line, bar lines from
// "lines" (else every four quarter notes), one key-sound slot per sound channel (slot
// n is channel n, counted from 1 in file order), every note of every lane sounding.
#include <string>
#include <string_view>

#include "chart/chart_model.h"
#include "chart/chart_parser.h"

namespace jov {

// False, leaving the model as it was, when the bytes are not a readable bmson chart.
bool ParseBmsonBytes(ChartModel& model, std::string_view bytes, const std::string& folder, const ParseHooks& hooks);
// The header scan's members; false (entry unchanged) when the bytes are not readable.
bool ScanBmsonBytes(std::string_view bytes, ChartInfo& entry);

}  // namespace jov
