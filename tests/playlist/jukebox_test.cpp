#include "playlist/jukebox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "../test_util.h"
#include "playlist/playlist.h"
#include "shell/status.h"

namespace jov {
namespace {

namespace fs = std::filesystem;

// Window and player in one: records what the jukebox does; the timer is a flag the test
// fires; each "play loop" runs a callback.
struct Fake : JukeboxWindow, JukeboxPlayer {
    bool timer = false;
    std::vector<int> selected;
    std::vector<bool> pictures;
    std::function<void()> pump, duringLoop;
    std::function<void(int)> onSelect;
    EngineState state;
    std::string now;
    std::vector<std::string> loads;
    std::vector<std::pair<int32_t, bool>> seeks;
    int midiStops = 0, soundStops = 0, dropped = 0;
    bool endsAtOnce = false;  // every chart ends in its first pass
    std::string throwOn;      // loading this path runs out of memory

    void SetNextPlayTimer(bool enabled) override { timer = enabled; }
    void SelectLine(int line) override {
        selected.push_back(line);
        if (onSelect) onSelect(line);
    }
    void ShowRunningPicture(bool running) override { pictures.push_back(running); }
    double TitleTextWidth(const std::string& text) override { return static_cast<double>(text.size()) * 4; }
    void RestartMarquee(double) override {}
    void PumpEvents() override {
        if (pump) pump();
    }
    void UpdateBeatDisplay() override {}
    EngineState& State() override { return state; }
    const std::string& NowPlaying() override { return now; }
    bool EndedAtOnce() override { return endsAtOnce; }
    void DropChart() override { ++dropped; }
    bool LoadChart(const std::string& path) override {
        loads.push_back(path);
        if (path == throwOn) throw std::bad_alloc();
        now = path;
        state.CurrentTick = 0;
        return fs::is_regular_file(path);
    }
    void PlaceStart() override {}
    bool SeekTo(int32_t target, bool byTick) override {
        seeks.emplace_back(target, byTick);
        return true;
    }
    void RunPlayLoop() override {
        state.IsPlaying = true;
        state.StopRequest = false;
        if (duringLoop) duringLoop();
    }
    void StopSounds() override { ++soundStops; }
    void StopMidi() override { ++midiStops; }
};

struct Rig {
    jovtest::TempDir dir;
    Shell shell;
    PlayList list{shell};
    Fake f;
    std::vector<std::string> captions;
    Jukebox box{list, f, f, [this](const std::string& c) { captions.push_back(c); }};

