#pragma once
// Key sounds decoded once into 16-bit stereo PCM at the mixer's output rate.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jov {

struct SoundBuffer {
    std::vector<int16_t> pcm;  // interleaved L R, at the output rate
    int64_t frames = 0;        // frames of pcm
    int32_t originalRate = 0;  // the file's own sampling rate
    int64_t originalFrames = 0;
};

struct DecodeLimits {
    double maxSeconds = 600.0;  // longer sounds are refused rather than decoded
    // Bytes the converted PCM may take (the chart's remaining budget).
    std::size_t maxOutputBytes = SIZE_MAX;
};

// Decodes `path` (an existing file; no resolving here) and converts it to `outputRate`.
// nullopt for a missing, empty, non-audio or oversized file.
std::optional<SoundBuffer> DecodeSoundFile(const std::string& path, int32_t outputRate,
                                           const DecodeLimits& limits = {});
// The same from a file's bytes in memory.
std::optional<SoundBuffer> DecodeSoundBytes(std::string_view bytes, int32_t outputRate,
                                            const DecodeLimits& limits = {});

}  // namespace jov
