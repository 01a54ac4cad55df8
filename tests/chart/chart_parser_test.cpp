#include <gtest/gtest.h>

#include <string>

#include "engine/chart_loader.h"
#include "chart_test_util.h"

namespace jov {
namespace {

using testing::Loaded;

std::vector<int32_t> Offsets(const std::vector<ChartEvent>& events) {
    std::vector<int32_t> out;
    for (const auto& e : events) out.push_back(e.Offset);
    return out;
}

TEST(ChartWalk, LineStartsLineEndsHashLinesAndNul) {
    Loaded l;
    EXPECT_EQ(l.Parse("#PLAYER 1").Chart.Player, 1);
    EXPECT_EQ(l.Parse("\r\n; comment\r\n#PLAYER 2\r\n").Chart.Player, 2);
    EXPECT_EQ(l.Parse("comment\r\n #PLAYER 3\r\n").Chart.Player, 0);  // indented lines are skipped
    EXPECT_EQ(l.Parse("#TITLE A\r\n#ARTIST B").Chart.Artist, "B");
    EXPECT_EQ(l.model.Chart.FilePath, "songs/a.bms");
    for (const char* text : {"#TITLE A\n#ARTIST B\n#GENRE C", "#TITLE A\r#ARTIST B\r#GENRE C",
                             "#TITLE A\r\r\n#ARTIST B\n\r#GENRE C\r\n", "\n\n#TITLE A\r\n#ARTIST B\r#GENRE C\n"}) {
        ChartInfo& c = l.Parse(text).Chart;
        EXPECT_EQ(c.Title + c.Artist + c.Genre, "ABC") << text;
    }
    // A line of only "#" swallows the next line; a NUL ends the text.
    ChartInfo& c = l.Parse("#\r\n#TITLE X\r\n#ARTIST Y\r\n").Chart;
    EXPECT_EQ(c.Title, "");
    EXPECT_EQ(c.Artist, "Y");
    EXPECT_EQ(l.Parse("#TITLE Z\r\n#").Chart.Title, "Z");
    EXPECT_EQ(l.Parse(std::string("#TITLE A\r\n\0#ARTIST B", 21)).Chart.Artist, "");
    EXPECT_EQ(l.Parse(std::string("#TITLE A\0B", 10)).Chart.Title, "A");
}

TEST(ChartHeaders, PrefixesValuePositionsAndFailedConversions) {
    Loaded l;
    ChartInfo& c = l.Parse(
                        "#title  My Song  \r\n#ARTIST\tX\t\r\n#GENRE Techno\r\n#BPM 150\r\n#BPM01 300\r\n"
                        "#RANK 3\r\n#RANDOM 2\r\n#TOTAL abc\r\n#VOLWAV 100.5\r\n#PLAYER 3\r\n#playlevel 7\r\n"
                        "#MIDIFILE bgm.mid\r\n#STAGEFILE s.bmp\r\n#TITLEX\r\n")
                       .Chart;
    EXPECT_EQ(c.Title, "");       // "#TITLEX" has no value text and overwrites
    EXPECT_EQ(c.Artist, "X\t");   // one separator character, whatever it is; tabs stay
    EXPECT_EQ(c.Genre, "Techno");
    EXPECT_EQ(c.Bpm, 150.0f);     // #BPM01 fails to convert
    EXPECT_EQ(c.Rank, 3);         // #RANDOM is taken as #RANK and fails
    EXPECT_EQ(c.Total, 0);
    EXPECT_EQ(c.VolWav, 100);
    EXPECT_EQ(c.Player, 3);
    EXPECT_EQ(c.PlayLevel, 7);
    EXPECT_EQ(c.MidiFile, "songs/bgm.mid");
    EXPECT_EQ(c.StageFile, "");
    EXPECT_EQ(l.Parse("#TITLE My Song").Chart.Title, "My Song");
}

TEST(ChartHeaders, KeySoundsAndLoadModes) {
    Loaded l;
    l.engine.WavLoadMode = 1;
    ChartModel& m = l.Parse("#WAV0a a.wav\r\n#wav0A b.wav \r\n#WAVZZ z.wav\r\n#WAV1Z one.wav\r\n#WAVFF  ff.ogg\r\n");
    EXPECT_EQ(m.WavFile[10], "songs/b.wav");
    EXPECT_EQ(m.WavFile[0], "songs/z.wav");
    EXPECT_EQ(m.WavFile[1], "songs/one.wav");
    EXPECT_EQ(m.WavFile[255], "songs/ff.ogg");
    EXPECT_EQ(m.WavLoaded[10], 0);
    EXPECT_TRUE(l.loads.empty());
    l.engine.WavLoadMode = 0;
    l.Parse("#WAV02 a.wav\r\n#WAV01 b.wav\r\n#WAV02 c.wav\r\n");
    EXPECT_EQ(l.loads, (std::vector<int>{2, 1, 2}));
    EXPECT_EQ(m.WavLoaded[2], 255);
    EXPECT_EQ(m.WavFile[2], "songs/c.wav");
    // A new load forgets the previous chart's key sounds.
    l.Parse("#TITLE x\r\n");
    EXPECT_EQ(m.WavFile[2], "");
    EXPECT_EQ(m.WavLoaded[2], 0);
    EXPECT_GE(l.releases, 3);
}

TEST(ChannelLines, PairsStepsAndSkippedCodes) {
    Loaded l;
    l.Parse("#00211:01000100\r\n#00111:0100000000000000\r\n#00311:01 \r\n#00411:0\r\n#00511:0a0A\r\n");
    auto keys = l.EventsOf(11);
    ASSERT_EQ(keys.size(), 6u);
    EXPECT_EQ(keys[0].Offset, 0);
    EXPECT_EQ(keys[0].Tick, 2 * 192);
    EXPECT_EQ(keys[1].Offset, 96);
    EXPECT_EQ(keys[2].Measure, 1);
    EXPECT_EQ(keys[3].Measure, 3);  // "01 ": the odd blank is ignored
    EXPECT_EQ(keys[4].Value, 10);
    EXPECT_EQ(keys[5].Value, 10);
    EXPECT_EQ(l.model.MaxMeasure, 5);

    l.Parse("#00001:01010101010101\r\n");
    EXPECT_EQ(Offsets(l.EventsOf(1)), (std::vector<int32_t>{0, 27, 55, 82, 110, 137, 165}));
    std::string line = "#00001:";
    for (int k = 0; k < 128; ++k) line += "01";
    l.Parse(line);
    auto bg = l.EventsOf(1);
    ASSERT_EQ(bg.size(), 128u);
    EXPECT_EQ(bg[1].Offset, 2);  // 1.5 halves to even
    EXPECT_EQ(bg[3].Offset, 4);  // 4.5
    EXPECT_EQ(bg[127].Offset, 190);
}

TEST(ChannelLines, OtherChannelsMeasureRangeAndLengths) {
    Loaded l;
    ChartModel& m = l.Parse("#00104:0101\r\n#00551:0101\r\n#1E311:01\r\n#-0111:01\r\n#00102:0.75\r\n#00202:abc\r\n"
                            "#00302: 1 . 5\r\n#00402:2\r\n#00402:1.25\r\n#00602:1E99\r\n#00902:.5\r\n");
    EXPECT_EQ(m.EventCount, 0);
    EXPECT_EQ(m.MaxMeasure, 9);  // measures outside 0..999 do not count
    EXPECT_EQ(m.MeasureLength[1], 0.75f);
    EXPECT_EQ(m.MeasureLength[2], 0.0f);
    EXPECT_EQ(m.MeasureLength[3], 1.5f);
    EXPECT_EQ(m.MeasureLength[4], 1.25f);
    EXPECT_EQ(m.MeasureLength[6], 0.0f);  // beyond a single: unchanged
    EXPECT_EQ(m.MeasureLength[9], 0.5f);
    FinishChart(l.ctx);
    EXPECT_EQ(m.MeasureLength[2], 1.0f);
}

TEST(ChannelLines, NoObjectIsDroppedFromAHugeChart) {
    std::string text = "#BPM 120\r\n";
    std::string data;
    for (int k = 0; k < 100; ++k) data += "01";
    for (int measure = 0; measure < 420; ++measure) {
        char head[16];
        std::snprintf(head, sizeof head, "#%03d11:", measure);
        text += head + data + "\r\n";
    }
    Loaded l;
    ChartModel& m = l.Load(text);
    EXPECT_EQ(m.EventCount, 42000 + 422);
    EXPECT_EQ(m.LastTick, 421 * 192);
    for (int32_t i = 1; i < m.EventCount; ++i) ASSERT_LE(m.Events[i - 1].Tick, m.Events[i].Tick);
}

}  // namespace
}  // namespace jov
