#include "playlist/play_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

using namespace jov;

TEST(PlayOrder, ListOrderAndARepeatableShuffleOfEveryEntry) {
    RandomSource rng;
    std::vector<int32_t> table;
    makeplaytable(table, 3, false, rng);
    EXPECT_EQ(table, (std::vector<int32_t>{0, 1, 2, 3}));
    for (int32_t n : {0, -4}) {
        makeplaytable(table, n, true, rng);
        EXPECT_EQ(table, (std::vector<int32_t>{0}));
    }
    // The fixed-seed generator: every run gives the same shuffles, each a permutation
    // with element 0 left at 0.
    RandomSource run1, run2;
    for (int round = 0; round < 20; ++round) {
        std::vector<int32_t> t1, t2;
        makeplaytable(t1, 97, true, run1);
        makeplaytable(t2, 97, true, run2);
        EXPECT_EQ(t1, t2);
        EXPECT_EQ(t1[0], 0);
        std::vector<int32_t> sorted(t1.begin() + 1, t1.end()), ids(97);
        std::sort(sorted.begin(), sorted.end());
        std::iota(ids.begin(), ids.end(), 1);
        EXPECT_EQ(sorted, ids);
    }
    // From a fresh source (the Mersenne twister, seed 1, first output 1791095845): position j
    // is r * (count - 1) + 1 rounded half to even, worked out apart from this program.
    RandomSource fresh;
    for (const std::vector<int32_t>& want : {std::vector<int32_t>{0, 1, 4, 5, 2, 3, 6}, {0, 5, 4, 2, 1, 3, 6}, {0, 2, 1}, {0, 1, 2}}) {
        makeplaytable(table, int32_t(want.size()) - 1, true, fresh);
        EXPECT_EQ(table, want);
    }
}
