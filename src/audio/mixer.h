#pragma once
// The mixer behind SoundDevice: one voice per key-sound slot (0..255, as many more as
// GrowSlots asks for) plus the MIDI synthesiser, mixed in float and written as 16-bit stereo.
//
// Time: every command carries an engine clock time in ms and lands on the output frame
//   frame = (ms - anchorMs) * rate / 1000 + anchorFrame + outputDelayFrames.
// Offline (render, tests) the anchor is fixed (default 0 ms at frame 0, no delay) and
// the owner calls Pull() block by block. Live, SetLive() gives a clock; each Pull()
// compares (clock now, frames produced) with the mapping and follows its phase and
// pace smoothly (the live slope is the measured frames per ms, not the nominal rate).
// A command whose frame has passed applies at the first frame of the block, a started
// voice advanced by the frames it missed. The sum passes the limiter, which looks a few
// ms ahead: the mix runs that far ahead of the output, so a frame keeps its number and
// a command is late once it comes less than LookAheadFrames() before its frame.
//
// Threads: every public method except Pull() belongs to one producer thread (the UI
// thread); Pull() belongs to one consumer thread (the audio callback, or the owner when
// offline). They meet only in a lock-free command queue. Decoded buffers and MIDI
// songs are shared with the consumer, which never drops the last reference: the
// producer keeps every one in a retire list and frees it once nothing else holds it.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "audio/limiter.h"
#include "audio/midi_song.h"
#include "audio/sound_device.h"
#include "audio/sound_file.h"
#include "audio/spsc_queue.h"
#include "audio/voice_fade.h"

namespace jov {

class MidiSynth;

class Mixer final : public SoundDevice {
public:
    static constexpr int kBaseSlots = 256;  // voices mixed until GrowSlots asks for more
    // Voices live in chunks that never move once made, so the consumer can walk them
    // while the producer adds more; the directory bounds slots at 16 M, beyond any chart.
    static constexpr int kChunk = 1024;
    static constexpr int kMaxChunks = 16384;
    static constexpr int kSlots = kChunk * kMaxChunks;
    static constexpr int kMaxBlock = 1024;

    explicit Mixer(int32_t rate = 44100);
    ~Mixer() override;
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    int32_t Rate() const { return rate_; }

    // Offline mapping: engine `ms` is output frame `frame` (before any pull).
    void SetOfflineAnchor(double ms, double frame);
    // Live mapping: `nowMs` is read on the consumer thread at every block (it must be
    // the engine's clock, fractional ms welcome); commands sound `outputDelayMs` later.
    void SetLive(std::function<double()> nowMs, double outputDelayMs);
    // The synthesiser the MIDI commands drive (set before the first pull).
    void AttachSynth(std::unique_ptr<MidiSynth> synth);
    MidiSynth* Synth() const { return synth_.get(); }

    // Consumer side: mixes `frames` frames of interleaved stereo into `out`.
    void Pull(int16_t* out, int frames);
    // Frames the mix runs ahead of the output (the limiter's look-ahead).
    int LookAheadFrames() const { return limiter_.Latency(); }
    // Master gain before the limiter (linear, 1 = unchanged); ramps in over a few ms.
    void SetOutputGain(float gain) { outputGain_.store(gain, std::memory_order_relaxed); }
    float OutputGain() const { return outputGain_.load(std::memory_order_relaxed); }
    // Consumer side: receives each stretch of the sum before gain and limiter (offline
    // measuring; set before the first pull).
    using MixTap = std::function<void(const float* left, const float* right, int n)>;
    void SetMixTap(MixTap tap) { mixTap_ = std::move(tap); }
    // Consumer side: the highest true peak of the sum after the gain, before the limiter.
    float PeakBeforeLimiter() const { return limiter_.PeakIn(); }
    // Frames produced so far (readable from any thread).
    int64_t FramesProduced() const { return produced_.load(std::memory_order_acquire); }
    // The output frame of engine time `ms` under the current mapping (offline: exact).
    double FrameAtMs(double ms) const;

    // Without an output device key sounds are not loaded at all (every load fails).
    void SetKeySoundsEnabled(bool on) { keySoundsEnabled_ = on; }
    // Slots whose names lead to the same file (same size and time stamp) share one
    // decoded buffer. Past the cap on the decoded audio the slots hold together, a
    // further sound is not loaded (a failed load).
    static constexpr std::size_t kDefaultDecodedCap = std::size_t{2} << 30;  // 2 GiB
    void SetDecodedAudioCap(std::size_t bytes) { decodedCap_ = bytes; }
    std::size_t DecodedBytes() const { return decodedBytes_; }

    // SoundDevice (producer side).
    bool CreateFromFile(int slot, const std::string& path) override;
    bool HasBuffer(int slot) const override;
    int32_t GetFrequency(int slot) const override;
    void SetFrequency(int slot, int32_t hz) override;
    void Stop(int slot, double atMs) override;
    void SetPosition(int slot, int64_t frame, double atMs) override;
    void Play(int slot, double atMs) override;
    // Sample-exact: the start frame of `originMs` and of `atMs` under one mapping.
    void PlayFrom(int slot, double atMs, double originMs) override;
    void Release(int slot) override;
    void ReleaseAll() override;
    void GrowSlots(int count) override;

