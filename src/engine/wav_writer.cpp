#include "engine/wav_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>

namespace jov {

namespace {

constexpr size_t kBufferBytes = 1 << 18;
constexpr uint64_t kPlainHeader = 44;
constexpr uint64_t kRf64Header = 80;  // RIFF 12 + ds64 36 + fmt 24 + data 8

struct Bytes {
    std::vector<unsigned char> b;
    Bytes& Tag(const char* t) {
        b.insert(b.end(), t, t + 4);
        return *this;
    }
    Bytes& U16(uint32_t v) { return Le(v, 2); }
    Bytes& U32(uint64_t v) { return Le(v, 4); }
    Bytes& U64(uint64_t v) { return Le(v, 8); }
    Bytes& Le(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
        return *this;
    }
};

void Format(Bytes& h, int32_t rate, int channels) {
    const uint32_t block = static_cast<uint32_t>(channels) * 2;
    h.Tag("fmt ").U32(16).U16(1).U16(static_cast<uint32_t>(channels)).U32(static_cast<uint32_t>(rate));
    h.U32(static_cast<uint64_t>(rate) * block).U16(block).U16(16);
}

}  // namespace

WavWriter::WavWriter(int fd, int32_t rate, int channels, uint64_t plainLimit)
    : fd_(fd), rate_(rate), channels_(channels), plainLimit_(plainLimit) {
    // Only a regular file is patched at the end; a device or pipe gets the stream as it comes.
    struct stat st {};
    seekable_ = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && ::lseek(fd_, 0, SEEK_CUR) == 0;
    // Placeholder sizes, final once Finish has run; on a pipe they say "until the end".
    Bytes h;
    h.Tag("RIFF").U32(0xFFFFFFFFu).Tag("WAVE");
    Format(h, rate_, channels_);
    h.Tag("data").U32(0xFFFFFFFFu);
    buffer_ = std::move(h.b);
    buffer_.reserve(kBufferBytes);
}

bool WavWriter::Write(const int16_t* pcm, int64_t frames) {
    if (failed_ || frames <= 0) return !failed_;
    const size_t samples = static_cast<size_t>(frames) * static_cast<size_t>(channels_);
    if constexpr (std::endian::native == std::endian::little) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(pcm);
        buffer_.insert(buffer_.end(), bytes, bytes + samples * 2);
    } else {
        for (size_t i = 0; i < samples; ++i) {
            const auto v = static_cast<uint16_t>(pcm[i]);
            buffer_.push_back(static_cast<unsigned char>(v & 0xFF));
            buffer_.push_back(static_cast<unsigned char>(v >> 8));
        }
    }
    dataBytes_ += samples * 2;
    return buffer_.size() < kBufferBytes || Flush();
}

bool WavWriter::WriteAll(const void* data, size_t size, uint64_t at) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = seekable_ ? ::pwrite(fd_, p, size, static_cast<off_t>(at)) : ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        at += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WavWriter::Flush() {
    if (failed_) return false;
    if (!WriteAll(buffer_.data(), buffer_.size(), written_)) failed_ = true;
    written_ += buffer_.size();
    buffer_.clear();
    return !failed_;
}

// Moves the data (from `from` to the end) so that it starts at `to` (> from), last bytes first.
bool WavWriter::MoveData(uint64_t from, uint64_t to) {
    std::vector<unsigned char> chunk(1 << 20);
    uint64_t end = from + dataBytes_;
    while (end > from) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), end - from));
        end -= n;
        size_t got = 0;
        while (got < n) {
            const ssize_t r = ::pread(fd_, chunk.data() + got, n - got, static_cast<off_t>(end + got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            got += static_cast<size_t>(r);
        }
        if (!WriteAll(chunk.data(), n, end + (to - from))) return false;
    }
    return true;
}

bool WavWriter::Finish() {
    if (!Flush() || !seekable_) return !failed_;
    Bytes h;
    if (dataBytes_ <= plainLimit_) {
        h.Tag("RIFF").U32(36 + dataBytes_).Tag("WAVE");
        Format(h, rate_, channels_);
        h.Tag("data").U32(dataBytes_);
    } else {
        if (!MoveData(kPlainHeader, kRf64Header)) return !(failed_ = true);
        const uint64_t frames = dataBytes_ / (static_cast<uint64_t>(channels_) * 2);
        h.Tag("RF64").U32(0xFFFFFFFFu).Tag("WAVE");
        h.Tag("ds64").U32(28).U64(kRf64Header - 8 + dataBytes_).U64(dataBytes_).U64(frames).U32(0);
        Format(h, rate_, channels_);
        h.Tag("data").U32(0xFFFFFFFFu);
    }
    if (!WriteAll(h.b.data(), h.b.size(), 0)) failed_ = true;
    return !failed_;
}

}  // namespace jov
