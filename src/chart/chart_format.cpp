#include "chart/chart_format.h"

namespace jov {

ChartFormat FormatOf(std::string_view path) {
    constexpr std::string_view kExt = ".bmson";
    if (path.size() < kExt.size()) return ChartFormat::Bms;
    const std::string_view tail = path.substr(path.size() - kExt.size());
    for (size_t i = 0; i < kExt.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kExt[i]) return ChartFormat::Bms;
    }
    return ChartFormat::Bmson;
}

}  // namespace jov
