#include "playlist/list_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "playlist/playlist.h"
#include "shell/status.h"

namespace fs = std::filesystem;
using namespace jov;

namespace {

// Hand-built file bytes, written field by field the way the format lays them out.
struct Bytes {
    std::string b;
    Bytes& Raw(std::string_view s) { b.append(s); return *this; }
    Bytes& U16(uint16_t v) { b += char(v & 0xFF); b += char(v >> 8); return *this; }
    Bytes& I32(int32_t v) {
        uint32_t u = uint32_t(v);
        for (int i = 0; i < 4; ++i) b += char((u >> (8 * i)) & 0xFF);
        return *this;
    }
    Bytes& Text(std::string_view s) { return U16(uint16_t(s.size())).Raw(s); }
    Bytes& Header(int32_t count) { return Raw(std::string("rux_juke") + std::string(11, '\0') + "\x01").I32(count); }
    // Title, Artist, Genre, Bpm, Player, PlayLevel, MidiFile, Rank, VolWav, Total, PlayTime,
    // StageFile, WavCount, BmpCount, FilePath.
    Bytes& Record(std::string_view title, std::string_view artist, uint32_t bpmBits, int32_t playTime,
                  std::string_view path, int32_t seed = 0) {
        Text(title).Text(artist).Text("genre").I32(int32_t(bpmBits)).I32(seed + 1).I32(seed + 2).Text("bgm.mid");
        I32(seed + 3).I32(seed + 4).I32(seed + 5).I32(playTime).Text("stage.bmp").I32(seed + 6).I32(seed + 7);
        return Text(path);
    }
    Bytes& Empty() { b.append(48, '\0'); return *this; }
};

// Each message as "<E|W> title: text".
struct Messages : MessageHook {
    std::vector<std::string> shown;
    void ShowMessage(MessageIcon icon, const std::string& title, const std::string& text) override {
        shown.push_back((icon == MessageIcon::Error ? "E " : icon == MessageIcon::Warning ? "W " : "? ") + title + ": " + text);
    }
};

class ListFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("jov01_listfile_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        list.SetMessageHook(&messages);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    static std::string Slurp(const std::string& p) {
        std::string s;
        ReadWholeFile(p, s);
        return s;
    }

    fs::path dir;
    Shell shell;
    PlayList list{shell};
    Messages messages;
};

constexpr uint32_t kBpm150 = 0x43160000;  // 150.0f

TEST_F(ListFileTest, SavedBytesFollowTheLayoutAndReadBack) {
    Bytes file;
    file.Header(2).Empty().Record("B", "A", kBpm150, 65432, "/c/one.bms", 10).Record("T2", "A2", kBpm150, 130000, "/c/two.bme", 20);
    // Another magic and version byte: not checked when reading.
    std::string foreign = file.b;
    std::memcpy(foreign.data(), "whatever", 8);
    foreign[19] = 7;
    std::string path = Write("in.rxl", foreign);

    ASSERT_TRUE(list.LoadPlayList(path, false));
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_EQ(list.PlayListCount(), 2);
    const ChartInfo& e = list.PlayListEntries()[1];
    EXPECT_EQ(std::tie(e.Title, e.MidiFile, e.StageFile, e.FilePath),
              std::make_tuple("B", "bgm.mid", "stage.bmp", "/c/one.bms"));
    EXPECT_EQ(e.Bpm, 150.0f);
    EXPECT_EQ(std::tie(e.Player, e.PlayLevel, e.Rank, e.VolWav, e.Total, e.WavCount, e.BmpCount),
              std::make_tuple(11, 12, 13, 14, 15, 16, 17));
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"A - B\t1:05", "A2 - T2\t2:10"}));
    EXPECT_EQ(list.PlayListTotalTime(), 195432);
    EXPECT_EQ(shell.Caption(), "[2songs/00:03:15] - jov:01");

    // Saving writes the proper header, the count 2 (not 3) and the three records.
    std::string out = (dir / "out.rxl").string();
    ASSERT_TRUE(list.SavePlayList(out, false));
    EXPECT_EQ(Slurp(out), file.b);
    EXPECT_EQ(file.b.size(), 24u + 48u + 81u + 83u);
}

