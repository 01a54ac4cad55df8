#pragma once
// Everything the program needs for sound, wired together: the mixer (the SoundDevice
// for key sounds), the MIDI command layer (the MidiDevice for clsMIDI) rendering its
// synthesiser on the mixer, and, live, the SDL output that pulls the mixer.
//
// Live (the program):
//   auto audio = InitDirectX(&shell, &hooks, language);  // the locale's, from main()
//   if (!audio) end the program at once (string 501 was shown);
//   engine: audio->Sound(), clsMIDI(&audio->Midi(), &steadyClock).
//   Commands are stamped with SteadyClock ms and sound 30 ms later.
//
// Offline (`jov01-tool render`, tests):
//   auto audio = AudioSystem::CreateOffline(44100);
//   VirtualClock clock(0);            // mixer time = virtual clock ms, no delay
//   engine uses audio->Sound() and clsMIDI(&audio->Midi(), &clock);
//   loop: run the engine's pass at clock time T (commands stamped <= T), then
//         audio->RenderUntil(T + step, pcm);  // frames up to (T + step) * rate / 1000
//         clock.Advance(step);
//   A command stamped at ms t lands on frame round(t * rate / 1000) exactly, as long
//   as it is sent before the frames of t are pulled (else it starts late, on the
//   chart's timeline).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/audio_setup.h"
#include "audio/midi_command_layer.h"
#include "audio/mixer.h"
#include "audio/sdl_output.h"

namespace jov {

class Shell;

struct AudioOptions {
    int32_t rate = 44100;
    double outputDelayMs = 30;  // live only
    int blockFrames = 512;      // live device block
    // nullopt: search the usual folders; "": no synthesiser (MIDI is silent).
    std::optional<std::string> soundFont;
};

class AudioSystem {
public:
    // A mixer pulled by its owner: engine ms 0 is frame 0, no output delay.
    static std::unique_ptr<AudioSystem> CreateOffline(int32_t rate = 44100, Shell* shell = nullptr,
                                                      std::optional<std::string> soundFont = std::nullopt);
    // The sound set-up: status "initializing directsound...", then the default output
    // device; when none opens, string 502 is shown through `hooks` and the program goes
    // on without key sounds (MIDI still follows its commands).
    static std::unique_ptr<AudioSystem> CreateLive(Shell* shell, AudioSetupHooks* hooks, UiLanguage language,
                                                   const AudioOptions& options = {});
    ~AudioSystem();

    Mixer& GetMixer() { return *mixer_; }
    SoundDevice& Sound() { return *mixer_; }
    MidiDevice& Midi() { return *midi_; }
    MidiCommandLayer& MidiLayer() { return *midi_; }
    bool HasDevice() const { return output_ && output_->HasDevice(); }
    bool HasSoundFont() const;

    // Offline: mixes the next `frames` frames.
    void Pull(int16_t* out, int frames) { mixer_->Pull(out, frames); }
    // Offline: mixes every frame before the frame of engine time `ms`, appending them.
    void RenderUntil(double ms, std::vector<int16_t>& out);

private:
    AudioSystem() = default;
    void AttachSynth(int32_t rate, Shell* shell, const std::optional<std::string>& soundFont);

    std::unique_ptr<Mixer> mixer_;
    std::unique_ptr<MidiCommandLayer> midi_;
    std::unique_ptr<SdlOutput> output_;  // declared last: stops pulling before the rest goes
};

// The start-up order: the sound system's root (string 501 and nullptr when it cannot
// start: the caller ends the program), then hooks->InitDirectDraw(), then the sound.
std::unique_ptr<AudioSystem> InitDirectX(Shell* shell, AudioSetupHooks* hooks, UiLanguage language,
                                         const AudioOptions& options = {});

}  // namespace jov
