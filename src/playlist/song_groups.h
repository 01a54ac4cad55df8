#pragma once
// Songs in a list and the order a sort gives it. A song is the set of charts in one
// folder that share a title once a trailing difficulty mark ("[ANOTHER]", "(HYPER)",
// "-NORMAL-", full-width brackets too) is set aside; a song package holds one song
// in one folder, a folder of several titles holds several songs.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart_model.h"

namespace jov {

// The title without its trailing difficulty marks and blanks ("Song [SPA] (7KEYS)" is
// "Song"); a title that is all mark stays as it is.
std::string SongTitle(std::string_view title);

// For entries 1..count (element 0 unused): true for the one chart of each song the
// jukebox plays, the one with the most sounding objects (-1: not known), ties to the
// first listed. An entry without a file is a song of its own.
std::vector<bool> ChosenCharts(const std::vector<ChartInfo>& entries, const std::vector<int32_t>& sounding);

enum class SortKey { Artist, Title, Folder, PlayTime, Level };

// Entries 1..count in the order of `key`, a stable sort (equal keys keep their order).
// Texts compare by bytes with ASCII letters folded; Folder is the file's folder.
std::vector<int32_t> SortedOrder(const std::vector<ChartInfo>& entries, SortKey key);

}  // namespace jov
