#pragma once
// The application core of playback: the loaded chart, the engine state, the key-sound
// slots and the play loop, wired together. The jukebox and the windows drive it; the
// tool and the tests build their own.
//
// Lifecycle: construct with the shell, the clock and the (optional) sound and MIDI
// devices, which must outlive it; LoadChart, then PlaceStart (or SeekTo), then
// RunPlayLoop, which blocks until the chart ends or StopRequest is set. Window
// reactions that run inside the host's PumpEvents may call SeekTo or set StopRequest.
#include <cstdint>
#include <string>

#include "engine/chart_loader.h"
#include "chart/chart_model.h"
#include "chart/extended_reader.h"
#include "engine/engine_state.h"
#include "engine/key_sounds.h"
#include "engine/play_loop.h"

namespace jov {

class Clock;
class MidiDevice;
class Shell;
class SoundDevice;

class Player {
public:
    Player(Shell& shell, Clock& clock, SoundDevice* sound, MidiDevice* midi);
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    ChartModel& Model() { return model_; }
    EngineState& State() { return state_; }
    KeySounds& Sounds() { return sounds_; }
    PlayEngine& Engine() { return engine_; }
    ChartContext& Context() { return context_; }
    // Classic or Extended reading of the charts this player loads.
    ChartReading& Reading() { return reading_; }
    Clock& GetClock() { return clock_; }
    Shell& GetShell() { return shell_; }

    void SetHost(PlayHost* host) { engine_.SetHost(host); }

    // Makes the file the loaded chart (reset, parse, timing pass, MIDI open). False when
    // it could not be loaded: the file check failed, or the load ran out of memory (the
    // chart is then empty and the status line says so, as for a missing file).
    bool LoadChart(const std::string& path);
    // Empties the loaded chart and silences it (after a failure in the middle of play).
    void DropChart();
    // Start of a chart played from its beginning; does nothing unless CurrentTick is 0.
    bool PlaceStart();
    bool SeekTo(int32_t target, bool byTick) { return engine_.SeekTo(target, byTick); }
    // A failure inside the loop (out of memory loading a sound) ends the chart as one
    // that failed to load, with the loop's timers stopped.
    void RunPlayLoop();
    void UpdatePlay() { engine_.UpdatePlay(); }
    // Silences every key sound (the Stop button).
    void StopSounds() { sounds_.StopAll(); }
    // Shutdown: releases every key-sound buffer.
    void ReleaseSound() { sounds_.ReleaseSound(); }

private:
    Shell& shell_;
    Clock& clock_;
    ChartModel model_;
    EngineState state_;
    KeySounds sounds_;
    PlayEngine engine_;
    ChartReading reading_;
    ChartContext context_;
};

}  // namespace jov
