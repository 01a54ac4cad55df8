#pragma once
// The Extended reading's chart reader and header scan, on text already prepared.
#include <random>
#include <string>
#include <string_view>

#include "chart/chart_model.h"
#include "chart/chart_parser.h"

namespace jov {

// Fills the model completely (events already timed, in the Extended tie order); the
// timing pass then only sets the playing time.
void ParseExtendedText(ChartModel& model, std::u32string_view text, const std::string& folder, const ParseHooks& hooks);
// The header scan's members, with the Extended playing time.
void ScanExtendedText(std::u32string_view text, ChartInfo& entry, std::mt19937* random);

}  // namespace jov
