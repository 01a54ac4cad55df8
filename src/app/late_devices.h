#pragma once
// The window and its player are made before the sound system starts (the settings are
// applied to a loaded window first); these stand in for the sound and MIDI devices
// until it has, and act as absent devices when it never does.
#include "audio/midi_command_layer.h"
#include "audio/midi_device.h"
#include "audio/sound_device.h"

namespace jov {

class LateSoundDevice final : public SoundDevice {
public:
    void Attach(SoundDevice* target) { target_ = target; }
    bool CreateFromFile(int slot, const std::string& path) override {
        return target_ && target_->CreateFromFile(slot, path);
    }
    bool HasBuffer(int slot) const override { return target_ && target_->HasBuffer(slot); }
    int32_t GetFrequency(int slot) const override { return target_ ? target_->GetFrequency(slot) : 0; }
    void SetFrequency(int slot, int32_t hz) override {
        if (target_) target_->SetFrequency(slot, hz);
    }
    void Stop(int slot, double atMs) override {
        if (target_) target_->Stop(slot, atMs);
    }
    void SetPosition(int slot, int64_t frame, double atMs) override {
        if (target_) target_->SetPosition(slot, frame, atMs);
    }
    void Play(int slot, double atMs) override {
        if (target_) target_->Play(slot, atMs);
    }
    void PlayFrom(int slot, double atMs, double originMs) override {
        if (target_) target_->PlayFrom(slot, atMs, originMs);
    }
    void GrowSlots(int count) override {
        if (target_) target_->GrowSlots(count);
    }
    void Release(int slot) override {
        if (target_) target_->Release(slot);
    }
    void ReleaseAll() override {
        if (target_) target_->ReleaseAll();
    }

private:
    SoundDevice* target_ = nullptr;
};

class LateMidiDevice final : public MidiDevice {
public:
    void Attach(MidiDevice* target) { target_ = target; }
    int32_t SendString(const std::string& command, std::string& reply, double atMs) override {
        reply.clear();
        return target_ ? target_->SendString(command, reply, atMs) : kMidiBadAlias;
    }

private:
    MidiDevice* target_ = nullptr;
};

}  // namespace jov
