#include "audio/sound_file.h"

#include <samplerate.h>
#include <sndfile.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "shell/file_read.h"

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

namespace {

// Reads from bytes in memory through libsndfile's virtual I/O.
struct MemoryFile {
    std::string_view bytes;
    sf_count_t pos = 0;

    static sf_count_t Length(void* self) { return static_cast<sf_count_t>(Of(self).bytes.size()); }
    static sf_count_t Seek(sf_count_t offset, int whence, void* self) {
        MemoryFile& m = Of(self);
        const sf_count_t size = static_cast<sf_count_t>(m.bytes.size());
        sf_count_t base = whence == SEEK_CUR ? m.pos : whence == SEEK_END ? size : 0;
        if (offset > 0 ? base > INT64_MAX - offset : base + offset < 0) return -1;
        m.pos = base + offset;
        return m.pos;
    }
    static sf_count_t Read(void* out, sf_count_t count, void* self) {
        MemoryFile& m = Of(self);
        const sf_count_t size = static_cast<sf_count_t>(m.bytes.size());
        if (count <= 0 || m.pos >= size) return 0;
        const sf_count_t n = std::min(count, size - m.pos);
        std::memcpy(out, m.bytes.data() + m.pos, static_cast<std::size_t>(n));
        m.pos += n;
        return n;
    }
    static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t Tell(void* self) { return Of(self).pos; }
    static MemoryFile& Of(void* self) { return *static_cast<MemoryFile*>(self); }
};

std::optional<SoundBuffer> DecodeOpened(SNDFILE* opened, SF_INFO info, int32_t outputRate,
                                        const DecodeLimits& limits);

}  // namespace

std::optional<SoundBuffer> DecodeSoundFile(const std::string& path, int32_t outputRate,
                                           const DecodeLimits& limits) {
    if (outputRate <= 0 || outputRate > 768000) return std::nullopt;
    const int fd = OpenRegularFile(path);  // never a FIFO or device
    if (fd < 0) return std::nullopt;
    SF_INFO info{};
    std::optional<SoundBuffer> decoded;
    if (SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE)) decoded = DecodeOpened(file, info, outputRate, limits);
    ::close(fd);
    return decoded;
}

std::optional<SoundBuffer> DecodeSoundBytes(std::string_view bytes, int32_t outputRate,
                                            const DecodeLimits& limits) {
    if (outputRate <= 0 || outputRate > 768000) return std::nullopt;
    MemoryFile memory{bytes};
    SF_VIRTUAL_IO io{&MemoryFile::Length, &MemoryFile::Seek, &MemoryFile::Read, &MemoryFile::Write,
                     &MemoryFile::Tell};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    if (!file) return std::nullopt;
    return DecodeOpened(file, info, outputRate, limits);
}

namespace {

std::optional<SoundBuffer> DecodeOpened(SNDFILE* opened, SF_INFO info, int32_t outputRate,
                                        const DecodeLimits& limits) {
    std::unique_ptr<SNDFILE, SndFileCloser> file(opened);
    if (info.samplerate < 1000 || info.samplerate > 768000 || info.channels < 1 || info.channels > 64)
        return std::nullopt;
    const int channels = info.channels;
    // Bounded in frames too, so a very high rate cannot stretch the memory the cap allows.
    double capFrames = std::min(limits.maxSeconds * info.samplerate, 30.0e6);
    // What the converted sound may take (4 bytes a frame at the output rate).
    capFrames = std::min(capFrames, double(limits.maxOutputBytes) / 4.0 * info.samplerate / outputRate);
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
    if (double(frames) * 4.0 > double(limits.maxOutputBytes)) return std::nullopt;
    out.frames = frames;
    out.pcm.resize(static_cast<std::size_t>(frames) * 2);
    for (std::size_t i = 0; i < out.pcm.size(); ++i) out.pcm[i] = ToPcm16(src[i]);
    return out;
}

}  // namespace
}  // namespace jov
