#include "chart/entry_line.h"

#include <cstdlib>

namespace jov {

std::string FormatEntryLine(const ChartInfo& entry) {
    int32_t minutes = entry.PlayTime / 60000;
    int32_t seconds = (entry.PlayTime / 1000) % 60;
    std::string line = entry.Artist;
    line += " - ";
    line += entry.Title;
    line += '\t';
    line += std::to_string(minutes);
    line += ':';
    if (seconds < 0) line += '-';
    int32_t s = std::abs(seconds);
    if (s < 10) line += '0';
    line += std::to_string(s);
    return line;
}

}  // namespace jov
