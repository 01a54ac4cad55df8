// List-file bytes and what the tool prints for them are checked by tests/data/cases/list;
// here every cut length, the messages, failed saves, text limits and the playlist's own
// bookkeeping. (A count claiming 2^31 records, tests/data/cases/list/hugecount, must not
// reserve room for them all: the tool runs out of memory if it does.)
#include "playlist/list_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "playlist/folder_search.h"
#include "playlist/playlist.h"
#include "shell/status.h"
#include "../test_util.h"

namespace fs = std::filesystem;
using namespace jov;
using jovtest::Slurp;

namespace {

struct Messages : MessageHook {
    std::vector<std::string> shown;
    void ShowMessage(MessageIcon icon, const std::string& title, const std::string& text) override {
        shown.push_back((icon == MessageIcon::Error ? "E " : icon == MessageIcon::Warning ? "W " : "? ") + title + ": " + text);
    }
};

struct RecordingView : PlayListView {
    std::vector<std::string> lines;
    void OnLineAdded(const std::string& line) override { lines.push_back(line); }
    void OnLineRemoved(int line) override { lines.erase(lines.begin() + line); }
    void OnLinesCleared() override { lines.clear(); }
    std::vector<std::string> captions;  // set as a whole
    void OnCaptionSet(const std::string& caption) override { captions.push_back(caption); }
};

class ListFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        list.SetMessageHook(&messages);
        list.SetView(&view);
    }
    std::string Write(const std::string& name, const std::string& bytes) { return tmp.Write(name, bytes); }
    // A chart at 150 BPM whose last written measure is 9: 2112 ticks, 17600 ms.
    std::string Chart(const std::string& name, const std::string& title) {
        return Write(name, "\r\n#ARTIST A\r\n#TITLE " + title + "\r\n#BPM 150\r\n#00911:01\r\n");
    }
    jovtest::TempDir tmp;
    const fs::path& dir = tmp.Path();
    Shell shell;
    PlayList list{shell};
    Messages messages;
    RecordingView view;
};

TEST_F(ListFileTest, EveryCutKeepsTheCompleteEntriesAndIsReportedOnce) {
    const std::string file = Slurp(std::string(JOV01_TEST_DATA) + "/cases/list/three.rxl");
    const std::size_t end0 = 72, end1 = 147, end2 = 222;  // the placeholder's and records' ends
    for (std::size_t len = 0; len <= file.size(); ++len) {
        ListFileContents c = ParseListFile(std::string_view(file).substr(0, len));
        EXPECT_EQ(c.ok, len == file.size()) << len;
        const std::size_t records = len == file.size() ? 4 : len >= end2 ? 3 : len >= end1 ? 2 : len >= end0 ? 1 : 0;
        EXPECT_EQ(c.entries.size(), records) << len;
        EXPECT_EQ(c.count, records == 0 ? 0 : int32_t(records) - 1) << len;
    }
    const std::string path = Write("short.rxl", file.substr(0, end2 + 5));
    EXPECT_FALSE(list.LoadPlayList(path, false));
    EXPECT_EQ(messages.shown, std::vector<std::string>{"E error: an error occured in list loading process!"});
    EXPECT_EQ(view.lines.size(), 2u);
    EXPECT_EQ(shell.Caption(), "[2songs/00:00:03] - jov:01");
    EXPECT_FALSE(list.LoadPlayList(path, true));  // silent: no message
    EXPECT_EQ(messages.shown.size(), 1u);

    // A missing file warns and keeps the list.
    const std::string missing = (dir / "none.rxl").string();
    EXPECT_FALSE(list.LoadPlayList(missing, false));
    EXPECT_EQ(messages.shown.back(), "W error: listfile " + missing + "is not exist.");
    EXPECT_EQ(list.PlayListCount(), 2);
}

