#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

using namespace jov::tooltest;

std::vector<std::string> CorpusCharts() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(std::string(JOV01_TEST_DATA) + "/charts")) {
        auto ext = e.path().extension().string();
        if (ext == ".bms" || ext == ".bme") out.push_back(e.path().string());
    }
    return out;
}

TEST(ChartTool, ScanAndParseEveryCorpusChart) {
    auto charts = CorpusCharts();
    ASSERT_GE(charts.size(), 50u);
    std::vector<std::string> args = {"scan"};
    args.insert(args.end(), charts.begin(), charts.end());
    ToolRun scan = Tool(args);
    EXPECT_EQ(scan.code, 0);
    size_t lines = 0;
    for (size_t p = 0; (p = scan.out.find("{\"Title\":", p)) != std::string::npos; ++p) ++lines;
    EXPECT_EQ(lines, charts.size());
    for (const auto& c : charts) {
        ToolRun parse = Tool({"parse", c});
        EXPECT_EQ(parse.code, 0) << c;
        EXPECT_EQ(parse.out.rfind("{\"Chart\":{\"Title\":", 0), 0u) << c;
        EXPECT_EQ(parse.out.back(), '\n') << c;
    }
}

TEST(ChartTool, ExactOutputOfASmallChart) {
    fs::path dir = fs::temp_directory_path() / ("jov01_tool_chart_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string path = (dir / "c.bms").string();
    std::ofstream(path, std::ios::binary)
        << "#TITLE T\"1\n#ARTIST A\n#BPM 120\n#WAV0a k.wav\n#00102:0.75\n#00111:0a00\n#00103:F0\n";
    ToolRun scan = Tool({"scan", path});
    EXPECT_EQ(scan.code, 0);
    EXPECT_EQ(scan.out,
              std::string("{\"Title\":\"T\\\"1\",\"Artist\":\"A\",\"Genre\":\"\",\"Bpm\":120,\"Player\":0,\"PlayLevel\":0,"
              "\"MidiFile\":\"\",\"Rank\":0,\"VolWav\":0,\"Total\":0,\"PlayTime\":3750,\"StageFile\":\"\","
              "\"WavCount\":1,\"BmpCount\":0,\"FilePath\":\"") + path + "\",\"Line\":\"A - T\\\"1\\u00090:03\"}\n");
    ToolRun parse = Tool({"parse", path});
    EXPECT_EQ(parse.code, 0);
    const std::string folder = dir.string() + "/";
    EXPECT_EQ(parse.out,
              std::string("{\"Chart\":{\"Title\":\"T\\\"1\",\"Artist\":\"A\",\"Genre\":\"\",\"Bpm\":120,\"Player\":0,"
              "\"PlayLevel\":0,\"MidiFile\":\"\",\"Rank\":0,\"VolWav\":0,\"Total\":0,\"PlayTime\":3750,"
              "\"StageFile\":\"\",\"WavCount\":0,\"BmpCount\":0,\"FilePath\":\"") + path + "\"},"
              "\"NowPlaying\":\"[] T\\\"1 / A\",\"MaxMeasure\":3,\"EventCount\":6,\"PlayTime\":3750,\"LastTick\":528,"
              "\"Events\":[[0,0,0,-1,0],[1,192,0,-1,0],[1,192,0,11,10],[1,192,0,3,240],[2,336,0,-1,0],[3,528,0,-1,0]],"
              "\"MeasureLength\":[1,0.75,1,1],\"WavFile\":{\"0A\":\"" + folder + "k.wav\"}}\n");
    fs::remove_all(dir);
}

TEST(ChartTool, UnreadablePathsAndBadArguments) {
    ToolRun scan = Tool({"scan", "/nonexistent/x.bms", std::string(JOV01_TEST_DATA) + "/charts/5k.bms"});
    EXPECT_EQ(scan.code, 1);
    EXPECT_EQ(scan.out.rfind("{\"Title\":\"\",\"Artist\":\"\",\"Genre\":\"\",\"Bpm\":0,", 0), 0u);
    EXPECT_NE(scan.out.find("\"FilePath\":\"\",\"Line\":\" - \\u00090:00\"}\n{"), std::string::npos);
    ToolRun parse = Tool({"parse", "/nonexistent/x.bms"});
    EXPECT_EQ(parse.code, 1);
    EXPECT_EQ(parse.out, "");
    EXPECT_EQ(Tool({"parse", JOV01_TEST_DATA}).code, 1);
    EXPECT_EQ(Tool({"scan"}).code, 2);
    EXPECT_EQ(Tool({"parse"}).code, 2);
}

}  // namespace
