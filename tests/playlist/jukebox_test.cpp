#include "playlist/jukebox.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <new>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "playlist/playlist.h"
#include "shell/status.h"

namespace jov {
namespace {

namespace fs = std::filesystem;

// Records what the jukebox does to the window; the timer is a flag the test fires.
struct Window : JukeboxWindow {
    bool timer = false;
    std::vector<int> selected;
    std::vector<bool> pictures;
    std::function<void()> pump;
    std::function<void(int)> onSelect;
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
};

// A player that records loads and runs each "play loop" through a callback.
struct FakePlayer : JukeboxPlayer {
    EngineState state;
    std::string now;
    std::vector<std::string> loads;
    std::vector<std::pair<int32_t, bool>> seeks;
    int midiStops = 0;
    int soundStops = 0;
    std::function<void()> duringLoop;
    bool endsAtOnce = false;   // every chart ends in its first pass
    std::string throwOn;       // loading this path runs out of memory
    int dropped = 0;
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
    fs::path dir = fs::temp_directory_path() / "jukebox_test" / std::to_string(::getpid());
    Shell shell;
    PlayList list{shell};
    Window window;
    FakePlayer player;
    std::vector<std::string> captions;
    Jukebox box{list, player, window, [this](const std::string& c) { captions.push_back(c); }};

