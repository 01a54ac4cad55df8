#include "playlist/play_order.h"

#include <gtest/gtest.h>

using namespace jov;

// That every run shuffles alike is checked by the jukebox tests.
TEST(PlayOrder, ListOrderAndTheFixedSeedShuffle) {
    RandomSource rng;
    std::vector<int32_t> table;
    makeplaytable(table, 3, false, rng);
    EXPECT_EQ(table, (std::vector<int32_t>{0, 1, 2, 3}));
    for (int32_t n : {0, -4}) {
        makeplaytable(table, n, true, rng);
        EXPECT_EQ(table, (std::vector<int32_t>{0}));
    }
    // From a fresh source (the Mersenne twister, seed 1, first output 1791095845): position j
    // is r * (count - 1) + 1 rounded half to even, worked out apart from this program.
    RandomSource fresh;
    for (const std::vector<int32_t>& want : {std::vector<int32_t>{0, 1, 4, 5, 2, 3, 6}, {0, 5, 4, 2, 1, 3, 6}, {0, 2, 1}, {0, 1, 2}}) {
        makeplaytable(table, int32_t(want.size()) - 1, true, fresh);
        EXPECT_EQ(table, want);
    }
}
