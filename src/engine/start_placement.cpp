#include "engine/start_placement.h"

#include "chart/chart_model.h"
#include "engine/engine_state.h"
#include "engine/extended_play.h"
#include "engine/key_sounds.h"
#include "engine/play_loop.h"

namespace jov {

namespace {

// Sound objects that are heard (17 is drawn but never sounded).
bool IsPlayedChannel(int32_t ch) {
    return ch == kChannelBackground || (ch >= 11 && ch <= 19 && ch != 17);
}

constexpr int32_t kPreloadTicks = 192;

}  // namespace

bool PlaceStart(ChartModel& model, EngineState& engine, KeySounds& sounds, PlayEngine& play) {
    if (engine.CurrentTick != 0.0) return false;
    if (model.Midi) {
        play.SeekTo(0, true);
        return true;
    }
    const int32_t count = static_cast<int32_t>(model.Events.size()) < model.EventCount
                              ? static_cast<int32_t>(model.Events.size())
                              : model.EventCount;
    int32_t startTick = count > 0 ? model.Events[0].Tick : 0;
    bool found = false;
    for (int32_t i = 0; i < count; ++i) {
        const ChartEvent& e = model.Events[i];
        const bool played = model.Extended.active ? IsExtendedSoundChannel(e.Channel) : IsPlayedChannel(e.Channel);
        if (!played || e.Value < 0 || e.Value >= model.SlotCount()) continue;
        // Loaded again even when an earlier attempt was made: the chart is about to start.
        sounds.LoadKeySound(e.Value);
        model.WavLoaded[e.Value] = 255;
        if (!found) {
            found = true;
            startTick = e.Tick;
        } else if (static_cast<int64_t>(e.Tick) > static_cast<int64_t>(startTick) + kPreloadTicks) {
            break;
        }
    }
    play.Host().PumpEvents();
    play.SeekTo(startTick, true);
    return true;
}

}  // namespace jov
