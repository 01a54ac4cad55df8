#include "playlist/song_groups.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../test_util.h"
#include "playlist/playlist.h"
#include "shell/status.h"

namespace jov {
namespace {

namespace fs = std::filesystem;

TEST(Songs, TitleWithoutItsDifficulty) {
    const std::pair<const char*, const char*> cases[] = {
        {"Angelico [Max]", "Angelico"},
        {"\xE6\x9C\x88\xE5\x85\x89(7Line)", "\xE6\x9C\x88\xE5\x85\x89"},  // 月光(7Line)
        {"Song [SPA] (7KEYS) ", "Song"},
        {"Song -ANOTHER-", "Song"},
        {"Song <HARD>", "Song"},
        {"Song ~ver.2~", "Song"},
        {"Song\xE3\x80\x80\xE3\x80\x90HYPER\xE3\x80\x91", "Song"},  // 【HYPER】 after a full-width space
        {"Song\xEF\xBC\xBB\xEF\xBC\xA1\xEF\xBC\xBD", "Song"},        // ［Ａ］
        {"A-B-", "A-B-"},                                            // a dash inside a word is no mark
        {"[ANOTHER]", "[ANOTHER]"},                                  // all mark: kept
        {"Song []", "Song []"},
        {"Song (", "Song ("},
        {"", ""},
    };
    for (const auto& [title, song] : cases) EXPECT_EQ(SongTitle(title), song) << title;
}

TEST(Songs, OneChartOfEachSongTheFullestFirstListed) {
    struct Row {
        const char* path;
        const char* title;
        int32_t sounding;
        bool chosen;
    };
    const Row rows[] = {
        {"/c/Angelico/0.ct_a.bms", "Angelico [ANOTHER]", 1346, false},  // a package of one song
        {"/c/Angelico/0.ct_[MAX].bms", "Angelico [Max]", 1460, true},
        {"/c/Angelico/0.ct_h.bms", "Angelico [HYPER]", 1313, false},
        {"/c/mixed/a.bms", "Alpha [N]", 10, false},  // a folder of several songs
        {"/c/mixed/b.bms", "Beta", 5, true},
        {"/c/mixed/c.bms", "ALPHA (H)", 20, true},
        {"/c/mixed/sub/a.bms", "Alpha [A]", 30, true},  // a nested folder is a song of its own
        {"/c/tie/x.bms", "T [N]", 7, true},
        {"/c/tie/y.bms", "T [H]", 7, false},
        {"/c/unknown/x.bms", "U", -1, false},  // read from a list file: counts not known
        {"/c/unknown/y.bms", "U", 0, true},
        {"/c/untitled/x.bms", "", -1, true},
        {"/c/untitled/y.bms", "", -1, false},
        {"", "", 0, true},  // no file: each its own
        {"", "", 0, true},
    };
    std::vector<ChartInfo> entries(1);
    std::vector<int32_t> sounding{-1};
    for (const Row& r : rows) {
        entries.emplace_back();
        entries.back().FilePath = r.path;
        entries.back().Title = r.title;
        sounding.push_back(r.sounding);
    }
    const std::vector<bool> chosen = ChosenCharts(entries, sounding);
    ASSERT_EQ(chosen.size(), entries.size());
    for (std::size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(chosen[i + 1], rows[i].chosen) << rows[i].path;
}

TEST(Songs, RealPackagesAsScanned) {
    jovtest::TempDir dir;
    const fs::path charts = fs::path(JOV01_TEST_DATA) / "charts";
    auto copy = [&](const char* f, const char* folder) {
        fs::create_directories(dir.Path() / folder);
        fs::copy_file(charts / f, dir.Path() / folder / f);
        return (dir.Path() / folder / f).string();
    };
    Shell shell;
    PlayList list(shell);
    // Two difficulties with the same count of objects: the first listed plays.
    for (auto [f, folder] : {std::pair{"0.ct_h.bms", "Angelico"}, {"0.ct_n.bms", "Angelico"},
                             {"0.ct_[MAX].bms", "Angelico"}, {"0.ct_a.bms", "Angelico"},
                             {"5k.bms", "k/pack"}, {"7k.bme", "k/pack"}, {"14k.bme", "k/pack"},
                             {"10k.bms", "k"}, {"gekkou(7).bme", "mixed"}, {"pure7a.bme", "mixed"}})
        list.AddPlayListEntry(copy(f, folder));
    std::vector<std::string> played;
    const std::vector<bool> chosen = ChosenCharts(list.PlayListEntries(), list.SoundingObjects());
    for (std::size_t i = 1; i < chosen.size(); ++i)
        if (chosen[i]) played.push_back(fs::path(list.PlayListEntries()[i].FilePath).filename().string());
    EXPECT_EQ(played, (std::vector<std::string>{"0.ct_[MAX].bms", "7k.bme", "10k.bms", "gekkou(7).bme", "pure7a.bme"}));
    list.RemovePlayListEntry(2);  // the fuller ones go: the two equal ones remain, the first plays
    list.RemovePlayListEntry(2);
    const std::vector<bool> after = ChosenCharts(list.PlayListEntries(), list.SoundingObjects());
    EXPECT_TRUE(after[1]);
    EXPECT_FALSE(after[2]);
}

TEST(Sort, StableByEachKey) {
    struct Row {
        const char* artist;
        const char* title;
        const char* path;
        int32_t time;
        int32_t level;
    };
    const Row rows[] = {
        {"beta", "Zed", "/b/2.bms", 3000, 7},  {"Alpha", "one", "/a/1.bms", 1000, 7},
        {"alpha", "Two", "/b/1.bms", 2000, 3}, {"", "two", "/a/2.bms", 1000, 12},
        {"Beta", "one", "/a/sub/1.bms", 500, 3},
    };
    std::vector<ChartInfo> entries(1);
    for (const Row& r : rows) {
        entries.emplace_back();
        entries.back().Artist = r.artist;
        entries.back().Title = r.title;
        entries.back().FilePath = r.path;
        entries.back().PlayTime = r.time;
        entries.back().PlayLevel = r.level;
    }
    using V = std::vector<int32_t>;
    EXPECT_EQ(SortedOrder(entries, SortKey::Artist), (V{4, 2, 3, 1, 5}));
    EXPECT_EQ(SortedOrder(entries, SortKey::Title), (V{2, 5, 3, 4, 1}));
    EXPECT_EQ(SortedOrder(entries, SortKey::Folder), (V{2, 4, 5, 1, 3}));
    EXPECT_EQ(SortedOrder(entries, SortKey::PlayTime), (V{5, 2, 4, 3, 1}));
    EXPECT_EQ(SortedOrder(entries, SortKey::Level), (V{3, 5, 1, 2, 4}));

    // The list takes the order; its lines and counts follow, and a wrong order is refused.
    Shell shell;
    PlayList list(shell);
    for (std::size_t i = 1; i < entries.size(); ++i) list.AppendScanned(entries[i], static_cast<int32_t>(i * 10));
    const std::vector<std::string> lines = list.Lines();
    ASSERT_TRUE(list.Reorder({5, 4, 3, 2, 1}));
    EXPECT_EQ(list.Lines().front(), lines.back());
    EXPECT_EQ(list.PlayListEntries()[1].FilePath, "/a/sub/1.bms");
    EXPECT_EQ(list.SoundingObjects()[1], 50);
    EXPECT_FALSE(list.Reorder({1, 1, 2, 3, 4}));
    EXPECT_FALSE(list.Reorder({1, 2, 3}));
    EXPECT_EQ(list.PlayListEntries()[5].FilePath, "/b/2.bms");
}

}  // namespace
}  // namespace jov
