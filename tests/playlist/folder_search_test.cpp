#include "playlist/folder_search.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "../test_util.h"
#include "playlist/playlist.h"
#include "shell/status.h"

namespace fs = std::filesystem;
using namespace jov;

namespace {

class FolderSearchTest : public ::testing::Test {
protected:
    void SetUp() override { search.onCaption = [this](const std::string& c) { captions.push_back(c); }; }
    void Touch(const std::string& rel, const std::string& text = "#TITLE x\r\n") { tmp.Write(rel, text); }
    std::vector<std::string> Relative() const {
        std::vector<std::string> out;
        for (const auto& r : search.SearchResults) out.push_back(r.substr(root.size()));
        return out;
    }

    jovtest::TempDir tmp;
    const fs::path& dir = tmp.Path();
    const std::string root = dir.string() + "/";
    FolderSearch search;
    std::vector<std::string> captions;
};

TEST_F(FolderSearchTest, OwnFilesFirstBmsBeforeBmeSortedWithoutCase) {
    for (const char* f : {"b.bme", "B.BMS", "a.bms", "A.bms", "c.BmS", "notes.txt", "x.bmsx", ".dot.bms",
                          "x/c.bms", "Y/d.bme", "y2/e.bms", ".hidden/h.bms", "x/deep/f.bms", "_u.bms"}) {
        Touch(f);
    }
    fs::create_directories(dir / "folder.bms");  // a folder matching the pattern is not a file
    search.SearchFolder(dir.string(), "*.bms;*.bme");  // the next test names it with a "/"
    // Letters compare as upper case, so "_" (0x5F) sorts after every letter.
    EXPECT_EQ(Relative(), (std::vector<std::string>{".dot.bms", "A.bms", "a.bms", "B.BMS", "c.BmS", "_u.bms",
                                                    "b.bme", "x/c.bms", "x/deep/f.bms", "Y/d.bme", "y2/e.bms"}));
    EXPECT_EQ(search.SearchCount, 11);
    EXPECT_EQ(captions.front(), "Seaching 7... " + root);
    EXPECT_EQ(captions.back(), "Seaching 11... " + root + "y2/");
}

TEST_F(FolderSearchTest, LinkLoopsVanishedAndUnreadableFolders) {
    for (const char* f : {"a/one.bms", "a/b/two.bms", "gone/three.bms", "z/four.bme"}) Touch(f);
    fs::create_directory_symlink("..", dir / "a/b/up");       // a loop back to the top
    fs::create_directory_symlink(dir / "a", dir / "a/b/again");  // and to an ancestor
    fs::create_symlink(dir / "nowhere.bms", dir / "z/dangling.bms");
    search.beforeFolder = [this](const std::string& folder) {
        if (folder == root + "gone/") fs::remove_all(dir / "gone");
    };
    search.SearchFolder(root, "*.bms;*.bme");
    EXPECT_EQ(Relative(), (std::vector<std::string>{"a/one.bms", "a/b/two.bms", "z/four.bme"}));

    // A folder the search may not read is skipped. Permission bits do not stop root, so
    // this part only runs for other users.
    if (::geteuid() != 0) {
        Touch("locked/x.bms");
        fs::permissions(dir / "locked", fs::perms::none);
        search.Reset();
        search.beforeFolder = nullptr;
        search.SearchFolder(root, "*.bms");
        EXPECT_EQ(search.SearchCount, 2);
        fs::permissions(dir / "locked", fs::perms::owner_all);  // so that it can be removed
    }

    // A path that is not a folder finds nothing, leaving the caption untouched.
    search.Reset();
    captions.clear();
    search.SearchFolder(root + "no/such/folder", "*.bms");
    EXPECT_EQ(search.SearchCount, 0);
    EXPECT_TRUE(captions.empty());
    // An empty folder shows a count of 0.
    fs::create_directories(dir / "empty");
    search.SearchFolder(root + "empty", "*.bms;*.bme");
    EXPECT_EQ(captions, (std::vector<std::string>{"Seaching 0... " + root + "empty/"}));
}

TEST_F(FolderSearchTest, PathsTooLongToOpenAreNamedOnTheStatusLine) {
    // Folders built by descriptor, deeper than any path can name; one chart within reach.
    Touch("deep/near.bms");
    int fd = ::open((dir / "deep").c_str(), O_RDONLY | O_DIRECTORY);
    const std::string level(200, 'd');
    std::string path = root + "deep/";
    while (path.size() < PATH_MAX) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0700), 0);
        int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        path += level + "/";
    }
    ::close(::openat(fd, "lost.bms", O_WRONLY | O_CREAT, 0600));
    ::close(fd);

    Shell shell;
    PlayList list(shell);
    AddDroppedItems({root + "deep"}, list, search);
    EXPECT_EQ(list.PlayListCount(), 1);
    EXPECT_EQ(shell.LastStatus(), "Err[not exist] :lost.bms");
    EXPECT_TRUE(search.TooLongResults.empty());  // reset after the drop
    // Nothing but rm can remove what no path names.
    EXPECT_EQ(std::system(("rm -rf '" + root + "deep'").c_str()), 0);
}

}  // namespace
