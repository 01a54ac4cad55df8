#pragma once
// The jukebox: plays the playlist one chart after another, driven by the window's
// one-shot timer timNextPlay. One firing is one step: pick the next entry, load it,
// place its start, run the play loop until the chart ends or is stopped, arm again.
// Play, Stop, the shuffle box and a click on a list line steer it through flags.
//
// The step blocks inside the play loop while the window's events run nested; a
// firing of the timer while a step is on the stack is held back and runs only
// after that step has returned.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "playlist/play_order.h"

namespace jov {

class PlayList;

// What the jukebox asks of the window.
class JukeboxWindow {
public:
    virtual ~JukeboxWindow() = default;
    // timNextPlay: enabled means "fire a step about 1 ms after the event loop is idle".
    virtual void SetNextPlayTimer(bool enabled) = 0;
    // Makes `line` the list's current line (this raises the list's click reaction).
    virtual void SelectLine(int line) = 0;
    // cmdPlay's picture: the green triangle while running, the black one when idle.
    virtual void ShowRunningPicture(bool running) = 0;
    // Width of the text in the title marquee's font and units.
    virtual double TitleTextWidth(const std::string& text) = 0;
    virtual void RestartMarquee(double titleWidth) = 0;
    virtual void PumpEvents() = 0;
    virtual void UpdateBeatDisplay() = 0;
};

// What the jukebox asks of the player (the loaded chart and the engine).
class JukeboxPlayer {
public:
    virtual ~JukeboxPlayer() = default;
    virtual EngineState& State() = 0;
    virtual const std::string& NowPlaying() = 0;
    // False when the chart's file could not be read (the chart is then empty).
    virtual bool LoadChart(const std::string& path) = 0;
    // Start of a chart played from its beginning (only when CurrentTick is 0).
    virtual void PlaceStart() = 0;
    virtual bool SeekTo(int32_t target, bool byTick) = 0;
    virtual void RunPlayLoop() = 0;
    // True when the last play loop ended in its first pass (no tempo, no events):
    // such a chart plays nothing.
    virtual bool EndedAtOnce() { return false; }
    // False while no chart is loaded (nothing yet, or the last one failed to load).
    virtual bool HasChart() { return true; }
    // Leaves the loaded chart empty after a failure in the middle of a step.
    virtual void DropChart() {}
    // Silences every key sound.
    virtual void StopSounds() = 0;
    // Silences the MIDI background, if the chart has one.
    virtual void StopMidi() = 0;
};

class Jukebox {
public:
    Jukebox(PlayList& list, JukeboxPlayer& player, JukeboxWindow& window,
            std::function<void(const std::string&)> setCaption);

    // The timer fired.
    void OnNextPlayTimer();
    void OnPlayClick();
    void OnStopClick();
    // The shuffle box changed (from the user or from the settings).
    void SetRandom(bool ticked);
    bool Random() const { return random_; }
    // The list's current line changed to `line` (counted from 0).
    void OnListClick(int line);

    // While held (a long drop), firings wait as they do while a step runs.
    void Hold(bool on);

    // Rebuilds the play order from the entry count and the shuffle box.
    void makeplaytable();
    // The automatic sequence plays one chart of each song (a click still plays any line).
    void SetOneChartPerSong(bool on);
    bool OneChartPerSong() const { return oneChartPerSong_; }
    // The list was put in the order `order` (new entry k was old entry order[k - 1]): the
    // play order follows, and the chart playing stays the one the sequence goes on from.
    void Reordered(const std::vector<int32_t>& order);

    bool InStep() const { return inStep_; }
    // Runs when a chart has been loaded to play from its beginning, before its start is
    // placed: its path, and the next chart's in play order ("" when there is none).
    std::function<void(const std::string& path, const std::string& next)> onChartStart;
    std::vector<int32_t> PlayTable{0};
    bool ResumeCurrent = false;
    bool SelectingLine = false;
    bool UserStop = false;

private:
    void Step();
    bool Advance();
    std::string NextPath() const;
    // What a step did: played a chart, played nothing, or resumed no chart at all.
    enum class StepResult { Played, Silent, NoChart };
    void PlayOnce(StepResult& result);

    PlayList& list_;
    JukeboxPlayer& player_;
    JukeboxWindow& window_;
    std::function<void(const std::string&)> setCaption_;
    bool random_ = false;
    bool inStep_ = false;
    bool deferred_ = false;
    int held_ = 0;
    // Steps that played nothing (the file could not be read or the chart ended at
    // once), one after another; a whole pass of them means nothing in the list plays.
    int32_t silentSteps_ = 0;
    bool listClicked_ = false;
    // The next advance plays the clicked line, whatever song it belongs to.
    bool playClicked_ = false;
    bool oneChartPerSong_ = false;
    bool songsStale_ = true;
    std::vector<bool> chosen_;
    bool Skipped(int32_t entry);
    RandomSource rng_;
};

}  // namespace jov
