#include "engine/play_loop.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "audio/cls_midi.h"
#include "chart/chart_model.h"
#include "shell/clock.h"
#include "engine/clock_line.h"
#include "engine/engine_math.h"
#include "engine/engine_state.h"
#include "engine/extended_play.h"
#include "engine/key_sounds.h"
#include "shell/status.h"

namespace jov {

namespace {

constexpr double kLateLimitTicks = 48.0;   // one beat: later than this is passed silently
constexpr double kLookAheadTicks = 192.0;  // one standard measure
// The Extended reading's limit in time: what 48 ticks are at 120 BPM. In ticks it would
// shrink to nothing at a tempo warp and stretch to minutes at a crawl.
constexpr double kLateLimitMs = 500.0;

bool IsSoundChannel(int32_t ch) { return ch == kChannelBackground || (ch >= 11 && ch <= 19); }

}  // namespace

PlayEngine::PlayEngine(ChartModel& model, EngineState& engine, KeySounds& sounds, Clock& clock, Shell& shell)
    : model_(model), engine_(engine), sounds_(sounds), clock_(clock), shell_(shell), host_(&defaultHost_) {}

void PlayEngine::SetHost(PlayHost* host) { host_ = host ? host : &defaultHost_; }

void PlayEngine::RunPlayLoop() {
    engine_.StopRequest = false;
    engine_.IsPlaying = true;
    host_->StartTimer(kPlayTimerId, 10);
    host_->StartTimer(kStatusTimerId, 200);
    engine_.HitTime[0] = engine_.ElapsedMs;
    engine_.HitTime[1] = engine_.ElapsedMs;
    loopPasses_ = 0;
    do {
        ++loopPasses_;
        UpdatePlay();
        host_->UpdateBeatDisplay();
        host_->DrawNotes();
        host_->PumpEvents();
        clock_.Sleep(engine_.SleepMs > 0 ? engine_.SleepMs : 0);
    } while (!engine_.StopRequest);
    if (model_.Midi) {
        shell_.SetCaption("stop midi...");
        model_.Midi->StopM();
        shell_.SetCaption(model_.NowPlaying);
    }
    shell_.SetStatus("playloop end");
    host_->StopTimer(kPlayTimerId);
    host_->StopTimer(kStatusTimerId);
}

void PlayEngine::UpdatePlay() {
    engine_.ElapsedMs = WrapElapsed(clock_.NowMs(), engine_.StartTime);
    // Exact product, one rounding when stored.
    engine_.CurrentTick = static_cast<double>(static_cast<long double>(engine_.ElapsedMs) *
                                                  static_cast<long double>(engine_.TicksPerMs) +
                                              static_cast<long double>(engine_.TickOffset));
    const bool extended = model_.Extended.active;
    if (extended) engine_.CurrentTick = HeldTick(engine_, engine_.CurrentTick);

    // The list may shrink under us only through a reload, which never runs inside a pass;
    // still, bound by the live size so a bad cursor cannot read outside it.
    const int32_t count = static_cast<int32_t>(model_.Events.size()) < model_.EventCount
                              ? static_cast<int32_t>(model_.Events.size())
                              : model_.EventCount;
    if (engine_.NextEvent < 0) engine_.NextEvent = 0;
    while (engine_.NextEvent < count && model_.EventTick(engine_.NextEvent) <= engine_.CurrentTick) {
        if (!extended) {
            Dispatch(model_.Events[engine_.NextEvent]);
            ++engine_.NextEvent;
            continue;
        }
        const bool lineMoved = DispatchExtended(engine_.NextEvent);
        ++engine_.NextEvent;
        // Where this pass's millisecond lies on the line from here on: the tick of the pass
        // crosses every tempo change and stop on its way, as the seek's replay does, so a
        // warp's tempo never carries it past the place where the chart slows down again.
        if (lineMoved)
            engine_.CurrentTick = HeldTick(engine_, static_cast<double>(static_cast<long double>(engine_.ElapsedMs) *
                                                                            static_cast<long double>(engine_.TicksPerMs) +
                                                                        static_cast<long double>(engine_.TickOffset)));
    }

    LookAhead();

    // A clock line without a positive tempo never reaches the end: stop it here.
    if (engine_.NextEvent >= count || !(engine_.TicksPerMs > 0.0f)) engine_.StopRequest = true;
}

void PlayEngine::Dispatch(const ChartEvent& e) {
    const bool inTime = engine_.CurrentTick - e.Tick < kLateLimitTicks;
    bool sounded = false;
    switch (e.Channel) {
        case kChannelBarLine:
            engine_.BarMeasure = e.Measure;
            engine_.BarTick = e.Tick;
            break;
        case kChannelTempo:
            ApplyTempoChange(e);
            break;
        case kChannelBackground:
        case 11: case 12: case 13: case 14: case 15: case 16: case 18: case 19:
            if (inTime) {
                sounds_.PlayKeySound(e.Value, e.Tick);
                sounded = true;
            }
            if (e.Channel == 16)
                engine_.HitTime[1] = engine_.ElapsedMs;
            else if (e.Channel != kChannelBackground)
                engine_.HitTime[0] = engine_.ElapsedMs;
            break;
        default:
            break;
    }
    if (listener_) listener_->OnDispatch(e, sounded);
}

bool PlayEngine::DispatchExtended(int32_t i) {
    const ChartEvent& e = model_.Events[i];
    const double tick = model_.Extended.ExactTick[i];
    bool sounded = false;
    bool lineMoved = false;
    if (e.Channel == kChannelBarLine) {
        engine_.BarMeasure = e.Measure;
        engine_.BarTick = e.Tick;
    } else if (ApplyExtendedTiming(model_, i, engine_, engine_.ElapsedMs)) {
        lineMoved = true;
    } else if (IsExtendedSoundChannel(e.Channel)) {
        // Late by time on the line, whatever the tempo.
        const bool inTime = engine_.TicksPerMs > 0.0f
                                ? engine_.ElapsedMs - LineMsOf(engine_, tick) <= kLateLimitMs
                                : engine_.CurrentTick - tick < kLateLimitTicks;
        if (inTime) {
            sounds_.PlayKeySound(e.Value, tick, model_.Extended.SliceAt(static_cast<size_t>(i)));
            sounded = true;
        }
        if (e.Channel == 16 || e.Channel == 56)
            engine_.HitTime[1] = engine_.ElapsedMs;
        else if (e.Channel != kChannelBackground && e.Channel < 60)
            engine_.HitTime[0] = engine_.ElapsedMs;
    }
    if (listener_) listener_->OnDispatch(e, sounded);
    return lineMoved;
}

void PlayEngine::ApplyTempoChange(const ChartEvent& e) {
    // Continuous at the change's own tick, as the seek's replay does; without a
    // positive rate before it that tick has no millisecond, so the pass's stands in.
    // CurrentTick keeps the value this pass started with.
    const double atMs = engine_.TicksPerMs > 0.0f ? LineMsOf(engine_, e.Tick) : engine_.ElapsedMs;
    ChangeTempoAt(engine_, e.Value, atMs);
}

void PlayEngine::LookAhead() {
    const int32_t count = static_cast<int32_t>(model_.Events.size()) < model_.EventCount
                              ? static_cast<int32_t>(model_.Events.size())
                              : model_.EventCount;
    const double horizon = engine_.CurrentTick + kLookAheadTicks;
    const bool extended = model_.Extended.active;
    for (int64_t i = int64_t(engine_.NextEvent) + 1; i < count; ++i) {
        const ChartEvent& e = model_.Events[i];
        if (model_.EventTick(i) > horizon) break;
        if (!(extended ? IsExtendedSoundChannel(e.Channel) : IsSoundChannel(e.Channel)) || e.Value < 0 || e.Value >= model_.SlotCount()) continue;
        if (model_.WavLoaded[e.Value] == 255) continue;
        sounds_.LoadKeySound(e.Value);
        model_.WavLoaded[e.Value] = 255;
    }
}

int64_t PlayEngine::IdlePassesAhead(int64_t nowMs, int64_t stepMs) const {
    const int32_t count = static_cast<int32_t>(model_.Events.size()) < model_.EventCount
                              ? static_cast<int32_t>(model_.Events.size())
                              : model_.EventCount;
    const int32_t next = engine_.NextEvent < 0 ? 0 : engine_.NextEvent;
    if (engine_.StopRequest || !(engine_.TicksPerMs > 0.0f) || stepMs <= 0 || next >= count) return 0;

    // A pass acts once its tick reaches the cursor's event, or once its look-ahead
    // horizon reaches an event to load (and every event walked before it).
    const double dispatchTick = model_.EventTick(next);
    const bool extended = model_.Extended.active;
    double loadTick = INFINITY;
    double walked = -INFINITY;
    for (int64_t i = int64_t(next) + 1; i < count; ++i) {
        const ChartEvent& e = model_.Events[i];
        walked = std::max(walked, model_.EventTick(i));
        if (walked - kLookAheadTicks >= dispatchTick) break;  // the dispatch comes first
        if ((extended ? IsExtendedSoundChannel(e.Channel) : IsSoundChannel(e.Channel)) && e.Value >= 0 &&
            e.Value < model_.SlotCount() && model_.WavLoaded[e.Value] != 255) {
            loadTick = walked;
            break;
        }
    }
    // The same arithmetic as UpdatePlay and LookAhead.
    const int32_t elapsed0 = WrapElapsed(nowMs, engine_.StartTime);
    auto idle = [&](int64_t j) {
        const int32_t elapsed = WrapElapsed(nowMs + j * stepMs, engine_.StartTime);
        double tick = static_cast<double>(static_cast<long double>(elapsed) *
                                              static_cast<long double>(engine_.TicksPerMs) +
                                          static_cast<long double>(engine_.TickOffset));
        if (extended) tick = HeldTick(engine_, tick);
        return tick < dispatchTick && loadTick > tick + kLookAheadTicks;
    };
    // Stay short of the 32-bit elapsed count's wrap, where the line jumps back.
    const int64_t limit = (int64_t{INT32_MAX} - elapsed0) / stepMs;
    const double target = std::min(dispatchTick, loadTick - kLookAheadTicks);
    double guess = std::floor(((target - engine_.TickOffset) / engine_.TicksPerMs - elapsed0) / stepMs) - 1;
    int64_t n = std::isfinite(guess) ? static_cast<int64_t>(std::clamp(guess, 0.0, double(limit))) : 0;
    while (n > 0 && !idle(n)) --n;
    while (n < limit && idle(n + 1)) ++n;
    return n;
}

void PlayEngine::PlayTimerProc(int timerId) {
    UpdatePlay();
    if (engine_.StopRequest || !engine_.IsPlaying) host_->StopTimer(timerId);
}

void PlayEngine::StatusTimerProc() {
    if (engine_.IsMinimized) return;
    host_->DrawStatus(BuildStatusReadout(model_, engine_));
}

}  // namespace jov
