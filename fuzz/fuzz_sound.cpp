// Sound files of any bytes, from memory through libsndfile and our decode and resample
// step, at one of the usual output rates.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "audio/sound_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static constexpr int32_t kRates[] = {44100, 48000, 22050, 96000};
    // The rate from the length, so the bytes stay a whole file (real sounds as seeds).
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    jov::DecodeLimits limits;
    limits.maxSeconds = 20.0;  // a header may claim hours; keep each run short
    auto sound = jov::DecodeSoundBytes(bytes, kRates[size % 4], limits);
    if (sound && (sound->frames <= 0 || sound->pcm.size() != static_cast<size_t>(sound->frames) * 2)) __builtin_trap();
    return 0;
}