TEST_F(ListFileTest, TruncatedFilesKeepTheCompleteEntries) {
    Bytes file;
    file.Header(3).Empty().Record("one", "a", kBpm150, 1000, "/1").Record("two", "b", kBpm150, 2000, "/2")
        .Record("three", "c", kBpm150, 3000, "/3");
    const std::size_t end0 = 24 + 48, end1 = end0 + 48 + 3 + 1 + 5 + 7 + 9 + 2;
    const std::size_t end2 = end1 + 48 + 3 + 1 + 5 + 7 + 9 + 2;
    for (std::size_t len = 0; len <= file.b.size(); ++len) {
        SCOPED_TRACE(len);
        ListFileContents c = ParseListFile(std::string_view(file.b).substr(0, len));
        EXPECT_EQ(c.ok, len == file.b.size());
        const std::size_t records = len == file.b.size() ? 4 : len >= end2 ? 3 : len >= end1 ? 2 : len >= end0 ? 1 : 0;
        EXPECT_EQ(c.entries.size(), records);
        EXPECT_EQ(c.count, records == 0 ? 0 : int32_t(records) - 1);
    }

    // Through the playlist: a load error reported once, what was read stays.
    std::string path = Write("short.rxl", file.b.substr(0, end2 + 5));
    EXPECT_FALSE(list.LoadPlayList(path, false));
    EXPECT_EQ(messages.shown, std::vector<std::string>{"E error: an error occured in list loading process!"});
    EXPECT_EQ(list.Lines().size(), 2u);
    EXPECT_EQ(list.PlayListTotalTime(), 3000);
    EXPECT_EQ(shell.Caption(), "[2songs/00:00:03] - jov:01");

    // Silent: the same result without a message.
    EXPECT_FALSE(list.LoadPlayList(path, true));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(list.PlayListCount(), 2);
}

TEST_F(ListFileTest, BadCountsNeverReadPastTheFile) {
    ListFileContents c = ParseListFile(Bytes().Header(-1).Empty().b);
    EXPECT_FALSE(c.ok);
    EXPECT_TRUE(c.entries.empty());
    EXPECT_EQ(c.count, 0);

    c = ParseListFile(Bytes().Header(0x7FFFFFFF).Empty().Record("x", "y", kBpm150, 5, "/x").b);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.entries.size(), 2u);
    EXPECT_EQ(c.count, 1);
    EXPECT_LE(c.entries.capacity(), 3u);  // nothing reserved beyond what the bytes can hold

    // A text count far beyond the file.
    Bytes hugeText;
    hugeText.Header(1).U16(65535).Raw("abc");
    c = ParseListFile(hugeText.b);
    EXPECT_FALSE(c.ok);
    EXPECT_TRUE(c.entries.empty());
    // With a count of 0 no record is called for, so a broken placeholder is no error.
    std::memcpy(hugeText.b.data() + 20, "\0\0\0\0", 4);
    c = ParseListFile(hugeText.b);
    EXPECT_TRUE(c.ok);
    EXPECT_TRUE(c.entries.empty());

    // Count 0 with or without the placeholder; trailing bytes ignored.
    Bytes zero;
    EXPECT_TRUE(ParseListFile(zero.Header(0).b).ok);
    zero.Record("kept", "as read", kBpm150, 9, "/p").Raw("stale bytes of an older, longer file");
    c = ParseListFile(zero.b);
    EXPECT_TRUE(c.ok);
    ASSERT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.entries[0].Title, "kept");

    // The placeholder read from a file is written back as read.
    std::string path = Write("zero.rxl", zero.b);
    ASSERT_TRUE(list.LoadPlayList(path, false));
    EXPECT_EQ(list.PlayListCount(), 0);
    EXPECT_TRUE(list.Lines().empty());
    ASSERT_TRUE(list.SavePlayList(path, false));
    EXPECT_EQ(Slurp(path), Bytes().Header(0).Record("kept", "as read", kBpm150, 9, "/p").b);

    // Shorter than a header: no entries, an error.
    EXPECT_FALSE(ParseListFile("rux_juke").ok);
}

