// What the tool cases (tests/data/cases/chart) cannot show: the load sequence's effect on
// engine and shell, state carried between loads, the sort's exact order, huge input.
#include <gtest/gtest.h>

#include "audio/cls_midi.h"
#include "chart/chart_timing.h"
#include "engine/chart_loader.h"
#include "engine/engine_state.h"
#include "shell/clock.h"
#include "shell/status.h"
#include "../test_util.h"

namespace jov {
namespace {

struct Loaded {
    ChartModel model;
    EngineState engine;
    Shell shell;
    VirtualClock clock{5000};
    std::vector<int> loads;
    int releases = 0;
    ChartContext ctx{model, engine, shell, clock, [this](int n) { loads.push_back(n); }, [this] { ++releases; }, nullptr};
    jovtest::TempDir dir;
    std::string Write(const std::string& name, const std::string& bytes) { return dir.Write(name, bytes); }
};

TEST(ChartLoad, SequenceMissingFilesAndWhatALoadForgets) {
    Loaded l;
    l.engine.NextEvent = 7;
    l.engine.ElapsedMs = 99;
    l.engine.WavLoadMode = 0;
    LoadChart(l.ctx, l.Write("a.bms", "#GENRE Techno\r\n#TITLE Song\r\n#ARTIST Someone\r\n#BPM 150\r\n#MIDIFILE bgm.mid\r\n"
                                      "#WAV02 a.wav\r\n#WAV01 b.wav\r\n#WAV02 c.wav\r\n"));
    EXPECT_EQ(l.shell.Caption(), "[Techno] Song / Someone - jov:01");
    ASSERT_NE(l.model.Midi, nullptr);
    EXPECT_EQ(l.model.Midi->FileName(), l.dir / "bgm.mid");
    EXPECT_EQ(l.engine.NextEvent + l.engine.ElapsedMs, 0);
    EXPECT_EQ(l.engine.StartTime, 5000);
    EXPECT_EQ(l.engine.CurrentBpm, 150.0f);
    EXPECT_EQ(l.loads, (std::vector<int>{2, 1, 2}));  // load mode 0 loads as it reads
    EXPECT_EQ(l.model.WavLoaded[2], 255);

    l.clock.Set(8000);
    LoadChart(l.ctx, l.dir / "missing.bms");
    EXPECT_EQ(l.shell.Caption(), "loading... - jov:01");
    EXPECT_EQ(l.shell.LastStatus(), "Err[not exist] :missing.bms");
    EXPECT_EQ(l.model.EventCount, 0);
    EXPECT_EQ(l.model.Midi, nullptr);
    EXPECT_EQ(l.model.NowPlaying, "[Techno] Song / Someone");  // kept from the previous chart
    EXPECT_EQ(l.engine.StartTime, 8000);
    // The previous chart's key sounds are forgotten.
    EXPECT_EQ(l.model.WavFile[2], "");
    EXPECT_EQ(l.model.WavLoaded[2], 0);
    EXPECT_GE(l.releases, 2);

    std::string garbage;
    for (uint32_t i = 0, x = 12345; i < 20000; ++i, x = x * 1103515245u + 12345u)
        garbage.push_back(static_cast<char>(x >> 24) ? static_cast<char>(x >> 24) : 1);  // a NUL would end the text
    LoadChart(l.ctx, l.Write("garbage.bms", garbage + "\r\n#TITLE \x83\x65\x83\x58\x83\x67\x80\r\n"));
    EXPECT_EQ(l.model.Chart.Title, "\u30c6\u30b9\u30c8\ufffd");
    EXPECT_GE(l.model.EventCount, 3);
}

TEST(ChartLoad, NoObjectIsDroppedFromAHugeChart) {
    std::string text = "#BPM 120\r\n", data;
    for (int k = 0; k < 100; ++k) data += "01";
    for (int measure = 0; measure < 420; ++measure) {
        char head[16];
        std::snprintf(head, sizeof head, "#%03d11:", measure);
        text += head + data + "\r\n";
    }
    Loaded l;
    LoadChart(l.ctx, l.Write("huge.bms", text));
    EXPECT_EQ(l.model.EventCount, 42000 + 422);
    EXPECT_EQ(l.model.LastTick, 421 * 192);
    for (int32_t i = 1; i < l.model.EventCount; ++i) ASSERT_LE(l.model.Events[i - 1].Tick, l.model.Events[i].Tick);
}

ChartEvent Ev(int32_t tick, int32_t label, int channel = 0) { return ChartEvent{0, tick, 0, channel, label}; }

// Both playing-time formulas are compared by the cases pt_*.parse against the scan case.
TEST(ChartTiming, EqualTicksEndInTheOrderOfTheExactSort) {
    // Worked by hand: pivot 0 from (1, 0, 0); swap A<->D; then (2,3) swaps C and A.
    // All equal: the first partition swaps the ends inward, the halves then swap again.
    const std::pair<std::vector<int32_t>, std::vector<int32_t>> cases[] = {
        {{1, 0, 1, 0}, {'D', 'B', 'A', 'C'}}, {{5, 5, 5, 5, 5}, {4, 5, 3, 1, 2}}, {{3, 1, 2, 1, 3, 0}, {6, 4, 2, 3, 1, 5}}};
    for (const auto& [ticks, order] : cases) {
        std::vector<ChartEvent> ev;
        for (size_t i = 0; i < ticks.size(); ++i) ev.push_back(Ev(ticks[i], ticks.size() == 4 ? 'A' + int(i) : int(i) + 1));
        SortEvents(ev);
        std::vector<int32_t> labels;
        for (const auto& e : ev) labels.push_back(e.Value);
        EXPECT_EQ(labels, order);
    }
}

}  // namespace
}  // namespace jov
