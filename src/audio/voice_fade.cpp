#include "audio/voice_fade.h"

#include <algorithm>
#include <cmath>

namespace jov {

VoiceFades::VoiceFades(int32_t rate) : fadeFrames_(std::max(1, int(std::lround(rate * 0.005)))) {}

void VoiceFades::Start(std::shared_ptr<const SoundBuffer> buffer, double pos, double step) {
    if (!buffer || !(pos < double(buffer->frames)) || !(pos >= 0)) return;
    // A free place, else the one nearest its end.
    Fade* place = nullptr;
    for (Fade& f : fades_)
        if (f.left == 0) place = &f;
    if (!place) place = &*std::min_element(fades_.begin(), fades_.end(), [](const Fade& a, const Fade& b) { return a.left < b.left; });
    place->buffer = std::move(buffer);
    place->pos = pos;
    place->step = step > 0 && std::isfinite(step) ? step : 1.0;
    place->left = fadeFrames_;
}

void VoiceFades::Mix(float* left, float* right, int n) {
    constexpr float kScale = 1.0f / 32768.0f;
    const float perFrame = 1.0f / float(fadeFrames_ + 1);
    for (Fade& f : fades_) {
        if (f.left == 0) continue;
        const int16_t* pcm = f.buffer->pcm.data();
        const int64_t frames = f.buffer->frames;
        for (int i = 0; i < n && f.left > 0; ++i, --f.left) {
            const int64_t i0 = static_cast<int64_t>(f.pos);
            if (i0 >= frames) {
                f.left = 0;
                break;
            }
            const float frac = float(f.pos - double(i0));
            const bool hasNext = i0 + 1 < frames;
            const float l0 = pcm[2 * i0], r0 = pcm[2 * i0 + 1];
            const float l1 = hasNext ? pcm[2 * i0 + 2] : 0.f, r1 = hasNext ? pcm[2 * i0 + 3] : 0.f;
            const float g = float(f.left) * perFrame * kScale;
            left[i] += (l0 + (l1 - l0) * frac) * g;
            right[i] += (r0 + (r1 - r0) * frac) * g;
            f.pos += f.step;
        }
        if (f.left == 0) f.buffer.reset();
    }
}

}  // namespace jov
