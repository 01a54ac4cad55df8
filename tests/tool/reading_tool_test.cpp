// The tool reads by Auto unless told: every corpus chart's objects and scan are exactly
// those of the reading written down for it in tests/data/reading/corpus.txt.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tool_run.h"

namespace {

using jov::tooltest::Tool;

TEST(ReadingTool, AutoGivesEachCorpusChartItsReadingsOutput) {
    const std::string data = JOV01_TEST_DATA;
    std::ifstream list(data + "/reading/corpus.txt");
    std::string row;
    int charts = 0;
    while (std::getline(list, row)) {
        if (row.empty() || row[0] == '#') continue;
        std::istringstream fields(row);
        std::string file, reading;
        std::getline(fields, file, '\t');
        std::getline(fields, reading, '\t');
        SCOPED_TRACE(file);
        const std::string chart = data + "/charts/" + file;
        const auto byAuto = Tool({"times", chart});
        EXPECT_EQ(byAuto.code, 0);
        EXPECT_EQ(byAuto.out, Tool({"times", "--reading", reading, chart}).out);
        const auto scan = Tool({"scan", chart});
        std::string field = ",\"Reading\":\"";
        field += reading;
        field += "\"}";
        EXPECT_NE(scan.out.find(field), std::string::npos) << scan.out;
        ++charts;
    }
    EXPECT_EQ(charts, 52);
}

}  // namespace