TEST_F(ListFileTest, TextsDecodeCp932AndLongTextsAreCutAtACharacter) {
    Bytes file;
    // "テスト" in code page 932, an artist with a leading U+FEFF, a UTF-8 path.
    file.Header(1).Empty().Record("\x83\x65\x83\x58\x83\x67", "\xEF\xBB\xBF" "Art", kBpm150, 0, "/m\xC3\xBAsica/a.bms");
    ListFileContents c = ParseListFile(file.b);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.entries[1].Title, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
    EXPECT_EQ(c.entries[1].Artist, "\xEF\xBB\xBF" "Art");
    EXPECT_EQ(c.entries[1].FilePath, "/m\xC3\xBAsica/a.bms");

    // Written back as UTF-8.
    std::string encoded = EncodeListFile(c.entries, c.count);
    EXPECT_NE(encoded.find("\x09\x00\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", 0, 11), std::string::npos);

    // 40000 two-byte characters: the 16-bit count cannot hold 80000 bytes; cut to 65534.
    std::vector<ChartInfo> entries(2);
    std::string longTitle;
    for (int i = 0; i < 40000; ++i) longTitle += "\xC3\xA9";
    entries[1].Title = longTitle;
    entries[1].Artist = std::string(70000, 'a');
    encoded = EncodeListFile(entries, 1);
    c = ParseListFile(encoded);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.entries[1].Title, longTitle.substr(0, 65534));
    EXPECT_EQ(c.entries[1].Artist.size(), 65535u);
}

TEST_F(ListFileTest, FailedSaveLeavesThePreviousFileWhole) {
    Bytes file;
    file.Header(2).Empty().Record("one", "a", kBpm150, 1000, "/1").Record("two", "b", kBpm150, 2000, "/2");
    std::string path = Write("keep.rxl", file.b);
    ASSERT_TRUE(list.LoadPlayList(path, true));
    list.RemovePlayListEntry(0);

    for (int after : {0, 1}) {
        list.SetSaveFailureAfterRecords(after);
        EXPECT_FALSE(list.SavePlayList(path, false));
        EXPECT_EQ(Slurp(path), file.b);
    }
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1], "E error: an error occured in list saving process!");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // A path that cannot be written (a folder) fails the same way; silent shows nothing.
    list.SetSaveFailureAfterRecords(-1);
    EXPECT_FALSE(list.SavePlayList(dir.string(), true));
    EXPECT_EQ(messages.shown.size(), 2u);

    // The save that succeeds has no stale bytes after its last record.
    ASSERT_TRUE(list.SavePlayList(path, false));
    EXPECT_EQ(Slurp(path), Bytes().Header(1).Empty().Record("two", "b", kBpm150, 2000, "/2").b);
}

TEST_F(ListFileTest, MissingFileWarnsAndKeepsTheList) {
    list.AddPlayListEntry((dir / "nothing.bms").string());
    std::string missing = (dir / "none.rxl").string();
    EXPECT_FALSE(list.LoadPlayList(missing, false));
    EXPECT_EQ(messages.shown, std::vector<std::string>{"W error: listfile " + missing + "is not exist."});
    EXPECT_EQ(list.PlayListCount(), 1);
    EXPECT_FALSE(list.LoadPlayList(missing, true));
    EXPECT_EQ(messages.shown.size(), 1u);
}

}  // namespace
