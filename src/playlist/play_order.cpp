#include "playlist/play_order.h"

#include <cmath>

namespace jov {

void swap(int32_t& a, int32_t& b) {
    int32_t t = a;
    a = b;
    b = t;
}

void makeplaytable(std::vector<int32_t>& PlayTable, int32_t PlayListCount, bool random, RandomSource& rng) {
    const int32_t count = PlayListCount < 0 ? 0 : PlayListCount;
    PlayTable.assign(static_cast<std::size_t>(count) + 1, 0);
    for (int32_t i = 1; i <= count; ++i) PlayTable[static_cast<std::size_t>(i)] = i;
    if (!random) return;
    for (int32_t i = 1; i <= count; ++i) {
        const double r = rng.Next();
        // r < 1 keeps j within 1..count; nearbyint rounds a tie to the even neighbour.
        const auto j = static_cast<std::size_t>(std::nearbyint(r * (count - 1) + 1));
        swap(PlayTable[static_cast<std::size_t>(i)], PlayTable[j]);
    }
}

}  // namespace jov
