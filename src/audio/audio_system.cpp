#include "audio/audio_system.h"

#include <chrono>
#include <cmath>

#include "audio/midi_synth.h"
#include "shell/status.h"

namespace jov {

AudioSystem::~AudioSystem() {
    if (output_) output_->Close();
}

void AudioSystem::AttachSynth(int32_t rate, Shell* shell, const std::optional<std::string>& soundFont) {
    std::string path;
    if (soundFont) {
        path = *soundFont;
    } else if (auto found = FindSoundFont()) {
        path = *found;
    }
    auto synth = std::make_unique<MidiSynth>(rate, path);
    if (!synth->HasSoundFont() && shell && !(soundFont && soundFont->empty()))
        shell->SetStatus("no soundfont found: midi is silent");
    mixer_->AttachSynth(std::move(synth));
}

bool AudioSystem::HasSoundFont() const { return mixer_->Synth() && mixer_->Synth()->HasSoundFont(); }

std::unique_ptr<AudioSystem> AudioSystem::CreateOffline(int32_t rate, Shell* shell,
                                                        std::optional<std::string> soundFont) {
    std::unique_ptr<AudioSystem> a(new AudioSystem);
    a->mixer_ = std::make_unique<Mixer>(rate);
    a->mixer_->SetOfflineAnchor(0, 0);
    a->AttachSynth(a->mixer_->Rate(), shell, soundFont);
    a->midi_ = std::make_unique<MidiCommandLayer>(a->mixer_.get());
    return a;
}

std::unique_ptr<AudioSystem> AudioSystem::CreateLive(Shell* shell, AudioSetupHooks* hooks, UiLanguage language,
                                                     const AudioOptions& options) {
    if (shell) shell->SetStatus("initializing directsound...");
    std::unique_ptr<AudioSystem> a(new AudioSystem);
    a->mixer_ = std::make_unique<Mixer>(options.rate);
    // The engine's SteadyClock counts whole ms of steady_clock; the fractional value
    // keeps the mapping smooth.
    a->mixer_->SetLive(
        [] {
            using namespace std::chrono;
            return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
        },
        options.outputDelayMs);
    a->AttachSynth(a->mixer_->Rate(), shell, options.soundFont);
    a->midi_ = std::make_unique<MidiCommandLayer>(a->mixer_.get());
    a->output_ = std::make_unique<SdlOutput>();
    if (!a->output_->Open(a->mixer_.get(), options.blockFrames)) {
        a->mixer_->SetKeySoundsEnabled(false);
        if (hooks) hooks->ShowCriticalMessage(StringResource(502, language));
    }
    return a;
}

void AudioSystem::RenderUntil(double ms, std::vector<int16_t>& out) {
    double target = std::nearbyint(mixer_->FrameAtMs(ms));
    int64_t frames = static_cast<int64_t>(target) - mixer_->FramesProduced();
    if (!(frames > 0)) return;
    std::size_t base = out.size();
    out.resize(base + static_cast<std::size_t>(frames) * 2);
    int16_t* p = out.data() + base;
    while (frames > 0) {
        int n = static_cast<int>(std::min<int64_t>(frames, 1 << 20));
        mixer_->Pull(p, n);
        p += 2 * static_cast<std::size_t>(n);
        frames -= n;
    }
}

std::unique_ptr<AudioSystem> InitDirectX(Shell* shell, AudioSetupHooks* hooks, UiLanguage language,
                                         const AudioOptions& options) {
    if (!SdlOutput::InitRoot()) {
        if (hooks) hooks->ShowCriticalMessage(StringResource(501, language));
        return nullptr;
    }
    if (hooks) hooks->InitDirectDraw();
    return AudioSystem::CreateLive(shell, hooks, language, options);
}

}  // namespace jov
