#include "playlist/loudness_match.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "../test_util.h"
#include "engine/loudness.h"

namespace jov {
namespace {

namespace fs = std::filesystem;

// Charts start at the last chart's gain until measured, then at their own; each chart is
// measured once, and what was measured is known to the next run through the cache file,
// until the chart's file changes.
TEST(LoudnessMatch, MeasuresInTheBackgroundOnceAndRemembers) {
    jovtest::TempDir dir;
    const fs::path data = fs::path(JOV01_TEST_DATA) / "engine";
    for (const char* f : {"forty_loud.bms", "loud.wav", "forty_quiet.bms", "quiet.wav"}) fs::copy_file(data / f, dir.Path() / f);
    const std::string loud = dir / "forty_loud.bms", quiet = dir / "forty_quiet.bms", cache = dir / "loudness.cache";
    std::atomic<int> measured{0};
    auto measure = [&](const std::string& path, ReadingMode reading, const std::function<bool()>& cancel) {
        ++measured;
        RenderOptions o;
        o.reading = reading;
        o.cancel = cancel;
        return MeasureLoudness(path, o);
    };
    double loudGain = 0;
    {
        LoudnessMatch match(cache, measure);
        EXPECT_EQ(match.GainForStart(loud, ReadingMode::Classic), 0.0);  // nothing known yet
        match.WaitIdle();
        ASSERT_TRUE(match.Known(loud, ReadingMode::Classic));
        EXPECT_FALSE(match.Known(loud, ReadingMode::Extended));  // another reading is another result
        loudGain = match.GainForStart(loud, ReadingMode::Classic);
        EXPECT_LT(loudGain, -10.0);
        // The next chart, unknown, starts where the last one was; asked for ahead, it is ready.
        EXPECT_EQ(match.GainForStart(quiet, ReadingMode::Classic), loudGain);
        match.MeasureSoon(quiet, ReadingMode::Classic);
        match.MeasureSoon(loud, ReadingMode::Classic);
        match.WaitIdle();
        EXPECT_EQ(measured, 2);
        EXPECT_GT(match.GainForStart(quiet, ReadingMode::Classic), loudGain);
    }
    {
        LoudnessMatch again(cache, measure);
        again.WaitIdle();
        EXPECT_EQ(again.GainForStart(loud, ReadingMode::Classic), loudGain);
        EXPECT_EQ(measured, 2);
        // Rewritten: measured anew.
        std::ofstream(quiet, std::ios::app) << "#TITLE changed\r\n";
        EXPECT_FALSE(again.Known(quiet, ReadingMode::Classic));
        again.MeasureSoon(quiet, ReadingMode::Classic);
        again.WaitIdle();
        EXPECT_EQ(measured, 3);
    }
}

}  // namespace
}  // namespace jov
