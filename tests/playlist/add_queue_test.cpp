#include "playlist/add_queue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "../test_util.h"
#include "playlist/folder_search.h"
#include "playlist/list_file.h"
#include "playlist/playlist.h"
#include "shell/status.h"

namespace jov {
namespace {

namespace fs = std::filesystem;

const fs::path kCharts = fs::path(JOV01_TEST_DATA) / "charts";
// Three notes: two on lanes, one in the background.
constexpr const char* kBmson =
    R"({"info": {"title": "Son", "artist": "A", "init_bpm": 120, "resolution": 240},
        "sound_channels": [{"name": "a.wav", "notes": [{"x": 1, "y": 0}, {"x": 0, "y": 240}]},
                           {"name": "b.wav", "notes": [{"x": 2, "y": 480, "c": true}]}]})";

// A collection as users keep one: a song package of four difficulties, a folder of
// several songs, nested folders, a #RANDOM chart, a file name that is not UTF-8, many
// small generated songs, a loose chart, and the other chart file kinds (.bml, .pms, bmson)
// whose finding depends on the reading.
struct Collection {
    jovtest::TempDir dir;
    std::string root = dir.Path().string();
    Collection() {
        for (const char* f : {"0.ct_[MAX].bms", "0.ct_a.bms", "0.ct_h.bms", "0.ct_n.bms"})
            Copy(f, "Angelico");
        for (const char* f : {"gekkou(7).bme", "pure7a.bme", "lilith_mx.bms", "testLoadContentFrom_RandomFixed.bms"})
            Copy(f, "mixed");
        for (const char* f : {"5k.bms", "7k.bme", "14k.bme"}) Copy(f, "packs/a/b");
        for (int i = 0; i < 120; ++i)
            dir.Write("gen/" + std::to_string(i % 30) + "/c" + std::to_string(i) + ".bms",
                      "#TITLE song" + std::to_string(i % 30) + " [" + std::to_string(i) + "]\r\n#BPM 150\r\n#00111:0101\r\n");
        dir.Write("sjis/\x83\x65\x83\x58\x83\x67.bms", "#TITLE \x83\x65\r\n#00211:01\r\n");
        loose = dir.Write("loose.bms", "#ARTIST x\r\n#TITLE loose\r\n");
        dir.Write("mixed/long.bml", "#TITLE long\r\n#BPM 120\r\n#00111:01\r\n#00151:0101\r\n");
        dir.Write("packs/a/p.pms", "#TITLE pop\r\n#BPM 150\r\n#00111:01\r\n");
        dir.Write("packs/a/b/s.bmson", kBmson);
    }
    void Copy(const char* chart, const char* folder) const {
        fs::create_directories(dir.Path() / folder);
        fs::copy_file(kCharts / chart, dir.Path() / folder / chart);
    }
    std::string loose;
};

std::string Bytes(const PlayList& list) { return EncodeListFile(list.PlayListEntries(), list.PlayListCount()); }

std::string SyncBytes(const std::vector<std::vector<std::string>>& drops, ChartReading* reading) {
    Shell shell;
    PlayList list(shell);
    list.SetReading(reading);
    FolderSearch search;
    for (const auto& d : drops) AddDroppedItems(d, list, search);
    return Bytes(list);
}

// Takes the items as the window does, a few at a time, until the queue is idle.
void Drain(AddQueue& q, PlayList& list) {
    while (!q.Idle()) {
        ApplyAddItems(q.Take(7), list);
        std::this_thread::yield();
    }
}

TEST(AddQueue, GivesTheListASynchronousAddGives) {
    Collection c;
    ChartReading extended, autoReading;
    extended.mode = ReadingMode::Extended;
    const std::vector<std::vector<std::string>> drops = {
        {c.root + "/mixed", c.loose, c.root + "/nothing-here", c.root},
        {c.loose},
        {c.root + "/packs/"},
    };
    for (ChartReading* reading : {static_cast<ChartReading*>(nullptr), &extended, &autoReading}) {
        SCOPED_TRACE(reading ? ReadingId(*reading) : "none");
        const std::string expected = SyncBytes(drops, reading);
        for (int threads : {1, 2, 4}) {
            ScanCache cache;
            AddQueue q(&cache, threads);
            Shell shell;
            PlayList list(shell);
            for (const auto& d : drops) q.Enqueue(d, reading);  // three adds queued at once
            Drain(q, list);
            EXPECT_EQ(Bytes(list), expected) << threads << " threads";
            // The same again from the cache alone.
            const std::size_t misses = cache.Misses();
            PlayList again(shell);
            for (const auto& d : drops) q.Enqueue(d, reading);
            Drain(q, again);
            EXPECT_EQ(Bytes(again), expected);
            EXPECT_EQ(cache.Misses(), misses);
        }
    }
    // A list file dropped first replaces the list, in its turn among the adds.
    Shell shell;
    PlayList saved(shell);
    saved.AddPlayListEntry(c.loose);
    ASSERT_TRUE(saved.SavePlayList(c.root + "/x.rxl", true));
    AddQueue q(nullptr);
    PlayList list(shell);
    q.Enqueue({c.root + "/mixed"}, nullptr);
    q.Enqueue({c.root + "/x.rxl", c.root + "/mixed"}, nullptr);
    q.Enqueue({c.loose}, nullptr);
    Drain(q, list);
    EXPECT_EQ(Bytes(list), SyncBytes({{c.root + "/x.rxl"}, {c.loose}}, nullptr));
}

