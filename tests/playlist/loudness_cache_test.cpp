#include "playlist/loudness_cache.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "chart/extended_reader.h"
#include "../test_util.h"

namespace jov {
namespace {

Loudness Reading(double i) { return Loudness{i, 3.5, -1.25, i + 2, 0.5, 0.75}; }

// Results come back for the same file in the same reading only, through a save and load,
// whatever bytes the path holds; silence's infinities survive the trip.
TEST(LoudnessCache, KeepsResultsPerFileStateAndReading) {
    LoudnessCache cache;
    const ChartStamp a{"/music/a.bms", 100, 5, "classic"};
    const ChartStamp odd{"/music/\xE4\xB8\x96 tab\there\nnew\\line.bme", 7, -3, "extended"};
    cache.Put(a, Reading(-20.5));
    cache.Put(odd, Loudness{-INFINITY, 0, -INFINITY, -INFINITY, -INFINITY, 0});
    cache.Put(ChartStamp{a.path, 100, 5, "extended"}, Reading(-9));

    LoudnessCache back;
    ASSERT_TRUE(back.Parse(cache.Serialize()));
    ASSERT_EQ(back.Size(), 3u);
    ASSERT_TRUE(back.Find(a));
    EXPECT_EQ(back.Find(a)->integrated, -20.5);
    EXPECT_EQ(back.Find(a)->limiterLoss, 0.75);
    EXPECT_EQ(back.Find(ChartStamp{a.path, 100, 5, "extended"})->integrated, -9);
    ASSERT_TRUE(back.Find(odd));
    EXPECT_TRUE(std::isinf(back.Find(odd)->integrated));
    // The file changed (size or time), or another reading: not known.
    EXPECT_FALSE(back.Find(ChartStamp{a.path, 101, 5, "classic"}));
    EXPECT_FALSE(back.Find(ChartStamp{a.path, 100, 6, "classic"}));
    EXPECT_FALSE(back.Find(ChartStamp{a.path, 100, 5, "auto"}));

    ChartReading reading;
    EXPECT_EQ(ReadingId(reading), "auto");
    reading.mode = ReadingMode::Extended;
    EXPECT_EQ(ReadingId(reading), "extended");
}

// A cache from elsewhere, cut short or with any damaged line is dropped whole.
TEST(LoudnessCache, AForeignOrDamagedFileIsIgnoredWhole) {
    LoudnessCache cache;
    cache.Put(ChartStamp{"/a.bms", 1, 2, "classic"}, Reading(-18));
    cache.Put(ChartStamp{"/b.bms", 3, 4, "classic"}, Reading(-12));
    const std::string good = cache.Serialize();
    const std::string firstLineEnd = good.substr(0, good.find('\n', good.find('\n') + 1) + 1);
    for (const std::string& bad : {std::string(), std::string("[Settings]\nEvenLoudness=1\n"), "x" + good,
                                   good.substr(0, good.size() - 1), firstLineEnd + "classic\t1\t2\tloud\t0\t0\t0\t0\t0\t/c\n",
                                   firstLineEnd + "classic\t1\t2\t0\t0\t0\t0\t0\t0\t/bad\\escape\n", firstLineEnd + "classic\t1\n"}) {
        LoudnessCache c;
        c.Put(ChartStamp{"/old.bms", 1, 1, "classic"}, Reading(-1));
        EXPECT_FALSE(c.Parse(bad)) << bad;
        EXPECT_EQ(c.Size(), 0u) << bad;
    }
    // On disk: saved whole, read back; a missing file is an empty cache.
    jovtest::TempDir dir;
    ASSERT_TRUE(cache.Save(dir / "loudness.cache"));
    LoudnessCache disk;
    EXPECT_TRUE(disk.Load(dir / "loudness.cache"));
    EXPECT_EQ(disk.Size(), 2u);
    EXPECT_FALSE(disk.Load(dir / "none.cache"));
    EXPECT_EQ(disk.Size(), 0u);
}

}  // namespace
}  // namespace jov
