#include "audio/sound_file.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace jov {
namespace {

struct SndFileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

int16_t ToPcm16(float v) {
    if (!(v == v)) return 0;  // NaN in a float file
    float s = std::nearbyint(v * 32767.0f);
    if (s > 32767.0f) return 32767;
    if (s < -32768.0f) return -32768;
    return static_cast<int16_t>(s);
}

}  // namespace

std::optional<SoundBuffer> DecodeSoundFile(const std::string& path, int32_t outputRate,
                                           const DecodeLimits& limits) {
    if (outputRate <= 0 || outputRate > 768000) return std::nullopt;
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndFileCloser> file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) return std::nullopt;
    if (info.samplerate < 1000 || info.samplerate > 768000 || info.channels < 1 || info.channels > 64)
        return std::nullopt;
    const int channels = info.channels;
    // Bounded in frames too, so a very high rate cannot stretch the memory the cap allows.
    const double capFrames = std::min(limits.maxSeconds * info.samplerate, 30.0e6);
    // A header may claim more (or an unknown number of) frames; read until the data ends.
    if (info.frames > 0 && info.frames != SF_COUNT_MAX && double(info.frames) > capFrames)
        return std::nullopt;

    std::vector<float> stereo;  // interleaved L R at the file's rate
    if (info.frames > 0 && info.frames != SF_COUNT_MAX) stereo.reserve(static_cast<std::size_t>(info.frames) * 2);
    std::vector<float> chunk(4096 * static_cast<std::size_t>(channels));
    int64_t total = 0;
    for (;;) {
        sf_count_t got = sf_readf_float(file.get(), chunk.data(), 4096);
        if (got <= 0) break;
        total += got;
        if (double(total) > capFrames) return std::nullopt;
        for (sf_count_t i = 0; i < got; ++i) {
            const float* f = &chunk[static_cast<std::size_t>(i) * channels];
            float l = f[0], r = channels >= 2 ? f[1] : f[0];
            stereo.push_back(l);
            stereo.push_back(r);
        }
    }
    if (total == 0) return std::nullopt;

    SoundBuffer out;
    out.originalRate = info.samplerate;
    out.originalFrames = total;
    std::vector<float> converted;
    const float* src = stereo.data();
    int64_t frames = total;
    if (info.samplerate != outputRate) {
        double ratio = double(outputRate) / info.samplerate;
        int64_t outFrames = static_cast<int64_t>(std::ceil(total * ratio)) + 16;
        converted.resize(static_cast<std::size_t>(outFrames) * 2);
        SRC_DATA data{};
        data.data_in = stereo.data();
        data.input_frames = static_cast<long>(total);
        data.data_out = converted.data();
        data.output_frames = static_cast<long>(outFrames);
        data.src_ratio = ratio;
        if (src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 2) != 0 || data.output_frames_gen <= 0)
            return std::nullopt;
        src = converted.data();
        frames = data.output_frames_gen;
    }
    out.frames = frames;
    out.pcm.resize(static_cast<std::size_t>(frames) * 2);
    for (std::size_t i = 0; i < out.pcm.size(); ++i) out.pcm[i] = ToPcm16(src[i]);
    return out;
}

}  // namespace jov
