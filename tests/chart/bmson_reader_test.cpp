// bmson charts: what the tool cases (tests/data/cases/bmson) cannot show — which files
// are bmson, bad input of every kind, the offsets of sliced sounds, thousands of channels.
#include <gtest/gtest.h>

#include <cmath>

#include "chart/bmson_reader.h"
#include "chart/chart_format.h"
#include "chart/chart_parser.h"
#include "chart/header_scan.h"

namespace jov {
namespace {

const std::string kData = std::string(JOV01_TEST_DATA) + "/bmson/";

TEST(Bmson, FilesAreBmsonByTheirExtensionInAnyCase) {
    for (auto [path, bmson] : {std::pair{"a.bmson", true}, {"/x/A.BMSON", true}, {"b.BmSoN", true}, {".bmson", true},
                              {"a.bms", false}, {"a.bmson.bms", false}, {"a.bmsonx", false}, {"bmson", false}, {"", false}})
        EXPECT_EQ(FormatOf(path) == ChartFormat::Bmson, bmson) << path;
}

TEST(Bmson, BadInputIsAnUnreadableChart) {
    const std::string info = R"({"info":{"title":"t","init_bpm":120},)";
    auto note = [&](const std::string& n) { return info + R"("sound_channels":[{"name":"a","notes":[)" + n + "]}]}"; };
    std::vector<std::string> bad = {
        "", "not json", "[]", "{}", "null", R"({"info":[]})", R"({"info":{"title":5}})",
        R"({"info":{"subartists":"x"}})", R"({"info":{"init_bpm":"fast"}})", R"({"info":{}} trailing)",
        R"({"info":{},"lines":{}})", info + R"("lines":[{"y":-1}]})", info + R"("lines":[1]})",
        info + R"("bpm_events":[{"y":0}]})", info + R"("stop_events":[{"y":0,"duration":-5}]})",
        info + R"("sound_channels":{}})", info + R"("sound_channels":[1]})", info + R"("sound_channels":[{"name":7}]})",
        note(R"({"x":1})"), note(R"({"y":-0.5})"), note(R"({"y":1e30})"), note(R"({"y":1e400})"), note(R"({"y":NaN})"),
        note(R"({"y":0,"c":1})"), note(R"({"y":0,"x":"1"})"), note(R"({"y":0,"l":-1})"), note(R"({"y":0})") + "\xff",
        info + R"("bga":)" + std::string(64, '[') + std::string(64, ']') + "}",
        "{\"info\":{\"title\":\"\xff\"}}", note(R"({"y":0)"),
        // A tiny resolution makes a small pulse enormous.
        R"({"info":{"resolution":1e-300},"sound_channels":[{"name":"a","notes":[{"y":1}]}]})",
    };
    bad.push_back(R"({"info":{},"bga":)" + std::string(size_t{100} << 20, '['));  // 100 MB of nesting
    for (const std::string& text : bad) {
        SCOPED_TRACE(text.substr(0, 120));
        ChartModel model;
        ParseChartBytes(model, text, "/c/x.bmson", ParseHooks{});
        EXPECT_EQ(model.EventCount, 0);
        EXPECT_FALSE(model.Extended.active);
        ChartInfo entry;
        ScanHeaderBytes(text, "/c/x.bmson", entry);
        ChartInfo empty;
        empty.FilePath = "/c/x.bmson";
        EXPECT_EQ(entry, empty);
    }
    // What the format leaves open is read, not refused: no resolution or one not positive
    // (240), a lane of null, members unknown or ignored however deep (within reason).
    for (const std::string& text : std::vector<std::string>{
             info + R"("sound_channels":[{"name":"a","notes":[{"y":240,"x":null}]}]})",
          R"({"info":{"init_bpm":120,"resolution":0,"extra":{"a":[1,{"b":null}]}},"bga":{"x":[[[]]]},)"
          R"("sound_channels":[{"name":"a","notes":[{"y":240,"x":0,"l":0,"c":false,"z":"?"}]}]})",
          R"({"info":{"init_bpm":120,"resolution":-480},"sound_channels":[{"name":"a","notes":[{"y":240}]}]})"}) {
        ChartModel model;
        ParseChartBytes(model, text, "/c/x.bmson", ParseHooks{});
        ASSERT_TRUE(model.Extended.active) << text;
        EXPECT_EQ(model.Events[1].Channel, kChannelBackground);
        EXPECT_EQ(model.Extended.ExactTick[1], 48.0);
    }
}

TEST(Bmson, ContinuationNotesStartAtTheClockLinesTimeSinceTheirChannelsRestart) {
    ChartModel model;
    ParseChartFile(model, kData + "sliced.bmson", ParseHooks{});
    std::vector<double> slices;
    for (size_t i = 0; i < model.Events.size(); ++i)
        if (model.Events[i].Channel == kChannelBackground || model.Events[i].Channel == 12)
            slices.push_back(model.Extended.SliceAt(i));
    // 400 and 800 at 150 BPM; 1200 across the change to 300 BPM and a stop of 200 ms;
    // the restart; 200 after it. The other channel's first note has nothing to continue.
    EXPECT_EQ(slices, (std::vector<double>{0, 400, 800, 0, 1200, 0, 200}));
}

TEST(Bmson, ThousandsOfChannelsEachHaveTheirSlot) {
    std::string text = R"({"info":{"init_bpm":120},"sound_channels":[)";
    constexpr int kChannels = 5000;
    for (int k = 0; k < kChannels; ++k) {
        text += k ? R"(,{"name":"s)" : R"({"name":"s)";
        text += std::to_string(k) + R"(.wav","notes":[{"x":)" + std::to_string(k % 10);
        text += R"(,"y":)" + std::to_string(k * 60) + "}]}";
    }
    text += "]}";
    ChartModel model;
    std::vector<int> loads;
    ParseHooks hooks;
    hooks.loadSoundsWhileParsing = true;
    hooks.LoadKeySound = [&](int w) { loads.push_back(w); };
    ParseChartBytes(model, text, "/c/x.bmson", hooks);
    ASSERT_EQ(model.SlotCount(), kChannels + 1);
    EXPECT_EQ(model.WavFile[kChannels], "/c/s4999.wav");
    ASSERT_EQ(loads.size(), size_t{kChannels});
    EXPECT_EQ(loads.back(), kChannels);
    int notes = 0;
    for (const ChartEvent& e : model.Events) notes += e.Channel != kChannelBarLine;
    EXPECT_EQ(notes, kChannels);
    EXPECT_EQ(model.Events[model.Events.size() - 3].Value, kChannels);  // then the last two bar lines
}

}  // namespace
}  // namespace jov
