#pragma once
// Sounds cut short (a retrigger of their slot, a stop, a release) end with a fade of a
// few ms instead of a step to zero: the cut voice goes on here, on its own, fading,
// while its slot is free at once for what comes next. Consumer side of the mixer only.
#include <array>
#include <cstdint>
#include <memory>

#include "audio/sound_file.h"

namespace jov {

class VoiceFades {
public:
    explicit VoiceFades(int32_t rate);
    // Continues the sound at `pos` (frames of the buffer, advancing by `step`) fading out.
    void Start(std::shared_ptr<const SoundBuffer> buffer, double pos, double step);
    // Adds the next n frames of every fading sound.
    void Mix(float* left, float* right, int n);
    int FadeFrames() const { return fadeFrames_; }

private:
    struct Fade {
        std::shared_ptr<const SoundBuffer> buffer;
        double pos = 0, step = 1;
        int left = 0;  // frames still to fade
    };
    static constexpr int kFades = 64;  // past that a cut steps to zero
    std::array<Fade, kFades> fades_{};
    int fadeFrames_ = 1;
    std::size_t next_ = 0;
};

}  // namespace jov
