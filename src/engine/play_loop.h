#pragma once
// The play loop: one clock pass (UpdatePlay) repeated with drawing, the window's
// event pump and a sleep until the chart has ended or a stop is asked for.
#include <cstdint>

#include "engine/status_readout.h"

namespace jov {

class Clock;
class KeySounds;
class Shell;
struct ChartEvent;
struct ChartModel;
struct EngineState;

constexpr int kPlayTimerId = 50;    // 10 ms, PlayTimerProc
constexpr int kStatusTimerId = 51;  // 200 ms, StatusTimerProc

// What the window provides to the loop. Every member defaults to doing nothing, which
// is what the command-line tool needs.
class PlayHost {
public:
    virtual ~PlayHost() = default;
    // Runs pending window events (clicks, timers; may call back into the engine).
    virtual void PumpEvents() {}
    // Periodic callbacks on the window's thread: the window calls PlayTimerProc(id) for
    // kPlayTimerId and StatusTimerProc() for kStatusTimerId until StopTimer(id).
    virtual void StartTimer(int /*id*/, int /*intervalMs*/) {}
    virtual void StopTimer(int /*id*/) {}
    virtual void UpdateBeatDisplay() {}
    virtual void DrawNotes() {}
    virtual void DrawStatus(const StatusReadout& /*readout*/) {}
};

// Sees each event as the pass handles it (after its sound, if any, was triggered).
class DispatchListener {
public:
    virtual ~DispatchListener() = default;
    virtual void OnDispatch(const ChartEvent& event, bool sounded) = 0;
};

class PlayEngine {
public:
    PlayEngine(ChartModel& model, EngineState& engine, KeySounds& sounds, Clock& clock, Shell& shell);

    void SetHost(PlayHost* host);
    PlayHost& Host() { return *host_; }
    void SetDispatchListener(DispatchListener* listener) { listener_ = listener; }

    // Blocks until the chart has ended or StopRequest is set. Starts from the clock
    // state the last seek left.
    void RunPlayLoop();
    // One clock pass: clock, dispatch, look-ahead loading, end test.
    void UpdatePlay();
    // Callback of the 10 ms timer.
    void PlayTimerProc(int timerId);
    // Callback of the 200 ms timer: hands the readout to the host.
    void StatusTimerProc();
    // Puts clock, tempo and cursor at a tick (byTick) or at a measure's bar line.
    // False when the target was rejected (nothing changed).
    bool SeekTo(int32_t target, bool byTick);

    // Passes run by the current or last RunPlayLoop (timer passes not counted).
    int64_t LoopPasses() const { return loopPasses_; }

    // For a virtual clock: how many of the passes that follow, one every stepMs after
    // nowMs (the pass just run), would neither dispatch, load nor end anything.
    int64_t IdlePassesAhead(int64_t nowMs, int64_t stepMs) const;
    // Counts passes the caller jumped over (with its clock) as run.
    void CountSkippedPasses(int64_t n) { loopPasses_ += n; }

private:
    void Dispatch(const ChartEvent& e);
    // Dispatch of the Extended reading: exact ticks, any tempo, stops, long notes. True
    // when the event moved the clock line (a tempo change or a stop).
    bool DispatchExtended(int32_t i);
    void ApplyTempoChange(const ChartEvent& e);
    void LookAhead();

    ChartModel& model_;
    EngineState& engine_;
    KeySounds& sounds_;
    Clock& clock_;
    Shell& shell_;
    PlayHost defaultHost_;
    PlayHost* host_;
    DispatchListener* listener_ = nullptr;
    int64_t loopPasses_ = 0;
};

}  // namespace jov
