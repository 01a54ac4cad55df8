#include "shell/status.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
    auto dir = std::filesystem::temp_directory_path() / "jov01_status_test";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "a.bms") << "#TITLE x\r\n";

    EXPECT_TRUE(shell.FileExists((dir / "a.bms").string()));
    EXPECT_TRUE(rec.statuses.empty());
    EXPECT_FALSE(shell.FileExists((dir / "missing.bms").string()));
    EXPECT_FALSE(shell.FileExists(dir.string()));  // a folder is not a readable file
    EXPECT_FALSE(shell.FileExists(""));
    EXPECT_EQ(rec.statuses, (std::vector<std::string>{"Err[not exist] :missing.bms", "Err[not exist] :jov01_status_test",
                                                      "Err[not exist] :"}));
    std::filesystem::remove_all(dir);

    shell.SetCaption("loading...");
    shell.SetCaption("");
    EXPECT_EQ(rec.captions, (std::vector<std::string>{"loading... - jov:01", " - jov:01"}));
    shell.SetStatus("");
    EXPECT_EQ(shell.LastStatus(), "Ready.");
}

}  // namespace
}  // namespace jov
