#include "playlist/jukebox.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "playlist/play_order.h"
#include "playlist/playlist.h"
#include "playlist/song_groups.h"

namespace jov {

Jukebox::Jukebox(PlayList& list, JukeboxPlayer& player, JukeboxWindow& window,
                 std::function<void(const std::string&)> setCaption)
    : list_(list), player_(player), window_(window), setCaption_(std::move(setCaption)) {}

void Jukebox::OnNextPlayTimer() {
    window_.SetNextPlayTimer(false);
    if (inStep_ || held_ > 0) {
        // Fired inside the running step's event pump: run it once that step has returned.
        deferred_ = true;
        return;
    }
    inStep_ = true;
    Step();
    inStep_ = false;
    if (deferred_) {
        deferred_ = false;
        window_.SetNextPlayTimer(true);
    }
}

void Jukebox::Hold(bool on) {
    held_ += on ? 1 : -1;
    if (held_ == 0 && deferred_ && !inStep_) {
        deferred_ = false;
        window_.SetNextPlayTimer(true);
    }
}

bool Jukebox::Advance() {
    setCaption_("next...");
    int32_t count = list_.PlayListCount();
    if (count <= 0) return false;
    int32_t entry = 0;
    // Charts of a song other than its chosen one are passed over; a whole pass at most.
    for (int32_t tries = 0;; ++tries) {
        if (list_.PlayOrderIndex >= count || list_.PlayOrderIndex < 0 ||
            PlayTable.size() != static_cast<size_t>(count) + 1) {
            makeplaytable();
            list_.PlayOrderIndex = 0;
        }
        list_.PlayOrderIndex += 1;
        entry = PlayTable[static_cast<size_t>(list_.PlayOrderIndex)];
        if (playClicked_ || tries >= count || !Skipped(entry)) break;
    }
    playClicked_ = false;
    SelectingLine = true;
    window_.SelectLine(entry - 1);
    SelectingLine = false;

    // The list may have changed inside the selection's events; read the entry afresh.
    const auto& entries = list_.PlayListEntries();
    std::string path;
    if (entry >= 1 && static_cast<size_t>(entry) < entries.size()) path = entries[static_cast<size_t>(entry)].FilePath;
    const bool loaded = player_.LoadChart(path);
    window_.RestartMarquee(window_.TitleTextWidth(player_.NowPlaying()));
    if (onChartStart && loaded) onChartStart(path, NextPath());
    return loaded;
}

std::string Jukebox::NextPath() const {
    const auto& entries = list_.PlayListEntries();
    const size_t next = static_cast<size_t>(list_.PlayOrderIndex) + 1;
    const int32_t entry = next < PlayTable.size() ? PlayTable[next] : PlayTable.size() > 1 ? PlayTable[1] : 0;
    if (entry >= 1 && static_cast<size_t>(entry) < entries.size()) return entries[static_cast<size_t>(entry)].FilePath;
    return {};
}

void Jukebox::PlayOnce(StepResult& result) {
    // Play with nothing loaded yet resumes no chart: that says nothing about the list.
    const bool noChart = ResumeCurrent && !player_.HasChart();
    const bool loaded = ResumeCurrent || Advance();
    ResumeCurrent = false;
    UserStop = false;

    player_.PlaceStart();
    window_.ShowRunningPicture(true);
    player_.RunPlayLoop();
    result = noChart ? StepResult::NoChart : loaded && !player_.EndedAtOnce() ? StepResult::Played : StepResult::Silent;
}

void Jukebox::Step() {
    if (!ResumeCurrent && list_.PlayListCount() <= 0) {
        // Nothing to play (the list was cleared while a chart played): stop quietly.
        UserStop = false;
        silentSteps_ = 0;
        return;
    }
    StepResult result = StepResult::Silent;
    try {
        PlayOnce(result);
    } catch (...) {
        // Out of memory in a load, say: the chart counts as one that failed to load,
        // and the jukebox goes on (an escaped exception would leave it stuck).
        ResumeCurrent = false;
        player_.DropChart();
    }
    window_.ShowRunningPicture(false);
    player_.State().IsPlaying = false;
    window_.UpdateBeatDisplay();

    // A chart cut short by a click on the list did not end by itself.
    if (result != StepResult::NoChart) silentSteps_ = result == StepResult::Played || listClicked_ ? 0 : silentSteps_ + 1;
    listClicked_ = false;
    const bool nothingPlays = silentSteps_ >= list_.PlayListCount();
    if (UserStop || nothingPlays) {
        UserStop = false;
        silentSteps_ = 0;
        return;
    }
    window_.SetNextPlayTimer(true);
}

void Jukebox::OnPlayClick() {
    EngineState& s = player_.State();
    if (s.IsPlaying) return;
    double t = std::nearbyint(s.CurrentTick);
    if (t >= INT32_MIN && t <= INT32_MAX) player_.SeekTo(static_cast<int32_t>(t), true);
    ResumeCurrent = true;
    silentSteps_ = 0;
    window_.SetNextPlayTimer(true);
}

void Jukebox::OnStopClick() {
    EngineState& s = player_.State();
    UserStop = true;
    s.StopRequest = true;
    player_.StopSounds();
    list_.UpdatePlayListCaption();
    player_.SeekTo(0, false);
    // With no loop running, nothing else would silence the background the rewind restarted.
    if (!s.IsPlaying) player_.StopMidi();
    // Between two charts the next step is already armed: Stop holds it back too.
    window_.SetNextPlayTimer(false);
    deferred_ = false;
}

void Jukebox::makeplaytable() {
    jov::makeplaytable(PlayTable, list_.PlayListCount(), random_, rng_);
    songsStale_ = true;
}

void Jukebox::SetOneChartPerSong(bool on) {
    oneChartPerSong_ = on;
    songsStale_ = true;
}

bool Jukebox::Skipped(int32_t entry) {
    if (!oneChartPerSong_) return false;
    if (songsStale_ || chosen_.size() != list_.PlayListEntries().size()) {
        chosen_ = ChosenCharts(list_.PlayListEntries(), list_.SoundingObjects());
        songsStale_ = false;
    }
    return entry >= 1 && static_cast<size_t>(entry) < chosen_.size() && !chosen_[static_cast<size_t>(entry)];
}

void Jukebox::Reordered(const std::vector<int32_t>& order) {
    const int32_t at = list_.PlayOrderIndex;
    const int32_t old = at >= 1 && static_cast<size_t>(at) < PlayTable.size() ? PlayTable[static_cast<size_t>(at)] : 0;
    makeplaytable();
    int32_t now = 0;
    for (size_t k = 0; k < order.size(); ++k)
        if (order[k] == old) now = static_cast<int32_t>(k) + 1;
    list_.PlayOrderIndex = 0;
    for (size_t i = 1; i < PlayTable.size(); ++i)
        if (now != 0 && PlayTable[i] == now) list_.PlayOrderIndex = static_cast<int32_t>(i);
}

void Jukebox::SetRandom(bool ticked) {
    random_ = ticked;
    makeplaytable();
}

void Jukebox::OnListClick(int line) {
    if (SelectingLine) return;
    EngineState& s = player_.State();
    if (s.IsPlaying) {
        s.StopRequest = true;
        window_.PumpEvents();
    }
    list_.PlayOrderIndex = line;
    if (random_) {
        for (size_t i = 1; i < PlayTable.size(); ++i) {
            if (int64_t{PlayTable[i]} == int64_t{line} + 1) {
                list_.PlayOrderIndex = static_cast<int32_t>(i) - 1;
                break;
            }
        }
    }
    silentSteps_ = 0;
    listClicked_ = inStep_;
    playClicked_ = true;
    window_.SetNextPlayTimer(true);
}

}  // namespace jov
