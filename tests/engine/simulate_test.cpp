// Jumping over idle passes changes nothing in what simulate prints, on every chart
// of the test corpus and, in the Extended reading (stops hold the position, tempos need
// not be whole numbers), on the charts with its constructs.
#include "engine/simulate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace jov::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const fs::path& chart, int64_t sleep, bool jump, bool extended) {
    SimulateOptions o;
    o.reading = extended ? jov::ReadingMode::Extended : jov::ReadingMode::Classic;
    o.sleepMs = sleep;
    o.jumpIdlePasses = jump;
    // Every pass of the longest charts would take minutes: those are compared over
    // their first million passes (which a cut run ends with its own last line).
    o.maxPasses = 1000000;
    std::vector<std::string> lines;
    Simulate(chart.string(), o, [&](int64_t, const std::string& l) { lines.push_back(l); });
    return lines;
}

TEST(SimulateTest, JumpingIdlePassesPrintsExactlyWhatEveryPassPrints) {
    const fs::path data(JOV01_TEST_DATA);
    struct Run {
        fs::path chart;
        int64_t sleep;
        bool extended;
    };
    std::vector<Run> runs;
    for (const auto& entry : fs::directory_iterator(data / "charts"))
        if (entry.path().extension() == ".bms" || entry.path().extension() == ".bme")
            runs.insert(runs.end(), {{entry.path(), 1, false}, {entry.path(), 10, false}});
    EXPECT_GT(runs.size(), 80u);
    for (const char* chart : {"engine/extended_map.bme", "extended/constructs.bme", "extended/nobpm.bms",
                              "charts/_DPAG.bms", "charts/nc_mx.bme", "charts/L9^.bme", "charts/testHasGimmick_HasStop.bms"})
        runs.push_back({data / chart, 1, true});
    for (const Run& r : runs) {
        SCOPED_TRACE(r.chart.filename().string() + " sleep " + std::to_string(r.sleep));
        EXPECT_EQ(Lines(r.chart, r.sleep, true, r.extended), Lines(r.chart, r.sleep, false, r.extended));
    }
}

}  // namespace
}  // namespace jov::test
