#include "audio/sdl_output.h"

#include <SDL.h>

#include <chrono>
#include <vector>

#include "audio/mixer.h"

namespace jov {

SdlOutput::~SdlOutput() { Close(); }

bool SdlOutput::InitRoot() {
    // The window owns SIGINT/SIGTERM; SDL would swallow them into a quit event nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_Init(0) == 0;
}

void SdlOutput::Callback(void* user, uint8_t* stream, int len) {
    auto* self = static_cast<SdlOutput*>(user);
    self->mixer_->Pull(reinterpret_cast<int16_t*>(stream), len / 4);
}

bool SdlOutput::Open(Mixer* mixer, int blockFrames) {
    Close();
    mixer_ = mixer;
    if (!mixer_) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        audioInit_ = true;
        SDL_AudioSpec want{};
        want.freq = mixer_->Rate();
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = static_cast<Uint16>(blockFrames);
        want.callback = &SdlOutput::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the device wants.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ != 0) {
            SDL_PauseAudioDevice(device_, 0);
            return true;
        }
    }
    error_ = SDL_GetError();
    stopPacer_ = false;
    pacer_ = std::thread([this, blockFrames] { RunPacer(blockFrames); });
    return false;
}

void SdlOutput::RunPacer(int blockFrames) {
    using clock = std::chrono::steady_clock;
    std::vector<int16_t> sink(static_cast<std::size_t>(blockFrames) * 2);
    const auto begin = clock::now();
    int64_t pulled = 0;
    while (!stopPacer_.load()) {
        double elapsed = std::chrono::duration<double>(clock::now() - begin).count();
        int64_t due = static_cast<int64_t>(elapsed * mixer_->Rate());
        // After a long suspension, skip ahead instead of mixing seconds in a burst.
        if (due - pulled > mixer_->Rate()) pulled = due - blockFrames;
        while (pulled + blockFrames <= due && !stopPacer_.load()) {
            mixer_->Pull(sink.data(), blockFrames);
            pulled += blockFrames;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void SdlOutput::Close() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    if (audioInit_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioInit_ = false;
    }
    if (pacer_.joinable()) {
        stopPacer_ = true;
        pacer_.join();
    }
}

}  // namespace jov
