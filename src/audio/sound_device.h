#pragma once
// Key-sound output: one voice per key-sound slot. Every command carries the engine
// clock time (ms, may be fractional) at which it takes effect; the mixer applies it
// at the output sample of that time plus its constant output delay. A command whose
// sample has already passed applies at once, the voice advanced by the frames missed.
#include <cstdint>
#include <string>

namespace jov {

class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    // Decodes the file (found through the path resolver) into the slot's buffer,
    // replacing what it held. False (slot left as it was) when it cannot be decoded.
    virtual bool CreateFromFile(int slot, const std::string& path) = 0;
    virtual bool HasBuffer(int slot) const = 0;
    // Frames per second of the slot's buffer; 0 when it has none.
    virtual int32_t GetFrequency(int slot) const = 0;
    virtual void SetFrequency(int slot, int32_t hz) = 0;
    virtual void Stop(int slot, double atMs) = 0;
    virtual void SetPosition(int slot, int64_t frame, double atMs) = 0;
    virtual void Play(int slot, double atMs) = 0;
    // Starts the slot's sound at `atMs` where it would be had it started at `originMs`
    // (a sliced sound played on), cutting what the slot plays. Devices without a sample
    // clock of their own position it by the slot's frequency.
    virtual void PlayFrom(int slot, double atMs, double originMs) {
        Stop(slot, atMs);
        SetPosition(slot, static_cast<int64_t>((atMs - originMs) * GetFrequency(slot) / 1000.0), atMs);
        Play(slot, atMs);
    }
    // Frees the slot's buffer (and silences it).
    virtual void Release(int slot) = 0;
    virtual void ReleaseAll() = 0;
    // Makes slots 0..count-1 usable (a device may start with fewer).
    virtual void GrowSlots(int /*count*/) {}
};

}  // namespace jov
