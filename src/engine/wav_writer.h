#pragma once
// 16-bit PCM WAV written as the render produces it. It starts as the plain 44-byte form
// (format 1, RIFF/fmt /data) that every reader opens; only when the data outgrows the
// 32-bit sizes does Finish turn it into RF64 (a ds64 chunk holding the 64-bit sizes, the
// data moved behind it). An output that is no regular file (a pipe, a device) keeps the
// streaming sizes.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace jov {

class WavWriter {
public:
    // Data bytes a plain WAV can hold: its RIFF size (36 + data) must fit in 32 bits.
    static constexpr uint64_t kPlainLimit = 0xFFFFFFFFull - 36;

    // `fd` open for writing at its start; it stays the caller's to close. `plainLimit`
    // lowers the point where RF64 takes over (for tests).
    WavWriter(int fd, int32_t rate, int channels, uint64_t plainLimit = kPlainLimit);

    bool Write(const int16_t* pcm, int64_t frames);
    // Writes what is buffered and the final header. False when any write failed.
    bool Finish();

private:
    bool Flush();
    bool WriteAll(const void* data, size_t size, uint64_t at);
    bool MoveData(uint64_t from, uint64_t to);

    int fd_;
    int32_t rate_;
    int channels_;
    uint64_t plainLimit_;
    bool seekable_ = false;
    bool failed_ = false;
    uint64_t dataBytes_ = 0;  // written or buffered
    uint64_t written_ = 0;    // bytes in the file, header included
    std::vector<unsigned char> buffer_;
};

}  // namespace jov
