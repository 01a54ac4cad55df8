#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "audio/cls_midi.h"
#include "engine/chart_loader.h"
#include "chart/header_scan.h"
#include "chart_test_util.h"

namespace jov {
namespace {

using testing::Loaded;
namespace fs = std::filesystem;

class ChartFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("jov01_chart_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& bytes) {
        fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    fs::path dir_;
};

TEST_F(ChartFiles, LoadChartSequenceAndMissingFile) {
    Loaded l;
    std::string path = Write("a.bms", "#GENRE Techno\r\n#TITLE Song\r\n#ARTIST Someone\r\n#BPM 150\r\n#MIDIFILE bgm.mid\r\n");
    l.engine.NextEvent = 7;
    l.engine.ElapsedMs = 99;
    LoadChart(l.ctx, path);
    EXPECT_EQ(l.model.NowPlaying, "[Techno] Song / Someone");
    EXPECT_EQ(l.shell.Caption(), "[Techno] Song / Someone - jov:01");
    ASSERT_NE(l.model.Midi, nullptr);
    EXPECT_EQ(l.model.Midi->FileName(), (dir_ / "bgm.mid").string());
    EXPECT_EQ(l.engine.NextEvent, 0);
    EXPECT_EQ(l.engine.ElapsedMs, 0);
    EXPECT_EQ(l.engine.StartTime, 5000);
    EXPECT_EQ(l.engine.CurrentBpm, 150.0f);

    l.clock.Set(8000);
    LoadChart(l.ctx, (dir_ / "missing.bms").string());
    EXPECT_EQ(l.shell.Caption(), "loading... - jov:01");
    EXPECT_EQ(l.shell.LastStatus(), "Err[not exist] :missing.bms");
    EXPECT_EQ(l.model.EventCount, 0);
    EXPECT_EQ(l.model.Midi, nullptr);
    EXPECT_EQ(l.model.NowPlaying, "[Techno] Song / Someone");  // kept from the previous chart
    EXPECT_EQ(l.engine.StartTime, 8000);

    LoadChart(l.ctx, dir_.string());  // a folder is not a chart
    EXPECT_EQ(l.model.EventCount, 0);
}

TEST_F(ChartFiles, ZeroByteAndGarbageFilesLoadAsEmptyCharts) {
    Loaded l;
    LoadChart(l.ctx, Write("empty.bms", ""));
    EXPECT_EQ(l.model.EventCount, 3);
    EXPECT_EQ(l.model.Chart.FilePath, (dir_ / "empty.bms").string());
    std::string garbage;
    for (uint32_t i = 0, x = 12345; i < 20000; ++i, x = x * 1103515245u + 12345u)
        garbage.push_back(static_cast<char>(x >> 24) ? static_cast<char>(x >> 24) : 1);  // a NUL would end the text
    garbage += "\r\n#TITLE \x83\x65\x83\x58\x83\x67\x80\r\n";
    LoadChart(l.ctx, Write("garbage.bms", garbage));
    EXPECT_EQ(l.model.Chart.Title, "\u30c6\u30b9\u30c8\ufffd");
    EXPECT_GE(l.model.EventCount, 3);
}

TEST_F(ChartFiles, HeaderScanFillsTheEntryWithItsOwnRules) {
    Shell shell;
    std::string path = Write("s.bms",
                             "#TITLE T\r\n#BPM 150\r\n#MIDIFILE bgm.mid\r\n#STAGEFILE  stage.bmp \r\n"
                             "#WAV01 a.wav\r\n#WAV01 b.wav\r\n#wavzz c.wav\r\n#BMP01 a.bmp\r\n#BMP02 b.bmp\r\n"
                             "#BMP03 c.bmp\r\n#00111:01\r\n#00921:01\r\n");
    ChartInfo e;
    e.Artist = "kept";
    ScanHeaders(path, e, shell);
    EXPECT_EQ(e.Title, "T");
    EXPECT_EQ(e.Artist, "kept");
    EXPECT_EQ(e.MidiFile, "bgm.mid");
    EXPECT_EQ(e.StageFile, "stage.bmp");
    EXPECT_EQ(e.WavCount, 3);
    EXPECT_EQ(e.BmpCount, 3);
    EXPECT_EQ(e.PlayTime, 17600);  // constant 150 BPM, last written measure 9
    EXPECT_EQ(e.FilePath, path);

    ChartInfo untouched;
    untouched.Title = "x";
    ScanHeaders((dir_ / "nope.bms").string(), untouched, shell);
    EXPECT_EQ(untouched.Title, "x");
    EXPECT_EQ(untouched.FilePath, "");

    // The scan's own playing-time formula agrees with the loaded chart's.
    path = Write("t.bms", "#BPM 130\n#00102:0.75\n#00203:A0B4\n#00403:50\n#01011:01\n#00502:1.5\n");
    ScanHeaders(path, e, shell);
    Loaded l;
    LoadChart(l.ctx, path);
    EXPECT_GT(e.PlayTime, 0);
    EXPECT_EQ(e.PlayTime, l.model.PlayTime);
}

TEST_F(ChartFiles, EncodingsOfRealCharts) {
    Shell shell;
    std::string data = JOV01_TEST_DATA;
    auto title = [&](const std::string& name) {
        ChartInfo e;
        ScanHeaders(data + "/charts/" + name, e, shell);
        return e.Title;
    };
    EXPECT_EQ(title("testLoadByteArray_Utf16leWithBom.bms"),
              "MySong\uff5e\u30c7\u30b3\u30fc\u30c9\u30c6\u30b9\u30c8\u306e\u70ba\u306e\uff5e");
    EXPECT_EQ(title("testLoadByteArray_Utf8WithBom.bms").substr(0, 6), "MySong");
    EXPECT_EQ(title("5k_\u4e16\u754c.bms"), "\u30b6\u30fb\u30ef\u30fc\u30eb\u30c9");
}

}  // namespace
}  // namespace jov
