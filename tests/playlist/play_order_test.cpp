#include "playlist/play_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

using namespace jov;

TEST(PlayOrder, ListOrderAndSeededShuffle) {
    RandomSource rng;
    std::vector<int32_t> table;
    makeplaytable(table, 3, false, rng);
    EXPECT_EQ(table, (std::vector<int32_t>{0, 1, 2, 3}));
    makeplaytable(table, 0, true, rng);
    EXPECT_EQ(table, (std::vector<int32_t>{0}));
    makeplaytable(table, -4, true, rng);
    EXPECT_EQ(table, (std::vector<int32_t>{0}));

    makeplaytable(table, 1, true, rng);  // one entry: j is always 1
    EXPECT_EQ(table, (std::vector<int32_t>{0, 1}));

    // Two entries: position 2 is picked exactly when r >= 0.5 (1.5 rounds to the even 2).
    RandomSource a, b;
    for (int round = 0; round < 50; ++round) {
        std::vector<int32_t> expected{0, 1, 2};
        for (int i = 1; i <= 2; ++i) {
            const int j = b.Next() >= 0.5 ? 2 : 1;
            std::swap(expected[i], expected[j]);
        }
        makeplaytable(table, 2, true, a);
        EXPECT_EQ(table, expected);
    }

    // The generator is the fixed-seed Mersenne twister: its first output (seed 1) is 1791095845.
    EXPECT_EQ(RandomSource().Next(), 1791095845.0 / 4294967296.0);

    // Every run gives the same shuffles; each is a permutation with element 0 left at 0.
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
}
