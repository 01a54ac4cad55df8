#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;
using namespace jov::tooltest;

std::string Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Each NAME[.seedN].(classic|extended).times beside NAME.bms/.bme holds, written out by
// hand, what `times` prints for that chart in that reading.
TEST(ExtendedTimes, HandMadeChartsInBothReadings) {
    const fs::path dir = fs::path(JOV01_TEST_DATA) / "extended";
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".times") continue;
        std::vector<std::string> parts;
        std::stringstream name(entry.path().filename().string());
        for (std::string p; std::getline(name, p, '.');) parts.push_back(p);
        ASSERT_GE(parts.size(), 3u) << entry.path();
        fs::path chart = dir / (parts[0] + ".bms");
        if (!fs::exists(chart)) chart = dir / (parts[0] + ".bme");
        std::vector<std::string> args = {"times", chart.string()};
        if (parts[parts.size() - 2] == "extended") args.push_back("--extended");
        if (parts.size() == 4) args.insert(args.end(), {"--seed", parts[1].substr(4)});
        ToolRun run = Tool(args);
        EXPECT_EQ(run.code, 0) << entry.path();
        EXPECT_EQ(run.out, Slurp(entry.path())) << entry.path();
        ++cases;
    }
    EXPECT_GE(cases, 8);
}

TEST(ExtendedTimes, ScanAgreesWithTheLoadedChart) {
    const std::string chart = std::string(JOV01_TEST_DATA) + "/extended/constructs.bme";
    const std::string noTempo = std::string(JOV01_TEST_DATA) + "/extended/nobpm.bms";
    // No #BPM: no playing time in the classic reading; 130 BPM in the Extended one, bar
    // lines up to measure 4 (768 ticks).
    EXPECT_NE(Tool({"scan", noTempo}).out.find("\"Bpm\":0,"), std::string::npos);
    EXPECT_NE(Tool({"scan", noTempo, "--extended"}).out.find("\"Bpm\":130,"), std::string::npos);
    EXPECT_NE(Tool({"scan", noTempo, "--extended"}).out.find("\"PlayTime\":7385,"), std::string::npos);
    // The stop and the faster half measure (+500 - 500 ms) cancel out: 1104 ticks at 120 BPM.
    EXPECT_NE(Tool({"scan", chart, "--extended"}).out.find("\"PlayTime\":11500,"), std::string::npos);
    ToolRun parse = Tool({"parse", chart, "--extended"});
    EXPECT_NE(parse.out.find("\"PlayTime\":11500,"), std::string::npos);
    EXPECT_NE(parse.out.find("\"0G\":\"" + std::string(JOV01_TEST_DATA) + "/extended/g.wav\""), std::string::npos);
    EXPECT_EQ(Tool({"times", chart, "--seed"}).code, 2);
}

}  // namespace
