#include "playlist/playlist.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "playlist/list_file.h"
#include "shell/status.h"

namespace fs = std::filesystem;
using namespace jov;

namespace {

struct RecordingView : PlayListView {
    std::vector<std::string> lines;
    int cleared = 0;
    void OnLineAdded(const std::string& line) override { lines.push_back(line); }
    void OnLineRemoved(int line) override { lines.erase(lines.begin() + line); }
    void OnLinesCleared() override { lines.clear(); ++cleared; }
};

class PlayListTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("jov01_playlist_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        list.SetView(&view);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A chart at a constant tempo whose last written measure is `lastMeasure`.
    std::string Chart(const std::string& name, const std::string& artist, const std::string& title, int bpm,
                      int lastMeasure) {
        std::string p = (dir / name).string();
        char channel[32];
        std::snprintf(channel, sizeof channel, "#%03d11:01\r\n", lastMeasure);
        std::ofstream(p, std::ios::binary) << "\r\n#ARTIST " << artist << "\r\n#TITLE " << title << "\r\n#BPM " << bpm
                                           << "\r\n#WAV01 a.wav\r\n" << channel;
        return p;
    }

    fs::path dir;
    Shell shell;
    PlayList list{shell};
    RecordingView view;
};

TEST_F(PlayListTest, AddRemoveClearKeepLinesTotalsAndCaption) {
    EXPECT_EQ(list.Summary(), "[0songs/00:00:00]");
    // 150 BPM up to measure 9: 2112 ticks, 17600 ms.
    list.AddPlayListEntry(Chart("a.bms", "A", "One", 150, 9));
    list.AddPlayListEntry((dir / "missing.bms").string());
    list.AddPlayListEntry(Chart("c.bme", "C", "Three", 150, 9));
    ASSERT_EQ(list.PlayListCount(), 3);
    EXPECT_EQ(list.PlayListEntries()[0], ChartInfo{});
    EXPECT_EQ(list.PlayListEntries()[1].FilePath, (dir / "a.bms").string());
    EXPECT_EQ(list.PlayListEntries()[2], ChartInfo{});  // a missing file still adds an empty entry
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"A - One\t0:17", " - \t0:00", "C - Three\t0:17"}));
    EXPECT_EQ(view.lines, list.Lines());
    EXPECT_EQ(list.PlayListTotalTime(), 35200);
    EXPECT_EQ(shell.Caption(), "[3songs/00:00:35] - jov:01");

    list.RemovePlayListEntry(-1);  // no selection
    list.RemovePlayListEntry(3);   // no such line
    EXPECT_EQ(list.PlayListCount(), 3);

    list.RemovePlayListEntry(0);
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{" - \t0:00", "C - Three\t0:17"}));
    EXPECT_EQ(view.lines, list.Lines());
    EXPECT_EQ(list.PlayListTotalTime(), 17600);
    EXPECT_EQ(list.PlayListEntries()[2].Title, "Three");
    EXPECT_EQ(shell.Caption(), "[2songs/00:00:17] - jov:01");

    // Removing every line leaves the placeholder; the save holds a count of 0 and one record.
    list.RemovePlayListEntry(1);
    list.RemovePlayListEntry(0);
    EXPECT_EQ(list.PlayListEntries().size(), 1u);
    std::string path = (dir / "empty.rxl").string();
    ASSERT_TRUE(list.SavePlayList(path, true));
    EXPECT_EQ(fs::file_size(path), 24u + 48u);

    list.AddPlayListEntry(Chart("d.bms", "D", "Four", 120, 0));
    list.PlayOrderIndex = 5;
    list.ClearPlayList();
    EXPECT_TRUE(list.PlayListEntries().empty() && view.lines.empty());
    EXPECT_EQ(list.PlayListTotalTime() + list.PlayListCount() + list.PlayOrderIndex, 0);
    EXPECT_EQ(shell.Caption(), "[0songs/00:00:00] - jov:01");

    // Saved right after a clear: still a placeholder record, so older readers accept it.
    ASSERT_TRUE(list.SavePlayList(path, true));
    std::string bytes;
    ReadWholeFile(path, bytes);
    EXPECT_EQ(bytes.size(), 72u);
    EXPECT_EQ(bytes.substr(24), std::string(48, '\0'));

    // A new entry after a clear recreates the placeholder.
    list.AddPlayListEntry(Chart("e.bms", "E", "Five", 150, 9));
    EXPECT_EQ(list.PlayListEntries().size(), 2u);
}

TEST_F(PlayListTest, SummaryText) {
    for (auto [n, ms, text] : {std::tuple<int32_t, int64_t, const char*>{3, 245432, "[3songs/00:04:05]"},
                               {0, 0, "[0songs/00:00:00]"}, {1, 2147483647, "[1songs/596:31:23]"},
                               {1, -65432, "[1songs/00:-01:-05]"}, {1, -3725000, "[1songs/-01:-02:-05]"}})
        EXPECT_EQ(FormatPlayListSummary(n, ms), text) << ms;
    EXPECT_EQ(FormatPlayListSummary(2, 2147483648LL), std::nullopt);

    // Beyond 32 bits the caption keeps its last summary.
    std::vector<ChartInfo> entries(3);
    entries[1].PlayTime = entries[2].PlayTime = 2000000000;
    std::string path = (dir / "big.rxl").string();
    std::ofstream(path, std::ios::binary) << EncodeListFile(entries, 2);
    ASSERT_TRUE(list.LoadPlayList(path, true));
    EXPECT_EQ(list.PlayListTotalTime(), 4000000000LL);
    EXPECT_EQ(list.Summary(), "[0songs/00:00:00]");
    EXPECT_EQ(shell.Caption(), "[0songs/00:00:00] - jov:01");
    list.RemovePlayListEntry(0);
    EXPECT_EQ(list.Summary(), "[1songs/555:33:20]");
}

}  // namespace
