#include "shell/status.h"

#include <gtest/gtest.h>

#include "../test_util.h"
#include <vector>

namespace jov {
namespace {

struct Recorder : StatusSink {
    std::vector<std::string> captions, statuses;
    void OnCaption(const std::string& c) override { captions.push_back(c); }
    void OnStatus(const std::string& s) override { statuses.push_back(s); }
};

TEST(Shell, MissingFilesAndTexts) {
    Recorder rec;
    Shell shell(&rec);
    jovtest::TempDir dir;
    EXPECT_TRUE(shell.FileExists(dir.Write("a.bms", "#TITLE x\r\n")));
    EXPECT_TRUE(rec.statuses.empty());
    EXPECT_FALSE(shell.FileExists(dir / "missing.bms"));
    dir.Write("sub/x", "");
    EXPECT_FALSE(shell.FileExists(dir / "sub"));  // a folder is not a readable file
    EXPECT_FALSE(shell.FileExists(""));
    EXPECT_EQ(rec.statuses, (std::vector<std::string>{"Err[not exist] :missing.bms", "Err[not exist] :sub", "Err[not exist] :"}));

    shell.SetCaption("loading...");
    shell.SetCaption("");
    EXPECT_EQ(rec.captions, (std::vector<std::string>{"loading... - jov:01", " - jov:01"}));
    shell.SetStatus("");
    EXPECT_EQ(shell.LastStatus(), "Ready.");
}

}  // namespace
}  // namespace jov