    // Producer side: a decoded buffer for a slot (what CreateFromFile does after decoding).
    void SetBuffer(int slot, std::shared_ptr<const SoundBuffer> buffer);
    // MIDI background: start `song` at `fromMs` at engine time `atMs`; stop at `atMs`.
    bool MidiPlay(std::shared_ptr<const MidiSong> song, double fromMs, double atMs);
    // `immediate` also voids MIDI starts queued before it (closing the file).
    bool MidiStop(double atMs, bool immediate = false);
    // Stops every key sound and the MIDI background at `atMs`, fading out over a few ms.
    void FadeOutAll(double atMs);
    // Frees retired buffers and songs the consumer no longer holds.
    void CollectGarbage();
    // Commands refused because the queue was full (the consumer is not pulling).
    int64_t DroppedCommands() const { return dropped_; }

private:
    enum class Kind : uint8_t { None, Play, PlayFrom, Stop, SetPosition, MidiPlay, MidiStop };
    struct Command {
        Kind kind = Kind::None;
        bool immediate = false;
        int32_t slot = 0;
        double atMs = 0;
        double value = 0;  // position (frames of the sound), origin ms or MIDI start ms
        double step = 1;   // playback rate relative to the buffer's own
        uint64_t seq = 0;
        int64_t frame = 0;  // filled in by the consumer
        std::shared_ptr<const SoundBuffer> buffer;
        std::shared_ptr<const MidiSong> song;
    };
    struct Voice {
        std::shared_ptr<const SoundBuffer> buffer;
        bool playing = false;
        double pos = 0;  // in frames of the converted buffer
        double step = 1;
        uint64_t releasedSeq = 0;  // commands pushed before the last release are void
    };
    struct FileId {
        uint64_t dev = 0, ino = 0;
        int64_t size = 0, mtimeSec = 0, mtimeNsec = 0;
        auto operator<=>(const FileId&) const = default;
    };
    struct SlotInfo {
        std::shared_ptr<const SoundBuffer> buffer;
        int32_t frequency = 0;
        FileId file;  // where the buffer was decoded from (zero when set directly)
    };
    void Hold(const std::shared_ptr<const SoundBuffer>& buffer, int delta);

    bool Push(Command&& c);
    // A voice start (Play, or PlayFrom with its origin ms as `value`) for the queue.
    void PushStart(Kind kind, int slot, double atMs, double value);
    bool ValidSlot(int slot) const { return slot >= 0 && slot < slotCount_; }
    // Consumer side: any slot a command can name.
    bool StoredSlot(int slot) const { return slot >= 0 && slot < voiceCount_.load(std::memory_order_acquire); }
    struct VoiceChunk;
    Voice& VoiceAt(int slot);
    std::atomic<uint64_t>& ReleaseSeqAt(int slot);
    void Retire(std::shared_ptr<const void> p);
    // Consumer side.
    void FollowClock();
    void DrainQueue();
    void TakeReleases();
    void Apply(Command& c, int64_t now);
    void MixSpan(int offset, int n);
    void MixFrames(int n);
    void FadeOut(Voice& v) { if (v.playing) fades_.Start(v.buffer, v.pos, v.step); }
    void PullBlock(int16_t* out, int frames);
    int64_t ToFrame(double ms) const;

    const int32_t rate_;
    // Producer state.
    std::vector<SlotInfo> slots_;
    std::map<FileId, std::weak_ptr<const SoundBuffer>> byFile_;  // decoded copies by file
    int slotCount_ = kBaseSlots;
    // The voices the consumer walks; only grows, before any command names a new slot.
    std::atomic<int> voiceCount_{kBaseSlots};
    std::vector<std::shared_ptr<const void>> retired_;
    uint64_t nextSeq_ = 0;
    bool keySoundsEnabled_ = true;
    std::size_t decodedCap_ = kDefaultDecodedCap;
    std::size_t decodedBytes_ = 0;
    std::unordered_map<const SoundBuffer*, int> holders_;  // slots holding each buffer
    int64_t dropped_ = 0;
    bool releasingAll_ = false;

    SpscQueue<Command, 8192> queue_;
    // Each chunk holds its voices and, since releases bypass the queue (a full queue can
    // never keep a released buffer alive), the sequence number of each slot's last release.
    std::vector<std::unique_ptr<VoiceChunk>> ownedChunks_;  // producer
    std::unique_ptr<std::atomic<VoiceChunk*>[]> chunks_;    // published to the consumer
    std::atomic<uint64_t> midiCloseSeq_{0};

    // Mapping, written by the consumer in live mode.
    std::atomic<double> anchorMs_{0};
    std::atomic<double> anchorFrame_{0};
    std::atomic<double> framesPerMs_{0};  // live slope: the device's measured pace
    double delayFrames_ = 0;
    bool live_ = false;
    std::function<double()> liveNow_;
    bool anchored_ = false;

    // Consumer state.
    std::atomic<int64_t> produced_{0};
    std::vector<Command> pending_;  // sorted by (frame, seq); capacity fixed up front
    std::unique_ptr<MidiSynth> synth_;
    uint64_t midiClosedSeq_ = 0;
    std::vector<float> mixL_, mixR_, scratchL_, scratchR_;
    VoiceFades fades_;
    TruePeakLimiter limiter_;
    MixTap mixTap_;
    std::atomic<float> outputGain_{1.f};
    int64_t mixed_ = 0;  // frames mixed; the limiter holds those not yet out
    bool primed_ = false;
};

}  // namespace jov
