#pragma once
// Live output: SDL2's audio callback pulls the mixer. When no device opens, a plain
// thread pulls it at the real-time pace instead, so queued commands and the MIDI
// position keep moving and nothing piles up.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace jov {

class Mixer;

class SdlOutput {
public:
    SdlOutput() = default;
    ~SdlOutput();
    SdlOutput(const SdlOutput&) = delete;
    SdlOutput& operator=(const SdlOutput&) = delete;

    // The root of the sound system (SDL without subsystems). False when it cannot start.
    static bool InitRoot();
    // Opens the default output at the mixer's rate, 16-bit stereo, and starts pulling.
    // False (and the silent pacer runs instead) when no device opens.
    bool Open(Mixer* mixer, int blockFrames = 512);
    void Close();
    bool HasDevice() const { return device_ != 0; }
    bool IsSilent() const { return pacer_.joinable(); }
    const std::string& Error() const { return error_; }

private:
    static void Callback(void* user, uint8_t* stream, int len);
    void RunPacer(int blockFrames);

    Mixer* mixer_ = nullptr;
    uint32_t device_ = 0;
    bool audioInit_ = false;
    std::thread pacer_;
    std::atomic<bool> stopPacer_{false};
    std::string error_;
};

}  // namespace jov