TEST(AddQueue, CancelKeepsWhatWasAddedAndARepeatIsWhole) {
    Collection c;
    const std::string expected = SyncBytes({{c.root}}, nullptr);
    ScanCache cache;
    AddQueue q(&cache, 2);
    Shell shell;
    PlayList list(shell);
    q.Enqueue({c.root}, nullptr);
    q.Enqueue({c.loose}, nullptr);  // waiting: cancelled with it
    while (list.PlayListCount() < 10) ApplyAddItems(q.Take(3), list);
    q.Cancel();
    Drain(q, list);
    const int32_t kept = list.PlayListCount();
    EXPECT_GE(kept, 10);
    EXPECT_LT(kept, ParseListFile(expected).count);
    // What stays is the beginning of the whole add, nothing after it.
    ListFileContents all = ParseListFile(expected);
    for (int32_t i = 1; i <= kept; ++i) EXPECT_EQ(list.PlayListEntries()[i], all.entries[i]) << i;
    list.ClearPlayList();
    q.Enqueue({c.root}, nullptr);
    Drain(q, list);
    EXPECT_EQ(Bytes(list), expected);
}

TEST(ScanCache, KeptBetweenRunsReReadWhenChangedRebuiltWhenDamaged) {
    Collection c;
    jovtest::TempDir cfg;
    const std::string file = cfg / "scan.cache";
    const std::string expected = SyncBytes({{c.root}}, nullptr);
    auto addAll = [&](ScanCache& cache) {
        AddQueue q(&cache, 2);
        Shell shell;
        PlayList list(shell);
        q.Enqueue({c.root}, nullptr);
        Drain(q, list);
        return Bytes(list);
    };
    {
        ScanCache first(file);
        EXPECT_TRUE(first.Load());  // none yet
        EXPECT_EQ(addAll(first), expected);
        EXPECT_GT(first.Misses(), 100u);
    }
    {
        ScanCache second(file);
        ASSERT_TRUE(second.Load());
        EXPECT_EQ(addAll(second), expected);
        EXPECT_EQ(second.Misses(), 0u);
        // Another reading is its own record: read once, then kept beside the first.
        ChartReading extended;
        extended.mode = ReadingMode::Extended;
        ASSERT_TRUE(second.Scan(c.loose, &extended));
        ASSERT_TRUE(second.Scan(c.loose, &extended));
        EXPECT_EQ(second.Misses(), 1u);
        // A changed chart is read afresh, even at the same size and within the same second.
        c.dir.Write("loose.bms", "#ARTIST y\r\n#TITLE LOOSE\r\n");
        fs::last_write_time(c.loose, fs::last_write_time(c.loose) + std::chrono::nanoseconds(1));
        EXPECT_EQ(second.Scan(c.loose, nullptr)->info.Title, "LOOSE");
        EXPECT_EQ(second.Misses(), 2u);
        EXPECT_FALSE(second.Scan(c.root + "/gone.bms", nullptr));
    }
    // A damaged or foreign file is not used; the next save replaces it whole.
    std::string bytes = jovtest::Slurp(file);
    for (std::string bad : {bytes.substr(0, bytes.size() / 2), bytes, std::string("rux_juke"), std::string()}) {
        if (bad == bytes) bad[bad.size() / 2] ^= 0x20;
        cfg.Write("scan.cache", bad);
        ScanCache cache(file);
        EXPECT_FALSE(cache.Load()) << bad.size();
        EXPECT_EQ(cache.Size(), 0u);
        EXPECT_EQ(addAll(cache), SyncBytes({{c.root}}, nullptr));
        ScanCache reread(file);
        EXPECT_TRUE(reread.Load());
        EXPECT_EQ(reread.Size(), cache.Size());
    }
}

// How full a chart is follows the reading it gets (long notes only sound when read the
// Extended way; a bmson chart counts every note), and the cache keeps that reading.
TEST(ScanCache, SoundingObjectsAndReadingFollowTheChosenReading) {
    jovtest::TempDir dir, cfg;
    const std::string ln = dir.Write("ln.bms", "#BPM 120\r\n#00111:0101\r\n#00151:0101\r\n#00101:01\r\n");
    const std::string plain = dir.Write("plain.bms", "#BPM 120\r\n#00111:0101\r\n#00151:0101\r\n");
    const std::string son = dir.Write("s.bmson", kBmson);
    const struct {
        std::string path;
        ReadingMode mode;
        int32_t sounding;
        bool extended;
    } rows[] = {
        {ln, ReadingMode::Classic, 3, false},    {ln, ReadingMode::Extended, 5, true},
        {ln, ReadingMode::Auto, 5, true},        {son, ReadingMode::Classic, 3, true},
        {son, ReadingMode::Auto, 3, true},       {plain, ReadingMode::Extended, 4, true},
    };
    const std::string file = cfg / "scan.cache";
    ScanCache cache(file);
    for (const auto& r : rows) {
        ChartReading reading;
        reading.mode = r.mode;
        const auto got = cache.Scan(r.path, &reading);
        ASSERT_TRUE(got) << r.path;
        EXPECT_EQ(got->soundingObjects, r.sounding) << r.path << " " << ReadingId(reading);
        EXPECT_EQ(got->choice.extended, r.extended) << r.path << " " << ReadingId(reading);
    }
    ASSERT_TRUE(cache.Save());
    ScanCache again(file);
    ASSERT_TRUE(again.Load());
    for (const auto& r : rows) {
        ChartReading reading;
        reading.mode = r.mode;
        EXPECT_EQ(again.Scan(r.path, &reading), ScanChartFile(r.path, &reading)) << r.path;
    }
    EXPECT_EQ(again.Misses(), 0u);
}

}  // namespace
}  // namespace jov
