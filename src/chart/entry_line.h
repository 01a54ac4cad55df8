#pragma once
// The playlist's line for one entry: artist, " - ", title, a tab, m:ss.
#include <string>

#include "chart/chart_model.h"

namespace jov {

// Minutes truncated, no leading zeros; seconds (PlayTime / 1000 truncated) mod 60 with two
// digits. A negative field keeps its minus sign ahead of its digits: -65432 gives "-1:-05".
std::string FormatEntryLine(const ChartInfo& entry);

}  // namespace jov
