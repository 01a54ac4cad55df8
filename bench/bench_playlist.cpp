// Folder search of a large tree, list file load and save, and adding a folder of charts.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "playlist/folder_search.h"
#include "playlist/list_file.h"
#include "playlist/loudness_cache.h"
#include "playlist/playlist.h"
#include "shell/status.h"

namespace fs = std::filesystem;
using namespace jov;

namespace {

// Literal + temporary trips a false -Wrestrict warning of GCC 12.
std::string Cat(std::string a, const std::string& b) { return a += b; }

fs::path RootPath() { return fs::temp_directory_path() / Cat("jov01_bench_playlist_", std::to_string(::getpid())); }

fs::path BenchRoot() {
    static const bool made = [] {
        fs::remove_all(RootPath());
        return fs::create_directories(RootPath());
    }();
    (void)made;
    return RootPath();
}

// Not through BenchRoot(): its statics may already be gone at exit.
struct Cleanup {
    ~Cleanup() {
        std::error_code ec;
        fs::remove_all(RootPath(), ec);
    }
} cleanup;

// 2,000 folders (20 top folders of 99 subfolders each, plus the 20), 10 files each:
// 20,000 files of which 5,000 are charts.
const fs::path& Tree() {
    static const fs::path tree = [] {
        fs::path t = BenchRoot() / "tree";
        int folder = 0;
        auto fill = [&](const fs::path& f) {
            fs::create_directories(f);
            for (int i = 0; i < 10; ++i) {
                std::string name = Cat("f", std::to_string(i));
                name += i < 2 ? ".bms" : i == 2 && folder % 2 == 0 ? ".BME" : i == 2 ? ".bmsx" : i == 3 ? ".wav" : ".ogg";
                std::ofstream(f / name) << "x";
            }
            ++folder;
        };
        for (int a = 0; a < 20; ++a) {
            fs::path top = t / (Cat("top", std::to_string(a)));
            fill(top);
            for (int b = 0; b < 99; ++b) fill(top / (Cat("Sub", std::to_string(b))));
        }
        return t;
    }();
    return tree;
}

void BM_SearchTree(benchmark::State& state) {
    const std::string root = Tree().string();
    for (auto _ : state) {
        FolderSearch search;
        search.SearchFolder(root, "*.bms;*.bme");
        if (search.SearchCount != 5000) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(search.SearchResults.data());
    }
}
BENCHMARK(BM_SearchTree)->Unit(benchmark::kMillisecond);

const std::string& BigList() {
    static const std::string path = [] {
        std::vector<ChartInfo> entries(10001);
        for (int i = 1; i <= 10000; ++i) {
            ChartInfo& e = entries[i];
            e.Title = Cat("Some song title number ", std::to_string(i));
            e.Artist = "An artist \xE3\x81\x82\xE3\x81\x84";
            e.Genre = "GENRE";
            e.Bpm = 150.0f;
            e.PlayTime = 120000 + i;
            e.MidiFile = "bgm.mid";
            e.StageFile = "stage.bmp";
            e.FilePath = Cat(Cat(Cat(Cat("/home/user/charts/folder", std::to_string(i / 10)), "/chart"), std::to_string(i)), ".bms");
        }
        std::string p = (BenchRoot() / "big.rxl").string();
        std::ofstream(p, std::ios::binary) << EncodeListFile(entries, 10000);
        return p;
    }();
    return path;
}

void BM_LoadList10000(benchmark::State& state) {
    Shell shell;
    PlayList list(shell);
    for (auto _ : state) {
        list.LoadPlayList(BigList(), true);
        if (list.PlayListCount() != 10000) state.SkipWithError("wrong count");
    }
}
BENCHMARK(BM_LoadList10000)->Unit(benchmark::kMillisecond);

// A cache of 20,000 charts' loudness: loaded at start-up, so well under 100 ms.
void BM_LoadLoudnessCache20000(benchmark::State& state) {
    const std::string path = (BenchRoot() / "loudness.cache").string();
    {
        LoudnessCache cache;
        for (int i = 0; i < 20000; ++i)
            cache.Put(ChartStamp{Cat(Cat("/home/user/charts/folder", std::to_string(i / 10)), Cat("/chart", std::to_string(i))) + ".bms",
                                 100000 + i, 1700000000000000000 + i, "classic"},
                      Loudness{-14.0 - i % 10, 5.5, -1.0, -12.0, 2.5, 0.0});
        cache.Save(path);
    }
    LoudnessCache cache;
    for (auto _ : state) {
        cache.Load(path);
        if (cache.Size() != 20000) state.SkipWithError("wrong count");
    }
}
BENCHMARK(BM_LoadLoudnessCache20000)->Unit(benchmark::kMillisecond);

void BM_SaveList10000(benchmark::State& state) {
    Shell shell;
    PlayList list(shell);
    list.LoadPlayList(BigList(), true);
    const std::string out = (BenchRoot() / "saved.rxl").string();
    for (auto _ : state) {
        if (!list.SavePlayList(out, true)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveList10000)->Unit(benchmark::kMillisecond);

// 1,000 copies of a full-size chart (about 85 KB each), added as one dropped folder.
void BM_AddFolder1000Charts(benchmark::State& state) {
    const fs::path folder = BenchRoot() / "charts";
    if (!fs::exists(folder)) {
        fs::create_directories(folder);
        const fs::path source = fs::path(JOV01_TEST_DATA) / "charts/lilith_mx.bms";
        for (int i = 0; i < 1000; ++i) fs::copy_file(source, folder / Cat(Cat("c", std::to_string(i)), ".bms"));
    }
    Shell shell;
    PlayList list(shell);
    FolderSearch search;
    for (auto _ : state) {
        list.ClearPlayList();
        AddDroppedItems({folder.string()}, list, search);
        if (list.PlayListCount() != 1000) state.SkipWithError("wrong count");
    }
}
BENCHMARK(BM_AddFolder1000Charts)->Unit(benchmark::kMillisecond);

}  // namespace
