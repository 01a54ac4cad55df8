// jov01-tool list: reading a list file and building one from dropped paths.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "chart/header_scan.h"
#include "playlist/list_file.h"
#include "shell/status.h"
#include "tool_run.h"

namespace fs = std::filesystem;
using namespace jov;
using namespace jov::tooltest;

namespace {

ToolRun ListTool(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"list"};
    all.insert(all.end(), args.begin(), args.end());
    return Tool(all);
}

class ListToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("jov01_listtool_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "songs/sub");
        charts = std::string(JOV01_TEST_DATA) + "/charts/";
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
    std::string charts;
};

const char kEmpty[] = "{\"PlayListCount\":0,\"Entries\":[],\"Lines\":[],\"Summary\":\"[0songs/00:00:00]\"}\n";

TEST_F(ListToolTest, WriteThenReadGivesTheSameList) {
    // A folder holding a chart of its own and one in a subfolder, then a single chart.
    fs::copy_file(charts + "bpm.bms", dir / "songs/x.bms");
    fs::copy_file(charts + "7k.bme", dir / "songs/sub/y.bme");
    const std::string single = charts + "5k_世界.bms";
    const std::string out = (dir / "out.rxl").string();
    ToolRun w = ListTool({"--write", out, (dir / "songs").string(), single});
    ASSERT_EQ(w.code, 0) << w.out;

    // The same entries through the library's own header scan.
    Shell shell;
    std::vector<ChartInfo> expected(4);
    const std::string paths[] = {(dir / "songs/x.bms").string(), (dir / "songs/sub/y.bme").string(), single};
    for (int i = 0; i < 3; ++i) ScanHeaders(paths[i], expected[i + 1], shell);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(out, bytes));
    EXPECT_EQ(bytes, EncodeListFile(expected, 3));
    EXPECT_NE(w.out.find("\"PlayListCount\":3,\"Entries\":[{\"Title\":"), std::string::npos);
    EXPECT_NE(w.out.find("\"FilePath\":\"" + paths[1] + "\"}"), std::string::npos);
    EXPECT_EQ(w.out.back(), '\n');

    ToolRun r = ListTool({out});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, w.out);

    // A list file first: that list is loaded (and saved again), the rest ignored.
    const std::string copy = (dir / "copy.rxl").string();
    ToolRun again = ListTool({"--write", copy, out, single});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out, w.out);
}

TEST_F(ListToolTest, ErrorsAndExitCodes) {
    const std::string out = (dir / "out.rxl").string();
    // Missing list file: the empty list, exit 1.
    ToolRun r = ListTool({(dir / "none.rxl").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, kEmpty);
    // Bad arguments.
    EXPECT_EQ(ListTool({}).code, 2);
    EXPECT_EQ(ListTool({"--write", out}).code, 2);
    EXPECT_EQ(ListTool({"a.rxl", "b.rxl"}).code, 2);
    // A missing path adds nothing and gives exit 1; the list (with its placeholder) is still saved.
    r = ListTool({"--write", out, (dir / "missing.bms").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, kEmpty);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(out, bytes));
    EXPECT_EQ(bytes, EncodeListFile({}, 0));
    EXPECT_EQ(bytes.size(), 72u);
    // An empty folder is no error.
    r = ListTool({"--write", out, (dir / "songs").string()});
    EXPECT_EQ(r.code, 0);
    // A damaged list file: what was read is printed, exit 1.
    std::vector<ChartInfo> entries(3);
    entries[1].Title = "kept";
    entries[1].PlayTime = 61000;
    entries[2].Title = "lost";
    std::string file = EncodeListFile(entries, 2);
    file.resize(file.size() - 3);
    std::ofstream(out, std::ios::binary) << file;
    r = ListTool({out});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out,
              "{\"PlayListCount\":1,\"Entries\":[{\"Title\":\"kept\",\"Artist\":\"\",\"Genre\":\"\",\"Bpm\":0,"
              "\"Player\":0,\"PlayLevel\":0,\"MidiFile\":\"\",\"Rank\":0,\"VolWav\":0,\"Total\":0,\"PlayTime\":61000,"
              "\"StageFile\":\"\",\"WavCount\":0,\"BmpCount\":0,\"FilePath\":\"\"}],\"Lines\":[\" - kept\\u00091:01\"],"
              "\"Summary\":\"[1songs/00:01:01]\"}\n");
}

}  // namespace