TEST_F(ListFileTest, LongTextsAreCutAtACharacterAndFailedSavesLeaveTheFileWhole) {
    std::vector<ChartInfo> entries(3);
    std::string longTitle;
    for (int i = 0; i < 40000; ++i) longTitle += "\xC3\xA9";  // 80000 bytes: cut to 65534
    entries[1].Title = longTitle;
    entries[1].Artist = std::string(70000, 'a');
    ListFileContents c = ParseListFile(EncodeListFile(entries, 1));
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.entries[1].Title, longTitle.substr(0, 65534));
    EXPECT_EQ(c.entries[1].Artist.size(), 65535u);

    entries[1] = ChartInfo{};
    entries[1].Title = "one";
    entries[2].Title = "two";
    const std::string file = EncodeListFile(entries, 2), path = Write("keep.rxl", file);
    ASSERT_TRUE(list.LoadPlayList(path, true));
    list.RemovePlayListEntry(0);
    for (int after : {0, 1}) {
        list.SetSaveFailureAfterRecords(after);
        EXPECT_FALSE(list.SavePlayList(path, false));
        EXPECT_EQ(Slurp(path), file);
    }
    EXPECT_EQ(messages.shown, std::vector<std::string>(2, "E error: an error occured in list saving process!"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no temporary left
    list.SetSaveFailureAfterRecords(-1);
    EXPECT_FALSE(list.SavePlayList(dir.string(), true));  // a folder; silent
    EXPECT_EQ(messages.shown.size(), 2u);
    ASSERT_TRUE(list.SavePlayList(path, false));  // no stale bytes after the last record
    EXPECT_EQ(Slurp(path), EncodeListFile({ChartInfo{}, entries[2]}, 1));
}

TEST_F(ListFileTest, AddRemoveClearKeepLinesTotalsCaptionAndPlaceholder) {
    list.AddPlayListEntry(Chart("a.bms", "One"));
    list.AddPlayListEntry((dir / "missing.bms").string());  // still adds an empty entry
    list.AddPlayListEntry(Chart("c.bme", "Three"));
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"A - One\t0:17", " - \t0:00", "A - Three\t0:17"}));
    EXPECT_EQ(view.lines, list.Lines());
    EXPECT_EQ(shell.Caption(), "[3songs/00:00:35] - jov:01");
    list.RemovePlayListEntry(-1);  // no selection
    list.RemovePlayListEntry(3);   // no such line
    list.RemovePlayListEntry(0);
    EXPECT_EQ(view.lines, (std::vector<std::string>{" - \t0:00", "A - Three\t0:17"}));
    EXPECT_EQ(shell.Caption(), "[2songs/00:00:17] - jov:01");

    list.PlayOrderIndex = 5;
    list.ClearPlayList();
    EXPECT_TRUE(list.PlayListEntries().empty() && view.lines.empty());
    EXPECT_EQ(list.PlayListTotalTime() + list.PlayListCount() + list.PlayOrderIndex, 0);
    EXPECT_EQ(shell.Caption(), "[0songs/00:00:00] - jov:01");
    list.AddPlayListEntry(Chart("e.bms", "Five"));  // recreates the placeholder
    EXPECT_EQ(list.PlayListEntries().size(), 2u);
}

// What dropped paths add is checked by the tool case list/songs; here the folder search's
// progress reaching the window's caption as a whole text, and the search's own watcher.
TEST_F(ListFileTest, DroppedFoldersShowTheSearchInTheCaption) {
    for (const char* f : {"songs/a.bms", "songs/b.bme", "songs/x/c.bms"}) Write(f, "#TITLE x\r\n");
    FolderSearch search;
    std::vector<std::string> own;
    search.onCaption = [&own](const std::string& c) { own.push_back(c); };
    AddDroppedItems({tmp / "songs", tmp / "missing"}, list, search);
    EXPECT_EQ(list.PlayListCount(), 3);
    EXPECT_TRUE(search.SearchResults.empty());
    EXPECT_EQ(search.SearchCount, 0);
    EXPECT_EQ(view.captions, (std::vector<std::string>{"Seaching 2... " + (tmp / "songs/"), "Seaching 3... " + (tmp / "songs/x/")}));
    EXPECT_EQ(own, view.captions);
}

}  // namespace
