#pragma once
// A hand-built chart, a recording sound device and the engine wired on a virtual clock.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "audio/midi_device.h"
#include "audio/sound_device.h"
#include "chart/chart_model.h"
#include "shell/clock.h"
#include "engine/engine_state.h"
#include "engine/key_sounds.h"
#include "engine/play_loop.h"
#include "shell/status.h"

namespace jov::test {

struct SoundCommand {
    std::string op;  // "create", "play", "stop", "pos"
    int slot;
    double atMs;
    int64_t frame;
};

// Decodes nothing; a path containing "missing" fails to load; a starved device runs
// out of memory on every load.
class RecordingSoundDevice final : public SoundDevice {
public:
    bool CreateFromFile(int slot, const std::string& path) override {
        if (starved) throw std::bad_alloc();
        log.push_back({"create", slot, 0, 0});
        if (path.empty() || path.find("missing") != std::string::npos) return false;
        has[slot] = true;
        return true;
    }
    bool HasBuffer(int slot) const override { return has[slot]; }
    int32_t GetFrequency(int slot) const override { return has[slot] ? 44100 : 0; }
    void SetFrequency(int, int32_t) override {}
    void Stop(int slot, double atMs) override { log.push_back({"stop", slot, atMs, 0}); }
    void SetPosition(int slot, int64_t frame, double atMs) override { log.push_back({"pos", slot, atMs, frame}); }
    void Play(int slot, double atMs) override { log.push_back({"play", slot, atMs, 0}); }
    void Release(int slot) override { has[slot] = false; }
    void ReleaseAll() override {
        for (bool& h : has) h = false;
    }

    std::vector<SoundCommand> Plays() const {
        std::vector<SoundCommand> out;
        for (const auto& c : log)
            if (c.op == "play") out.push_back(c);
        return out;
    }
    int Creates() const {
        int n = 0;
        for (const auto& c : log) n += c.op == "create";
        return n;
    }

    std::vector<SoundCommand> log;
    bool has[kKeySoundSlotsExtended] = {};  // every slot the engine may ask about
    bool starved = false;
};

class RecordingMidiDevice final : public MidiDevice {
public:
    int32_t SendString(const std::string& command, std::string& reply, double atMs) override {
        reply.clear();
        commands.push_back(command);
        times.push_back(atMs);
        return 0;
    }
    std::vector<std::string> commands;
    std::vector<double> times;
};

class EngineFixture : public ::testing::Test {
protected:
    EngineFixture()
        : clock(100000), sounds(model, state, clock, &device), engine(model, state, sounds, clock, shell) {}

    // Events must be given in tick order; bar lines are the caller's.
    void SetChart(float bpm, std::vector<ChartEvent> events, int32_t maxMeasure = 0) {
        model.Chart.Bpm = bpm;
        model.Events = std::move(events);
        model.EventCount = static_cast<int32_t>(model.Events.size());
        model.MaxMeasure = maxMeasure;
        for (int w = 0; w < kKeySoundSlots; ++w) model.WavFile[w] = "/sounds/" + std::to_string(w) + ".wav";
        state.CurrentBpm = bpm;
        state.TicksPerMs = bpm / 1250.0f;
    }
    static ChartEvent Ev(int32_t tick, int32_t channel, int32_t value, int32_t measure = 0) {
        return ChartEvent{measure, tick, 0, channel, value};
    }

    Shell shell;
    VirtualClock clock;
    RecordingMidiDevice midi;  // before the model: its player talks to it until destroyed
    ChartModel model;
    EngineState state;
    RecordingSoundDevice device;
    KeySounds sounds;
    PlayEngine engine;
};

}  // namespace jov::test
