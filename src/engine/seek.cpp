#include "engine/seek.h"

#include <string>

#include "audio/cls_midi.h"
#include "chart/chart_model.h"
#include "shell/clock.h"
#include "engine/clock_line.h"
#include "engine/engine_math.h"
#include "engine/engine_state.h"
#include "engine/extended_play.h"
#include "engine/play_loop.h"
#include "shell/status.h"

namespace jov {

namespace {

// Index of the bar line of `measure`, or -1.
int32_t FindBarLine(const ChartModel& model, int32_t count, int32_t measure) {
    for (int32_t i = 0; i < count; ++i) {
        const ChartEvent& e = model.Events[i];
        if (e.Channel == kChannelBarLine && e.Measure == measure) return i;
    }
    return -1;
}

}  // namespace

bool SeekTo(ChartModel& model, EngineState& engine, Clock& clock, Shell& shell, int32_t target, bool byTick) {
    const int32_t count = static_cast<int32_t>(model.Events.size()) < model.EventCount
                              ? static_cast<int32_t>(model.Events.size())
                              : model.EventCount;
    bool inRange = count > 0;
    if (inRange) {
        if (byTick)
            inRange = target >= 0 && target <= model.Events[count - 1].Tick;
        else
            inRange = target >= 0 && target <= model.MaxMeasure && FindBarLine(model, count, target) >= 0;
    }
    if (!inRange) {
        shell.SetStatus("Err: Range over");
        return false;
    }

    engine.CurrentBpm = model.Chart.Bpm;
    engine.TicksPerMs = engine.CurrentBpm / 1250.0f;
    engine.NextEvent = 0;
    engine.TickOffset = 0.0;
    engine.HoldTick = -1.0e300;

    // Replay the tempo changes before the target; each keeps the line continuous at
    // the change's own tick.
    int32_t i = 0;
    for (; i < count; ++i) {
        const ChartEvent& e = model.Events[i];
        if (byTick ? model.EventTick(i) >= target : (e.Channel == kChannelBarLine && e.Measure == target)) break;
        if (model.Extended.active) {  // its tempos and stops, on the same line
            ApplyExtendedTiming(model, static_cast<size_t>(i), engine, 0.0);
            continue;
        }
        if (e.Channel != kChannelTempo) continue;
        // A change whose millisecond would divide by zero keeps the offset.
        ChangeTempoAt(engine, e.Value, engine.TicksPerMs != 0.0f ? LineMsOf(engine, e.Tick) : 0.0);
    }
    // A bar line's own position (exact in the Extended reading).
    const double targetTick = byTick ? static_cast<double>(target) : model.EventTick(static_cast<size_t>(i));
    if (i > 0) engine.NextEvent = i - 1;  // the event just before the target is still due

    // The target's millisecond on the clock line; a line without a positive tempo
    // has no such millisecond, so it starts from 0.
    int64_t targetMs = 0;
    if (engine.TicksPerMs > 0.0f) {
        const double ms = (targetTick - engine.TickOffset) / engine.TicksPerMs;
        if (auto r = RoundToInt64(ms)) targetMs = *r;
    }
    if (model.Midi) {
        shell.SetCaption("midi seeking...");
        model.Midi->Play(std::to_string(targetMs));
        shell.SetCaption(model.NowPlaying);
    }
    const int64_t now = clock.NowMs();
    if (engine.TicksPerMs > 0.0f) {
        const double start = static_cast<double>(now) -
                             (targetTick - engine.TickOffset) / engine.TicksPerMs;
        if (auto r = RoundToInt64(start)) engine.StartTime = WrapTo32(*r);
    } else {
        engine.StartTime = WrapTo32(now);
    }
    engine.CurrentTick = targetTick;
    engine.ElapsedMs = WrapElapsed(clock.NowMs(), engine.StartTime);
    engine.HitTime[1] = 0;
    engine.HitTime[0] = 0;
    return true;
}

bool PlayEngine::SeekTo(int32_t target, bool byTick) {
    return jov::SeekTo(model_, engine_, clock_, shell_, target, byTick);
}

}  // namespace jov
