#include "engine/key_sounds.h"

#include <cmath>

#include "audio/sound_device.h"
#include "chart/chart_model.h"
#include "shell/clock.h"
#include "engine/engine_math.h"
#include "engine/engine_state.h"

namespace jov {

namespace {


// Lights a lamp for the lifetime of the guard.
class LampGuard {
public:
    LampGuard(SignalLamps* lamps, bool load) : lamps_(lamps), load_(load) { Set(true); }
    ~LampGuard() { Set(false); }

private:
    void Set(bool lit) {
        if (!lamps_) return;
        if (load_)
            lamps_->SetLoadLamp(lit);
        else
            lamps_->SetPlayLamp(lit);
    }
    SignalLamps* lamps_;
    bool load_;
};

}  // namespace

KeySounds::KeySounds(ChartModel& model, EngineState& engine, Clock& clock, SoundDevice* device)
    : model_(model), engine_(engine), clock_(clock), device_(device) {}

bool KeySounds::ValidSlot(int w) const { return w >= 0 && w < model_.SlotCount(); }

bool KeySounds::HasBuffer(int w) const { return device_ && ValidSlot(w) && device_->HasBuffer(w); }

void KeySounds::LoadKeySound(int w) {
    if (!ValidSlot(w)) return;
    if (listener_) listener_->OnLoadKeySound(w);
    LampGuard lamp(lamps_, true);
    if (device_ && w >= kKeySoundSlots) device_->GrowSlots(model_.SlotCount());
    if (!device_ || !device_->CreateFromFile(w, model_.WavFile[w])) return;
    if (WavFrequency.size() <= static_cast<size_t>(w)) WavFrequency.resize(static_cast<size_t>(w) + 1, 0);
    WavFrequency[w] = device_->GetFrequency(w);
    device_->SetFrequency(w, WavFrequency[w]);
}

double KeySounds::TickTimeMs(double tick) const {
    const int64_t now = clock_.NowMs();
    const double perMs = engine_.TicksPerMs;
    if (!(perMs > 0.0)) return static_cast<double>(now);
    // Measured from the 32-bit elapsed count so that a wrapped counter still lands right.
    const double ideal = (tick - engine_.TickOffset) / perMs;
    const double at = static_cast<double>(now) + (ideal - WrapElapsed(now, engine_.StartTime));
    return std::isfinite(at) ? at : static_cast<double>(now);
}

void KeySounds::PlayKeySound(int w, double tick, double sliceMs) {
    if (!ValidSlot(w)) return;
    LampGuard lamp(lamps_, false);
    if (!HasBuffer(w)) {
        if (model_.WavLoaded[w] != 0) return;  // an earlier attempt failed
        LoadKeySound(w);
        model_.WavLoaded[w] = 255;
    }
    const double at = TickTimeMs(tick);
    if (listener_) listener_->OnPlayKeySound(w, tick, at);
    if (!HasBuffer(w)) return;
    if (restartAt_.size() <= static_cast<size_t>(w)) restartAt_.resize(static_cast<size_t>(w) + 1, NAN);
    double& restart = restartAt_[static_cast<size_t>(w)];
    if (sliceMs > 0.0) {
        // The restart's own stamp when this piece follows it on the line, so both land on
        // frames of one mapping and the pieces join sample for sample.
        double origin = at - sliceMs;
        if (std::fabs(restart - origin) < 0.5) origin = restart;
        device_->PlayFrom(w, at, origin);
        return;
    }
    restart = at;
    device_->Stop(w, at);
    device_->SetPosition(w, 0, at);
    device_->Play(w, at);
}

void KeySounds::ReleaseSound() {
    if (device_) device_->ReleaseAll();
    WavFrequency.clear();
    restartAt_.clear();
}

void KeySounds::StopAll() {
    if (!device_) return;
    const double now = static_cast<double>(clock_.NowMs());
    for (int w = 0; w < model_.SlotCount(); ++w)
        if (device_->HasBuffer(w)) device_->Stop(w, now);
}

}  // namespace jov