    explicit Rig(int entries) {
        fs::create_directories(dir);
        for (int i = 1; i <= entries; ++i) {
            fs::path p = dir / ("c" + std::to_string(i) + ".bms");
            std::ofstream(p) << "#TITLE c" << i << "\r\n";
            list.AddPlayListEntry(p.string());
        }
        box.makeplaytable();
    }
    ~Rig() { fs::remove_all(dir); }
    std::string Path(int i) const { return (dir / ("c" + std::to_string(i) + ".bms")).string(); }
    // Fires the timer while it is armed, at most n times.
    void Run(int n) {
        for (int i = 0; i < n && window.timer; ++i) box.OnNextPlayTimer();
    }
};

TEST(Jukebox, PlaysInListOrderAndWraps) {
    Rig r(3);
    r.box.OnListClick(0);  // as a click on the first line
    r.Run(7);
    EXPECT_EQ(r.player.loads, (std::vector<std::string>{r.Path(1), r.Path(2), r.Path(3), r.Path(1), r.Path(2),
                                                        r.Path(3), r.Path(1)}));
    EXPECT_EQ(r.window.selected, (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
    EXPECT_EQ(r.captions.front(), "next...");
    EXPECT_FALSE(r.player.state.IsPlaying);
    // Each step shows the running picture, then the idle one.
    EXPECT_EQ(r.window.pictures.size(), 14u);
    EXPECT_FALSE(r.window.pictures.back());
}

TEST(Jukebox, StopEndsTheLoopAndArmsNothing) {
    Rig r(3);
    r.player.duringLoop = [&] { r.box.OnStopClick(); };
    r.box.OnPlayClick();
    r.Run(5);
    EXPECT_FALSE(r.window.timer);
    EXPECT_FALSE(r.box.UserStop);
    EXPECT_EQ(r.player.soundStops, 1);
    // Stop rewinds to measure 0; with the loop still running the loop's end stops the MIDI.
    EXPECT_EQ(r.player.seeks.back(), (std::pair<int32_t, bool>{0, false}));
    EXPECT_EQ(r.player.midiStops, 0);

    // Stop with nothing playing silences the background the rewind restarted.
    r.player.duringLoop = nullptr;
    r.box.OnStopClick();
    EXPECT_EQ(r.player.midiStops, 1);
    // ... and has no lasting effect: the next Play plays on.
    r.box.OnPlayClick();
    r.Run(1);
    EXPECT_TRUE(r.window.timer);
}

TEST(Jukebox, ListClickWhilePlayingPlaysThatEntryNext) {
    Rig r(5);
    int loops = 0;
    r.player.duringLoop = [&] {
        if (++loops == 1) r.box.OnListClick(2);  // third line, during the first chart
    };
    r.window.pump = [&] { EXPECT_TRUE(r.player.state.StopRequest); };
    r.box.OnListClick(0);
    r.Run(3);
    EXPECT_EQ(r.player.loads, (std::vector<std::string>{r.Path(1), r.Path(3), r.Path(4)}));
}

TEST(Jukebox, ShuffledClickContinuesInTheShuffledOrder) {
    Rig r(6);
    r.box.SetRandom(true);
    std::vector<int32_t> table = r.box.PlayTable;
    // Click the line of the entry at shuffled position 3.
    int line = table[3] - 1;
    r.box.OnListClick(line);
    EXPECT_EQ(r.list.PlayOrderIndex, 2);
    r.Run(2);
    EXPECT_EQ(r.player.loads, (std::vector<std::string>{r.Path(table[3]), r.Path(table[4])}));

    // The same seed gives the same shuffle in a fresh run.
    Rig again(6);
    again.box.SetRandom(true);
    EXPECT_EQ(again.box.PlayTable, table);
    std::vector<int32_t> sorted(table.begin() + 1, table.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
}

TEST(Jukebox, NestedFiringWaitsForTheRunningStep) {
    Rig r(3);
    int depth = 0, maxDepth = 0;
    r.player.duringLoop = [&] {
        maxDepth = std::max(maxDepth, ++depth);
        if (r.player.loads.size() == 1) {
            r.box.OnListClick(2);  // arms the timer inside the loop ...
            r.box.OnNextPlayTimer();  // ... and the timer fires inside the pump
            EXPECT_FALSE(r.window.timer);
        }
        --depth;
    };
    r.box.OnListClick(0);
    r.Run(1);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(r.player.loads.size(), 1u);
    EXPECT_TRUE(r.window.timer);  // the held-back firing comes once the step has returned
    r.Run(1);
    EXPECT_EQ(r.player.loads.back(), r.Path(3));
}

TEST(Jukebox, EmptyListAfterClearGoesIdleQuietly) {
    Rig r(3);
    r.player.duringLoop = [&] {
        if (r.player.loads.size() == 1) r.list.ClearPlayList();
    };
    r.box.OnListClick(0);
    r.Run(3);
    EXPECT_EQ(r.player.loads.size(), 1u);
    EXPECT_FALSE(r.window.timer);
    // A table left from before the clear is not read.
    EXPECT_EQ(r.box.PlayTable.size(), 4u);
}

TEST(Jukebox, DeletedLinesRestartTheTableFromTheTop) {
    Rig r(4);
    r.box.OnListClick(3);  // plays entry 4, PlayOrderIndex 4
    r.Run(1);
    r.list.RemovePlayListEntry(3);
    r.list.RemovePlayListEntry(2);
    r.box.makeplaytable();
    r.Run(1);
    EXPECT_EQ(r.player.loads.back(), r.Path(1));
}

TEST(Jukebox, AWholePassOfMissingFilesStops) {
    Rig r(3);
    for (int i = 1; i <= 3; ++i) fs::remove(r.Path(i));  // listed, then deleted from disk
    r.box.OnListClick(0);
    r.Run(10);
    EXPECT_EQ(r.player.loads.size(), 3u);
    EXPECT_FALSE(r.window.timer);
    // One readable file among them keeps the jukebox going.
    std::ofstream(r.Path(2)) << "#TITLE x\r\n";
    r.box.OnListClick(0);
    r.Run(9);
    EXPECT_EQ(r.player.loads.size(), 12u);
    EXPECT_TRUE(r.window.timer);
}

TEST(Jukebox, ChartsThatPlayNothingOrFailGoIdleAndStopHoldsTheArmedStep) {
    // Every chart ends at once (no tempo): one pass through the list, then Idle.
    Rig r(3);
    r.player.endsAtOnce = true;
    r.box.OnListClick(0);
    r.Run(100);
    EXPECT_EQ(r.player.loads.size(), 3u);
    EXPECT_FALSE(r.window.timer);
    // ... unless a click on the list cut the chart short.
    Rig one(1);
    one.player.endsAtOnce = true;
    one.player.duringLoop = [&] {
        if (one.player.loads.size() == 1) one.box.OnListClick(0);
    };
    one.box.OnListClick(0);
    one.Run(3);
    EXPECT_EQ(one.player.loads.size(), 2u);

    // A load that throws counts as a failed load; the jukebox is not left inside a step.
    Rig t(2);
    t.player.throwOn = t.Path(1);
    t.box.OnListClick(0);
    t.Run(2);
    EXPECT_EQ(t.player.loads, (std::vector<std::string>{t.Path(1), t.Path(2)}));
    EXPECT_EQ(t.player.dropped, 1);
    EXPECT_FALSE(t.box.InStep());
    EXPECT_TRUE(t.window.timer);

    // Stop between two charts: the armed step does not come.
    t.box.OnStopClick();
    EXPECT_FALSE(t.window.timer);
}

TEST(Jukebox, PlayResumesTheLoadedChartFromWhereItStands) {
    Rig r(2);
    r.box.OnListClick(0);
    r.Run(1);
    r.player.state.CurrentTick = 383.6;
    r.box.OnPlayClick();
    EXPECT_TRUE(r.box.ResumeCurrent);
    EXPECT_EQ(r.player.seeks.back(), (std::pair<int32_t, bool>{384, true}));
    size_t loads = r.player.loads.size();
    r.window.timer = true;
    r.box.OnNextPlayTimer();
    EXPECT_EQ(r.player.loads.size(), loads);  // no advance
    EXPECT_FALSE(r.box.ResumeCurrent);

    // Play while playing does nothing.
    r.player.state.IsPlaying = true;
    r.window.timer = false;
    r.box.OnPlayClick();
    EXPECT_FALSE(r.window.timer);
}

TEST(Jukebox, OwnSelectionIsNotTakenForAClick) {
    Rig r(3);
    r.window.onSelect = [&](int line) { r.box.OnListClick(line); };
    r.box.OnListClick(1);
    r.Run(1);
    EXPECT_EQ(r.list.PlayOrderIndex, 2);
    EXPECT_FALSE(r.player.state.StopRequest);
}

}  // namespace
}  // namespace jov
