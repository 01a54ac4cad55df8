// Jumping over idle passes changes nothing in what simulate prints, on every chart
// of the test corpus.
#include "engine/simulate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace jov::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const fs::path& chart, int64_t sleep, bool jump, int64_t maxPasses,
                               bool extended = false) {
    SimulateOptions o;
    o.extended = extended;
    o.sleepMs = sleep;
    o.jumpIdlePasses = jump;
    o.maxPasses = maxPasses;
    std::vector<std::string> lines;
    Simulate(chart.string(), o, [&](int64_t, const std::string& l) { lines.push_back(l); });
    return lines;
}

TEST(SimulateTest, JumpingIdlePassesPrintsExactlyWhatEveryPassPrints) {
    // Every pass of the longest charts would take minutes: those are compared over
    // their first million passes (which a cut run ends with its own last line).
    constexpr int64_t kBudget = 1000000;
    int charts = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(JOV01_TEST_DATA) / "charts")) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".bms" && ext != ".bme") continue;
        ++charts;
        for (int64_t sleep : {1, 10}) {
            SCOPED_TRACE(entry.path().filename().string() + " sleep " + std::to_string(sleep));
            const auto every = Lines(entry.path(), sleep, false, kBudget);
            const auto jumped = Lines(entry.path(), sleep, true, kBudget);
            ASSERT_EQ(jumped.size(), every.size());
            for (size_t i = 0; i < every.size(); ++i) ASSERT_EQ(jumped[i], every[i]) << "line " << i;
        }
    }
    EXPECT_GT(charts, 40);
}

// The same in the Extended reading, where stops hold the position and tempos need not
// be whole numbers.
TEST(SimulateTest, JumpingIdlePassesInTheExtendedReading) {
    const fs::path data(JOV01_TEST_DATA);
    for (const fs::path chart : {data / "engine/extended_map.bme", data / "extended/constructs.bme",
                                 data / "extended/nobpm.bms", data / "charts/_DPAG.bms", data / "charts/nc_mx.bme",
                                 data / "charts/L9^.bme", data / "charts/testHasGimmick_HasStop.bms"}) {
        SCOPED_TRACE(chart.filename().string());
        const auto every = Lines(chart, 1, false, 1000000, true);
        const auto jumped = Lines(chart, 1, true, 1000000, true);
        ASSERT_EQ(jumped.size(), every.size());
        for (size_t i = 0; i < every.size(); ++i) ASSERT_EQ(jumped[i], every[i]) << "line " << i;
    }
}

}  // namespace
}  // namespace jov::test
