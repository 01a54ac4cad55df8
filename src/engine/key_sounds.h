#pragma once
// Key-sound slots of the loaded chart: loading a slot's file into its voice and
// triggering it on the chart's timeline. Every command is stamped with the ideal
// time of its event, so the mixer starts the sound on the exact sample of its place
// (and skips the frames already past when the command comes late).
#include <cstdint>
#include <vector>

namespace jov {

class Clock;
class SoundDevice;
struct ChartModel;
struct EngineState;

// The two signal lamps of the main window; lit for as long as the operation runs.
class SignalLamps {
public:
    virtual ~SignalLamps() = default;
    virtual void SetLoadLamp(bool lit) = 0;
    virtual void SetPlayLamp(bool lit) = 0;
};

// Sees every load attempt (whether or not the file decodes) and every trigger.
class KeySoundListener {
public:
    virtual ~KeySoundListener() = default;
    virtual void OnLoadKeySound(int /*slot*/) {}
    virtual void OnPlayKeySound(int /*slot*/, double /*tick*/, double /*atMs*/) {}
};

class KeySounds {
public:
    // `device` may be null: every load then fails and play is silent.
    KeySounds(ChartModel& model, EngineState& engine, Clock& clock, SoundDevice* device);

    void SetLamps(SignalLamps* lamps) { lamps_ = lamps; }
    void SetListener(KeySoundListener* listener) { listener_ = listener; }
    SoundDevice* Device() const { return device_; }

    // Creates the slot's buffer from WavFile(w). Leaves WavLoaded(w) to the caller.
    void LoadKeySound(int w);
    // Restarts the slot's sound at the time `tick` falls on the current clock line; with
    // `sliceMs` > 0 the sound starts that far in (a sliced sound played on).
    void PlayKeySound(int w, double tick, double sliceMs = 0.0);
    // Releases every slot's buffer (chart reset, shutdown).
    void ReleaseSound();
    // Silences every loaded slot now (Stop button).
    void StopAll();

    bool HasBuffer(int w) const;
    // Clock ms at which `tick` falls on the current clock line; now when the line
    // has no positive tempo.
    double TickTimeMs(double tick) const;

    // Frames per second of each loaded buffer (grows with the slots loaded).
    std::vector<int32_t> WavFrequency;

private:
    bool ValidSlot(int w) const;

    ChartModel& model_;
    EngineState& engine_;
    Clock& clock_;
    SoundDevice* device_;
    SignalLamps* lamps_ = nullptr;
    KeySoundListener* listener_ = nullptr;
    // Per slot, the time its sound was last started from its beginning.
    std::vector<double> restartAt_;
};

}  // namespace jov
