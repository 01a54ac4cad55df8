#include "playlist/folder_search.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "playlist/list_file.h"
#include "playlist/uri_list.h"
#include "playlist/playlist.h"
#include "shell/status.h"

namespace fs = std::filesystem;
using namespace jov;

namespace {

class FolderSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("jov01_search_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        root = dir.string() + "/";
        search.onCaption = [this](const std::string& c) { captions.push_back(c); };
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir / "locked", fs::perms::owner_all, ec);
        fs::remove_all(dir);
    }
    void Touch(const std::string& rel, const std::string& text = "#TITLE x\r\n") {
        fs::path p = dir / rel;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    }
    std::vector<std::string> Relative() const {
        std::vector<std::string> out;
        for (const auto& r : search.SearchResults) out.push_back(r.substr(root.size()));
        return out;
    }

    fs::path dir;
    std::string root;
    FolderSearch search;
    std::vector<std::string> captions;
};

TEST_F(FolderSearchTest, OwnFilesFirstBmsBeforeBmeSortedWithoutCase) {
    for (const char* f : {"b.bme", "B.BMS", "a.bms", "A.bms", "c.BmS", "notes.txt", "x.bmsx", ".dot.bms",
                          "x/c.bms", "Y/d.bme", "y2/e.bms", ".hidden/h.bms", "x/deep/f.bms", "_u.bms"}) {
        Touch(f);
    }
    fs::create_directories(dir / "folder.bms");  // a folder matching the pattern is not a file
    search.SearchFolder(dir.string(), "*.bms;*.bme");
    // Letters compare as upper case, so "_" (0x5F) sorts after every letter.
    EXPECT_EQ(Relative(), (std::vector<std::string>{".dot.bms", "A.bms", "a.bms", "B.BMS", "c.BmS", "_u.bms",
                                                    "b.bme", "x/c.bms", "x/deep/f.bms", "Y/d.bme", "y2/e.bms"}));
    EXPECT_EQ(search.SearchCount, 11);
    EXPECT_EQ(captions.front(), "Seaching 7... " + root);
    EXPECT_EQ(captions.back(), "Seaching 11... " + root + "y2/");

    // With or without the trailing "/": the same paths.
    std::vector<std::string> first = search.SearchResults;
    search.Reset();
    search.SearchFolder(root, "*.bms;*.bme");
    EXPECT_EQ(search.SearchResults, first);

    // SearchFiles: only the folder itself, the count running on.
    search.SearchFiles(root + "x", "*.BMS");
    EXPECT_EQ(search.SearchCount, 12);
    EXPECT_EQ(search.SearchResults.back(), root + "x/c.bms");
    EXPECT_EQ(captions.back(), "Seaching 12... " + root + "x/");
}

TEST_F(FolderSearchTest, LinkLoopsVanishedAndUnreadableFolders) {
    Touch("a/one.bms");
    Touch("a/b/two.bms");
    Touch("gone/three.bms");
    Touch("z/four.bme");
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

TEST_F(FolderSearchTest, PatternMatching) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"*.bms", "song.BMS", true}, {"*.bms", ".bms", true},     {"*.bms", "song.bms.txt", false},
        {"*.bms", "song.bm", false}, {"*.*", "a.b.c", true},      {"a?c*", "abcdef", true},
        {"*a*a*a*b", "aaaaaaaaaaaaaaab", true}, {"*a*a*a*b", "aaaaaaaaaaaaaaaa", false}, {"", "x", false}};
    for (auto [pattern, name, match] : cases) EXPECT_EQ(MatchPattern(pattern, name), match) << pattern << " " << name;
}

struct CaptionView : PlayListView {
    std::vector<std::string> captions;
    void OnLineAdded(const std::string&) override {}
    void OnLineRemoved(int) override {}
    void OnLinesCleared() override {}
    void OnCaptionSet(const std::string& c) override { captions.push_back(c); }
};

TEST_F(FolderSearchTest, DroppedItems) {
    Shell shell;
    PlayList list(shell);
    CaptionView view;
    list.SetView(&view);
    Touch("songs/a.bms", "#ARTIST A\r\n#TITLE a\r\n");
    Touch("songs/b.bme", "#ARTIST B\r\n#TITLE b\r\n");
    Touch("songs/x/c.bms", "#ARTIST C\r\n#TITLE c\r\n");
    Touch("single.txt", "#TITLE any file\r\n");

    std::vector<ChartInfo> saved(2);
    saved[1].Title = "from list";
    Touch("saved.RXL", EncodeListFile(saved, 1));

    // A folder (no trailing "/"), a file of any kind, a missing path, a list file not first.
    AddDroppedItems({root + "songs", root + "single.txt", root + "missing", root + "saved.RXL"}, list, search);
    ASSERT_EQ(list.PlayListCount(), 5);
    EXPECT_EQ(std::vector(list.Lines().begin(), list.Lines().begin() + 3),
              (std::vector<std::string>{"A - a\t0:00", "B - b\t0:00", "C - c\t0:00"}));
    EXPECT_EQ(list.PlayListEntries()[3].FilePath, root + "songs/x/c.bms");
    EXPECT_EQ(list.PlayListEntries()[4].Title, "any file");
    EXPECT_EQ(list.PlayListEntries()[5].FilePath, root + "saved.RXL");  // scanned like a chart
    EXPECT_TRUE(search.SearchResults.empty());
    EXPECT_EQ(search.SearchCount, 0);
    // The search's progress reaches the window's caption as a whole text.
    EXPECT_EQ(view.captions, (std::vector<std::string>{"Seaching 2... " + root + "songs/",
                                                       "Seaching 3... " + root + "songs/x/"}));
    EXPECT_EQ(captions, view.captions);

    // A list file first replaces the list; the other items are ignored.
    AddDroppedItems({root + "saved.RXL", root + "songs"}, list, search);
    ASSERT_EQ(list.PlayListCount(), 1);
    EXPECT_EQ(list.PlayListEntries()[1].Title, "from list");
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

TEST(UriList, DropTextGivesTheBytesOfLocalPaths) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"file:///a/b.bms\r\nfile:///c%20d/\r\n", {"/a/b.bms", "/c d"}},
        {"# comment\r\nfile://localhost/x%83%65.bms\r\n", {"/x\x83\x65.bms"}},  // Shift-JIS bytes kept
        {"file://otherhost/x\r\nhttp://h/y\r\nfile:/z\nfile:///q?x#y", {"/z", "/q"}},
        {"file:///bad%zz%4\r\nfile:///nul%00x\r\n  file:///t  \r\n", {"/bad%zz%4", "/t"}},
        {"", {}},
    };
    for (const auto& [text, paths] : cases) EXPECT_EQ(UriListPaths(text), paths) << text;
}

}  // namespace
