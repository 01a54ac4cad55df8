#pragma once
// Which reader a chart file goes to. The one place that looks at a chart's format:
// the header scan, the loader and the tool all ask here.
#include <string_view>

namespace jov {

enum class ChartFormat { Bms, Bmson };

// By the file name's extension (any case); everything else is read as BMS text.
ChartFormat FormatOf(std::string_view path);

}  // namespace jov
