#pragma once
// The Extended reading's chart reader and header scan, on a chart's bytes.
#include <random>
#include <string>
#include <string_view>

#include "chart/chart_model.h"
#include "chart/chart_parser.h"

namespace jov {

// Fills the model completely (events already timed, in the Extended tie order); the
// timing pass then only sets the playing time.
void ParseExtendedBytes(ChartModel& model, std::string_view bytes, const std::string& folder, const ParseHooks& hooks);
// The header scan's members, with the Extended playing time.
void ScanExtendedBytes(std::string_view bytes, ChartInfo& entry, std::mt19937* random);

}  // namespace jov
