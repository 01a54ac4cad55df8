// jov01-tool list: reading a list file and building one from dropped paths.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "chart/header_scan.h"
#include "playlist/list_file.h"
#include "shell/json.h"
#include "shell/status.h"
#include "playlist/playlist.h"
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

TEST_F(ListToolTest, ShiftJisNamesSurviveARestartAndPrintAsUtf8) {
    // What unzip makes of a Japanese archive: a name in code page 932 bytes.
    const std::string chart = (dir / "songs").string() + "/\x83\x65\x83\x58\x83\x67.bms";
    fs::copy_file(charts + "bpm.bms", chart);
    const std::string out = (dir / "saved.rxl").string();
    ASSERT_EQ(ListTool({"--write", out, (dir / "songs").string()}).code, 0);

    Shell shell;  // as after a restart
    PlayList list(shell);
    ASSERT_TRUE(list.LoadPlayList(out, true));
    ASSERT_EQ(list.PlayListCount(), 1);
    EXPECT_EQ(list.PlayListEntries()[1].FilePath, chart);
    EXPECT_TRUE(shell.FileExists(list.PlayListEntries()[1].FilePath));

    ToolRun r = ListTool({out});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("/songs/\u30c6\u30b9\u30c8.bms\""), std::string::npos) << r.out;
    EXPECT_EQ(JsonWriter::Escape("a\x83\xff\xc3\xa9"), "\"a\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9\"");
}

TEST_F(ListToolTest, SpecialFilesAndExhaustedMemoryGiveAnError) {
    const std::string fifo = (dir / "fifo.rxl").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        ToolRun r = ListTool({path});
        EXPECT_EQ(r.code, 1) << path;
        EXPECT_EQ(r.out, kEmpty);
    }
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit does not combine with the sanitizer";
#else
    // A chart bigger than memory allows: an error and exit 1, not an abort.
    const std::string big = (dir / "big.bms").string();
    { std::ofstream(big) << "#TITLE big\r\n"; }
    fs::resize_file(big, 200u << 20);
    std::string cmd = "ulimit -v 262144; exec " + Quote(JOV01_TOOL) + " scan " + Quote(big) + " >/dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
#endif
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
