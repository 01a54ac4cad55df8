// jov01-tool list where a case file cannot say it: names in code page 932 bytes and
// exhausted memory. The ordinary outputs are tool cases (tests/data/cases/list); readers
// given a FIFO are checked in tests/shell/file_read_test.cpp.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "../test_util.h"
#include "playlist/playlist.h"
#include "shell/json.h"
#include "shell/status.h"
#include "tool_run.h"

using namespace jov;
using namespace jov::tooltest;

namespace {

TEST(ListTool, ShiftJisNamesSurviveARestartAndPrintAsUtf8) {
    // What unzip makes of a Japanese archive: a name in code page 932 bytes.
    jovtest::TempDir dir;
    const std::string chart = dir.Write("songs/\x83\x65\x83\x58\x83\x67.bms", jovtest::Slurp(std::string(JOV01_TEST_DATA) + "/charts/bpm.bms"));
    const std::string out = dir / "saved.rxl";
    ASSERT_EQ(Tool({"list", "--write", out, dir / "songs"}).code, 0);

    Shell shell;  // as after a restart
    PlayList list(shell);
    ASSERT_TRUE(list.LoadPlayList(out, true));
    ASSERT_EQ(list.PlayListCount(), 1);
    EXPECT_EQ(list.PlayListEntries()[1].FilePath, chart);
    EXPECT_TRUE(shell.FileExists(list.PlayListEntries()[1].FilePath));

    ToolRun r = Tool({"list", out});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("/songs/\u30c6\u30b9\u30c8.bms\""), std::string::npos) << r.out;
    EXPECT_EQ(JsonWriter::Escape("a\x83\xff\xc3\xa9"), "\"a\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9\"");
}

TEST(ListTool, ExhaustedMemoryGivesAnError) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address space limit does not combine with the sanitizer";
#else
    // A chart bigger than memory allows: an error and exit 1, not an abort.
    jovtest::TempDir dir;
    const std::string big = dir.Write("big.bms", "#TITLE big\r\n");
    std::filesystem::resize_file(big, 200u << 20);
    std::string cmd = "ulimit -v 131072; exec " + Quote(JOV01_TOOL) + " scan " + Quote(big) + " >/dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
#endif
}

}  // namespace
