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
    EXPECT_EQ(RandomSource().Next(), 1791095845.0 / 4294967296.0);  // the Mersenne twister's first output, seed 1
}