    explicit Rig(int entries) {
        for (int i = 1; i <= entries; ++i) list.AddPlayListEntry(dir.Write(Name(i), "#TITLE c\r\n"));
        box.makeplaytable();
    }
    static std::string Name(int i) { return "c" + std::to_string(i) + ".bms"; }
    std::string Path(int i) const { return dir / Name(i); }
    std::vector<std::string> Paths(std::initializer_list<int> ids) const {
        std::vector<std::string> out;
        for (int i : ids) out.push_back(Path(i));
        return out;
    }
    // Fires the timer while it is armed, at most n times.
    void Run(int n) {
        for (int i = 0; i < n && f.timer; ++i) box.OnNextPlayTimer();
    }
};

TEST(Jukebox, PlaysInListOrderWrapsAndItsOwnSelectionIsNoClick) {
    Rig r(3);
    r.f.onSelect = [&](int line) { r.box.OnListClick(line); };
    r.box.OnListClick(0);  // as a click on the first line
    r.Run(7);
    EXPECT_EQ(r.f.loads, r.Paths({1, 2, 3, 1, 2, 3, 1}));
    EXPECT_EQ(r.f.selected, (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
    EXPECT_EQ(r.captions.front(), "next...");
    EXPECT_FALSE(r.f.state.IsPlaying || r.f.state.StopRequest);
    EXPECT_EQ(r.f.pictures.size(), 14u);  // running, then idle, at each step
    EXPECT_FALSE(r.f.pictures.back());
}

TEST(Jukebox, StopEndsTheLoopArmsNothingAndPlayResumesWhereTheChartStands) {
    Rig r(3);
    r.f.duringLoop = [&] { r.box.OnStopClick(); };
    r.box.OnPlayClick();
    r.Run(5);
    EXPECT_FALSE(r.f.timer || r.box.UserStop);
    EXPECT_EQ(r.f.soundStops, 1);
    // Stop rewinds to measure 0; with the loop still running the loop's end stops the MIDI.
    EXPECT_EQ(r.f.seeks.back(), (std::pair<int32_t, bool>{0, false}));
    EXPECT_EQ(r.f.midiStops, 0);
    // Stop with nothing playing silences the background the rewind restarted.
    r.f.duringLoop = nullptr;
    r.box.OnStopClick();
    EXPECT_EQ(r.f.midiStops, 1);

    r.f.state.CurrentTick = 383.6;
    r.box.OnPlayClick();  // no lasting effect of the stop: resumes from tick 384
    EXPECT_TRUE(r.box.ResumeCurrent);
    EXPECT_EQ(r.f.seeks.back(), (std::pair<int32_t, bool>{384, true}));
    const size_t loads = r.f.loads.size();
    r.Run(1);
    EXPECT_EQ(r.f.loads.size(), loads);  // no advance
    EXPECT_FALSE(r.box.ResumeCurrent);
    r.f.state.IsPlaying = true;  // play while playing does nothing
    r.f.timer = false;
    r.box.OnPlayClick();
    EXPECT_FALSE(r.f.timer);
}

TEST(Jukebox, ListClickWhilePlayingPlaysThatEntryNextAndShuffledClicksFollowTheShuffle) {
    Rig r(5);
    int loops = 0;
    r.f.duringLoop = [&] {
        if (++loops == 1) r.box.OnListClick(2);  // third line, during the first chart
    };
    r.f.pump = [&] { EXPECT_TRUE(r.f.state.StopRequest); };
    r.box.OnListClick(0);
    r.Run(3);
    EXPECT_EQ(r.f.loads, r.Paths({1, 3, 4}));

    Rig s(6);
    s.box.SetRandom(true);
    const std::vector<int32_t> table = s.box.PlayTable;
    s.box.OnListClick(table[3] - 1);  // the line of the entry at shuffled position 3
    EXPECT_EQ(s.list.PlayOrderIndex, 2);
    s.Run(2);
    EXPECT_EQ(s.f.loads, s.Paths({table[3], table[4]}));
    Rig again(6);  // the same seed gives the same shuffle in a fresh run
    again.box.SetRandom(true);
    EXPECT_EQ(again.box.PlayTable, table);
}

TEST(Jukebox, NestedFiringWaitsForTheRunningStep) {
    Rig r(3);
    int depth = 0, maxDepth = 0;
    r.f.duringLoop = [&] {
        maxDepth = std::max(maxDepth, ++depth);
        if (r.f.loads.size() == 1) {
            r.box.OnListClick(2);     // arms the timer inside the loop ...
            r.box.OnNextPlayTimer();  // ... and the timer fires inside the pump
            EXPECT_FALSE(r.f.timer);
        }
        --depth;
    };
    r.box.OnListClick(0);
    r.Run(1);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(r.f.loads.size(), 1u);
    EXPECT_TRUE(r.f.timer);  // the held-back firing comes once the step has returned
    r.Run(1);
    EXPECT_EQ(r.f.loads.back(), r.Path(3));
}

TEST(Jukebox, ClearedDeletedAndMissingEntriesNeitherHangNorReadStaleTables) {
    Rig r(3);
    r.f.duringLoop = [&] {
        if (r.f.loads.size() == 1) r.list.ClearPlayList();
    };
    r.box.OnListClick(0);
    r.Run(3);
    EXPECT_EQ(r.f.loads.size(), 1u);
    EXPECT_FALSE(r.f.timer);
    EXPECT_EQ(r.box.PlayTable.size(), 4u);  // the table from before the clear is not read

    Rig d(4);
    d.box.OnListClick(3);  // plays entry 4, PlayOrderIndex 4
    d.Run(1);
    d.list.RemovePlayListEntry(3);
    d.list.RemovePlayListEntry(2);
    d.box.makeplaytable();
    d.Run(1);
    EXPECT_EQ(d.f.loads.back(), d.Path(1));  // restarts from the top

    Rig m(3);
    for (int i = 1; i <= 3; ++i) fs::remove(m.Path(i));  // listed, then deleted from disk
    m.box.OnListClick(0);
    m.Run(10);
    EXPECT_EQ(m.f.loads.size(), 3u);  // one whole pass, then it stops
    EXPECT_FALSE(m.f.timer);
    m.dir.Write(Rig::Name(2), "#TITLE x\r\n");  // one readable file keeps it going
    m.box.OnListClick(0);
    m.Run(9);
    EXPECT_EQ(m.f.loads.size(), 12u);
    EXPECT_TRUE(m.f.timer);
}

TEST(Jukebox, ChartsThatPlayNothingOrFailGoIdleAndStopHoldsTheArmedStep) {
    // Every chart ends at once (no tempo): one pass through the list, then Idle.
    Rig r(3);
    r.f.endsAtOnce = true;
    r.box.OnListClick(0);
    r.Run(100);
    EXPECT_EQ(r.f.loads.size(), 3u);
    EXPECT_FALSE(r.f.timer);
    // ... unless a click on the list cut the chart short.
    Rig one(1);
    one.f.endsAtOnce = true;
    one.f.duringLoop = [&] {
        if (one.f.loads.size() == 1) one.box.OnListClick(0);
    };
    one.box.OnListClick(0);
    one.Run(3);
    EXPECT_EQ(one.f.loads.size(), 2u);

    // A load that throws counts as a failed load; the jukebox is not left inside a step.
    Rig t(2);
    t.f.throwOn = t.Path(1);
    t.box.OnListClick(0);
    t.Run(2);
    EXPECT_EQ(t.f.loads, t.Paths({1, 2}));
    EXPECT_EQ(t.f.dropped, 1);
    EXPECT_FALSE(t.box.InStep());
    EXPECT_TRUE(t.f.timer);

    // Stop between two charts: the armed step does not come.
    t.box.OnStopClick();
    EXPECT_FALSE(t.f.timer);
}

}  // namespace
}  // namespace jov
