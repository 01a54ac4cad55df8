#include "audio/mixer.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "audio/midi_synth.h"
#include "audio/path_resolver.h"

namespace jov {
namespace {

constexpr std::size_t kPendingCapacity = 8192;

int16_t ClipToPcm16(float v) {
    float s = std::nearbyint(v * 32768.0f);
    if (!(s > -32768.0f)) return -32768;  // also NaN
    if (s > 32767.0f) return 32767;
    return static_cast<int16_t>(s);
}

}  // namespace

struct Mixer::VoiceChunk {
    std::array<Voice, kChunk> voices{};
    std::array<std::atomic<uint64_t>, kChunk> releaseSeq{};
};

Mixer::Voice& Mixer::VoiceAt(int slot) {
    return chunks_[slot / kChunk].load(std::memory_order_acquire)->voices[slot % kChunk];
}

std::atomic<uint64_t>& Mixer::ReleaseSeqAt(int slot) {
    return chunks_[slot / kChunk].load(std::memory_order_acquire)->releaseSeq[slot % kChunk];
}

Mixer::Mixer(int32_t rate) : rate_(rate > 0 ? rate : 44100), chunks_(new std::atomic<VoiceChunk*>[kMaxChunks]),
      fades_(rate_),
      limiter_(rate_) {
    for (int i = 0; i < kMaxChunks; ++i) chunks_[i].store(nullptr, std::memory_order_relaxed);
    slots_.resize(kBaseSlots);
    ownedChunks_.push_back(std::make_unique<VoiceChunk>());
    chunks_[0].store(ownedChunks_.back().get(), std::memory_order_release);
    pending_.reserve(kPendingCapacity);
    mixL_.assign(kMaxBlock, 0.f);
    mixR_.assign(kMaxBlock, 0.f);
    scratchL_.assign(kMaxBlock, 0.f);
    scratchR_.assign(kMaxBlock, 0.f);
}

Mixer::~Mixer() = default;

void Mixer::SetOfflineAnchor(double ms, double frame) {
    anchorMs_.store(ms);
    anchorFrame_.store(frame);
    delayFrames_ = 0;
    liveNow_ = nullptr;
    live_ = false;
    anchored_ = true;
}

void Mixer::SetLive(std::function<double()> nowMs, double outputDelayMs) {
    liveNow_ = std::move(nowMs);
    delayFrames_ = outputDelayMs * rate_ / 1000.0;
    anchored_ = false;
    live_ = static_cast<bool>(liveNow_);
    framesPerMs_.store(rate_ / 1000.0);
    if (liveNow_) {
        // A first mapping for commands queued before the first block.
        anchorMs_.store(liveNow_());
        anchorFrame_.store(double(FramesProduced()));
    }
}

void Mixer::AttachSynth(std::unique_ptr<MidiSynth> synth) { synth_ = std::move(synth); }

double Mixer::FrameAtMs(double ms) const {
    if (!live_) return (ms - anchorMs_.load()) * rate_ / 1000.0 + anchorFrame_.load() + delayFrames_;
    return (ms - anchorMs_.load()) * framesPerMs_.load() + anchorFrame_.load() + delayFrames_;
}

int64_t Mixer::ToFrame(double ms) const {
    double f = std::nearbyint(FrameAtMs(ms));
    if (!(f > -9.0e18)) return INT64_MIN + 1;
    if (f > 9.0e18) return INT64_MAX - 1;
    return static_cast<int64_t>(f);
}

// ---- producer side ----

bool Mixer::Push(Command&& c) {
    c.seq = ++nextSeq_;
    if (c.immediate || !std::isfinite(c.atMs)) c.immediate = true;
    if (!queue_.Push(std::move(c))) {
        ++dropped_;
        return false;
    }
    return true;
}

void Mixer::Retire(std::shared_ptr<const void> p) {
    if (p) retired_.push_back(std::move(p));
}

void Mixer::CollectGarbage() {
    auto it = std::remove_if(retired_.begin(), retired_.end(), [](const std::shared_ptr<const void>& p) {
        if (p.use_count() != 1) return false;
        // Pairs with the consumer's release of its reference: its last reads of the
        // data happen before the free.
        std::atomic_thread_fence(std::memory_order_acquire);
        return true;
    });
    retired_.erase(it, retired_.end());
}

bool Mixer::CreateFromFile(int slot, const std::string& path) {
    if (!ValidSlot(slot) || !keySoundsEnabled_) return false;
    CollectGarbage();
    auto resolved = ResolvePath(path);
    if (!resolved) return false;
    struct stat st {};
    if (::stat(resolved->c_str(), &st) != 0) return false;
    const FileId file{uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size), int64_t(st.st_mtim.tv_sec),
                      int64_t(st.st_mtim.tv_nsec)};
    // The same file under another slot's name: one decoded copy for both.
    if (auto known = byFile_.find(file); known != byFile_.end()) {
        auto shared = known->second.lock();
        if (shared && holders_.count(shared.get())) {
            SetBuffer(slot, std::move(shared));
            slots_[slot].file = file;
            return true;
        }
        byFile_.erase(known);
    }
    std::size_t used = decodedBytes_;
    if (const auto& own = slots_[slot].buffer; own && holders_[own.get()] == 1) used -= own->pcm.size() * sizeof(int16_t);
    if (used >= decodedCap_) return false;
    DecodeLimits limits;
    limits.maxOutputBytes = decodedCap_ - used;
    auto decoded = DecodeSoundFile(*resolved, rate_, limits);
    if (!decoded) return false;
    SetBuffer(slot, std::make_shared<const SoundBuffer>(std::move(*decoded)));
    slots_[slot].file = file;
    byFile_[file] = slots_[slot].buffer;
    return true;
}

void Mixer::Hold(const std::shared_ptr<const SoundBuffer>& buffer, int delta) {
    if (!buffer) return;
    int& n = holders_[buffer.get()];
    if (n == 0 && delta > 0) decodedBytes_ += buffer->pcm.size() * sizeof(int16_t);
    n += delta;
    if (n <= 0) {
        decodedBytes_ -= buffer->pcm.size() * sizeof(int16_t);
        holders_.erase(buffer.get());
    }
}

void Mixer::SetBuffer(int slot, std::shared_ptr<const SoundBuffer> buffer) {
    if (!ValidSlot(slot) || !buffer || slots_[slot].buffer == buffer) return;
    // The old buffer goes away, and its sound with it.
    if (slots_[slot].buffer) Release(slot);
    // A buffer shared with another slot is on the retire list already.
    if (holders_.find(buffer.get()) == holders_.end()) Retire(buffer);
    Hold(buffer, +1);
    slots_[slot].frequency = buffer->originalRate;
    slots_[slot].buffer = std::move(buffer);
}

bool Mixer::HasBuffer(int slot) const { return ValidSlot(slot) && slots_[slot].buffer != nullptr; }

int32_t Mixer::GetFrequency(int slot) const {
    return HasBuffer(slot) ? slots_[slot].frequency : 0;
}

void Mixer::SetFrequency(int slot, int32_t hz) {
    if (HasBuffer(slot) && hz > 0 && hz <= 768000) slots_[slot].frequency = hz;
}

void Mixer::Stop(int slot, double atMs) {
    if (!HasBuffer(slot)) return;
    Command c;
    c.kind = Kind::Stop;
    c.slot = slot;
    c.atMs = atMs;
    Push(std::move(c));
}

void Mixer::SetPosition(int slot, int64_t frame, double atMs) {
    if (!HasBuffer(slot)) return;
    Command c;
    c.kind = Kind::SetPosition;
    c.slot = slot;
    c.atMs = atMs;
    c.value = double(std::max<int64_t>(frame, 0));
    c.buffer = slots_[slot].buffer;
    Push(std::move(c));
}

void Mixer::Play(int slot, double atMs) { PushStart(Kind::Play, slot, atMs, 0.0); }

void Mixer::PlayFrom(int slot, double atMs, double originMs) { PushStart(Kind::PlayFrom, slot, atMs, originMs); }

void Mixer::PushStart(Kind kind, int slot, double atMs, double value) {
    if (!HasBuffer(slot)) return;
    const SlotInfo& s = slots_[slot];
    Command c;
    c.kind = kind;
    c.slot = slot;
    c.atMs = atMs;
    c.value = value;
    c.step = double(s.frequency) / s.buffer->originalRate;
    c.buffer = s.buffer;
    Push(std::move(c));
}

void Mixer::Release(int slot) {
    if (!HasBuffer(slot)) return;
    SlotInfo& info = slots_[slot];
    Hold(info.buffer, -1);
    // The last slot holding a file's copy forgets the file, so the index stays the size
    // of what is loaded however many charts have played.
    if (!holders_.count(info.buffer.get()))
        if (auto it = byFile_.find(info.file); it != byFile_.end() && it->second.lock() == info.buffer) byFile_.erase(it);
    info = SlotInfo{};
    ReleaseSeqAt(slot).store(++nextSeq_, std::memory_order_release);
    if (!releasingAll_) CollectGarbage();
}

void Mixer::ReleaseAll() {
    // One collection at the end: thousands of slots would otherwise walk the list each.
    releasingAll_ = true;
    for (int s = 0; s < slotCount_; ++s) Release(s);
    releasingAll_ = false;
    CollectGarbage();
}

void Mixer::GrowSlots(int count) {
    if (count <= slotCount_) return;
    slotCount_ = std::min(count, kSlots);
    slots_.resize(static_cast<size_t>(slotCount_));
    // Memory follows the slots a chart names: one chunk of voices per 1024.
    while (static_cast<int>(ownedChunks_.size()) * kChunk < slotCount_) {
        ownedChunks_.push_back(std::make_unique<VoiceChunk>());
        chunks_[ownedChunks_.size() - 1].store(ownedChunks_.back().get(), std::memory_order_release);
    }
    voiceCount_.store(slotCount_, std::memory_order_release);
}

bool Mixer::MidiPlay(std::shared_ptr<const MidiSong> song, double fromMs, double atMs) {
    if (!song) return false;
    CollectGarbage();
    Retire(song);
    Command c;
    c.kind = Kind::MidiPlay;
    c.atMs = atMs;
    c.value = fromMs;
    c.song = std::move(song);
    return Push(std::move(c));
}

bool Mixer::MidiStop(double atMs, bool immediate) {
    if (immediate) {
        midiCloseSeq_.store(++nextSeq_, std::memory_order_release);
        return true;
    }
    Command c;
    c.kind = Kind::MidiStop;
    c.atMs = atMs;
    c.immediate = immediate;
    return Push(std::move(c));
}

void Mixer::FadeOutAll(double atMs) {
    for (int s = 0; s < slotCount_; ++s) Stop(s, atMs);
    Command c;
    c.kind = Kind::MidiStop;
    c.atMs = atMs;
    c.value = 1;  // fade
    Push(std::move(c));
}

// ---- consumer side ----

// A second-order loop on (clock now, frames produced): the anchor follows the device's
// phase and the slope its pace. A device that consumes a little faster or slower than
// the clock (every one does; SDL's disk driver by several %) then leaves no standing
// lag between the mapping and the output, and callback jitter is smoothed out instead
// of moving the sounds.
void Mixer::FollowClock() {
    if (!liveNow_) return;
    constexpr double kPhaseGain = 0.1;     // settles in about 1.5 s at 10 ms blocks
    constexpr double kPaceGain = 0.0025;  // near critical damping with the phase gain
    const double nominal = rate_ / 1000.0;
    double now = liveNow_();
    double produced = double(produced_.load(std::memory_order_relaxed));
    double anchorMs = anchorMs_.load(std::memory_order_relaxed);
    double anchorFrame = anchorFrame_.load(std::memory_order_relaxed);
    double pace = framesPerMs_.load(std::memory_order_relaxed);
    double predicted = (now - anchorMs) * pace + anchorFrame;
    double err = produced - predicted;
    if (!anchored_ || !std::isfinite(err) || std::fabs(err) > rate_ * 0.1 || now < anchorMs) {
        // First block, or a stall: start the mapping afresh.
        anchorMs_.store(now, std::memory_order_relaxed);
        anchorFrame_.store(produced, std::memory_order_relaxed);
        framesPerMs_.store(nominal, std::memory_order_relaxed);
        anchored_ = true;
        return;
    }
    const double dtMs = now - anchorMs;
    if (dtMs < 1.0) {
        // Blocks pulled back to back (a burst): too close to tell the pace apart.
        anchorFrame_.store(anchorFrame + err * kPhaseGain, std::memory_order_relaxed);
        return;
    }
    pace = std::clamp(pace + err * kPaceGain / dtMs, nominal * 0.8, nominal * 1.2);
    // Re-anchored at now, so the slope never acts on a long stretch of old time.
    anchorMs_.store(now, std::memory_order_relaxed);
    anchorFrame_.store(predicted + err * kPhaseGain, std::memory_order_relaxed);
    framesPerMs_.store(pace, std::memory_order_relaxed);
}

void Mixer::DrainQueue() {
    auto before = [](const Command& a, const Command& b) {
        return a.frame != b.frame ? a.frame < b.frame : a.seq < b.seq;
    };
    Command c;
    while (queue_.Pop(c)) {
        c.frame = c.immediate ? INT64_MIN : ToFrame(c.atMs);
        if (pending_.size() >= kPendingCapacity) {
            // Full (commands stamped far ahead): the one due last gives way, so the
            // list never blocks the commands that are due soon.
            if (!before(c, pending_.back())) continue;
            pending_.pop_back();
        }
        pending_.insert(std::upper_bound(pending_.begin(), pending_.end(), c, before), std::move(c));
    }
}

void Mixer::TakeReleases() {
    bool any = false;
    const int voices = voiceCount_.load(std::memory_order_acquire);
    for (int s = 0; s < voices; ++s) {
        uint64_t seq = ReleaseSeqAt(s).load(std::memory_order_acquire);
        Voice& v = VoiceAt(s);
        if (seq <= v.releasedSeq) continue;
        FadeOut(v);
        v.playing = false;
        v.buffer.reset();
        v.pos = 0;
        v.releasedSeq = seq;
        any = true;
    }
    uint64_t close = midiCloseSeq_.load(std::memory_order_acquire);
    if (close > midiClosedSeq_) {
        midiClosedSeq_ = close;
        if (synth_) synth_->Close();
        any = true;
    }
    if (!any) return;
    // Drop what the releases void now, so their buffers and songs are let go at once.
    auto voided = [this](const Command& c) {
        if (c.kind == Kind::MidiPlay || c.kind == Kind::MidiStop) return c.seq < midiClosedSeq_;
        return StoredSlot(c.slot) && c.seq < VoiceAt(c.slot).releasedSeq;
    };
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(), voided), pending_.end());
}

void Mixer::Apply(Command& c, int64_t now) {
    const double missed = c.immediate || c.frame >= now ? 0.0 : double(now - c.frame);
    if (c.kind == Kind::MidiPlay || c.kind == Kind::MidiStop) {
        if (c.seq < midiClosedSeq_) return;
        if (c.kind == Kind::MidiStop) {
            if (synth_ && c.value != 0) synth_->FadeOut(fades_.FadeFrames());
            else if (synth_) synth_->Stop();
        } else if (synth_ ) {
            synth_->Play(std::move(c.song), c.value, double(c.frame), now);
        }
        return;
    }
    if (!StoredSlot(c.slot)) return;
    Voice& v = VoiceAt(c.slot);
    if (c.seq < v.releasedSeq) return;
    switch (c.kind) {
        case Kind::Stop:
            FadeOut(v);
            v.playing = false;
            break;
        case Kind::SetPosition: {
            if (!c.buffer) break;
            FadeOut(v);
            if (v.buffer != c.buffer) v.buffer = std::move(c.buffer);
            v.pos = c.value * rate_ / v.buffer->originalRate + (v.playing ? missed * v.step : 0.0);
            if (v.playing && v.pos >= double(v.buffer->frames)) {
                v.playing = false;
                v.pos = 0;
            }
            break;
        }
        case Kind::Play: {
            if (!c.buffer || (v.playing && v.buffer == c.buffer)) break;
            if (v.buffer != c.buffer) {
                FadeOut(v);
                v.buffer = std::move(c.buffer);
            }
            v.step = c.step > 0 && std::isfinite(c.step) ? c.step : 1.0;
            v.pos += missed * v.step;
            // A start so late that the sound would already be over is not heard.
            v.playing = v.pos < double(v.buffer->frames);
            if (!v.playing) v.pos = 0;
            break;
        }
        case Kind::PlayFrom: {
            if (!c.buffer) break;
            const double step = c.step > 0 && std::isfinite(c.step) ? c.step : 1.0;
            // Both ends on the same frame mapping, so a sound played on in pieces meets
            // itself on the very sample; a late start skips what it missed, as Play does.
            const int64_t origin = ToFrame(c.value);
            const int64_t from = c.immediate ? now : std::max(c.frame, now);
            const double pos = from > origin ? (double(from) - double(origin)) * step : 0.0;
            // A piece that goes on where the voice already is joins it; any other cut fades.
            const bool joins = v.playing && v.buffer == c.buffer && std::abs(v.pos - pos) < 0.5;
            if (!joins) FadeOut(v);
            if (v.buffer != c.buffer) v.buffer = std::move(c.buffer);
            v.step = step;
            v.playing = pos < double(v.buffer->frames);
            v.pos = v.playing ? pos : 0.0;
            break;
        }
        default: break;
    }
}

void Mixer::MixSpan(int offset, int n) {
    constexpr float kScale = 1.0f / 32768.0f;
    float* l = mixL_.data() + offset;
    float* r = mixR_.data() + offset;
    const int voices = voiceCount_.load(std::memory_order_acquire);
    for (int s = 0; s < voices; ++s) {
        Voice& v = VoiceAt(s);
        if (!v.playing || !v.buffer) continue;
        const int16_t* pcm = v.buffer->pcm.data();
        const int64_t frames = v.buffer->frames;
        if (v.step == 1.0 && v.pos == std::floor(v.pos)) {
            int64_t idx = static_cast<int64_t>(v.pos);
            int64_t count = std::min<int64_t>(n, frames - idx);
            for (int64_t i = 0; i < count; ++i) {
                l[i] += pcm[2 * (idx + i)] * kScale;
                r[i] += pcm[2 * (idx + i) + 1] * kScale;
            }
            v.pos += double(count);
        } else {
            for (int i = 0; i < n; ++i) {
                int64_t i0 = static_cast<int64_t>(v.pos);
                if (i0 >= frames) break;
                float frac = float(v.pos - double(i0));
                bool hasNext = i0 + 1 < frames;
                float l0 = pcm[2 * i0], r0 = pcm[2 * i0 + 1];
                float l1 = hasNext ? pcm[2 * i0 + 2] : 0.f, r1 = hasNext ? pcm[2 * i0 + 3] : 0.f;
                l[i] += (l0 + (l1 - l0) * frac) * kScale;
                r[i] += (r0 + (r1 - r0) * frac) * kScale;
                v.pos += v.step;
            }
        }
        if (v.pos >= double(frames)) {
            v.playing = false;
            v.pos = 0;
        }
    }
    fades_.Mix(l, r, n);
    if (synth_) synth_->RenderAdd(l, r, scratchL_.data(), scratchR_.data(), n);
}

// Mixes the next n frames (from mixed_) into mixL_/mixR_.
void Mixer::MixFrames(int n) {
    const int64_t start = mixed_;
    const int64_t end = start + n;
    std::fill_n(mixL_.begin(), n, 0.f);
    std::fill_n(mixR_.begin(), n, 0.f);
    std::size_t idx = 0;
    int64_t cur = start;
    while (cur < end) {
        while (idx < pending_.size() && pending_[idx].frame <= cur) Apply(pending_[idx++], cur);
        if (synth_) synth_->DispatchDue(cur);
        int64_t next = end;
        if (idx < pending_.size()) next = std::min(next, pending_[idx].frame);
        if (synth_) next = std::min(next, synth_->NextEventFrame());
        next = std::max(next, cur + 1);
        MixSpan(int(cur - start), int(next - cur));
        cur = next;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(idx));
    mixed_ = end;
    if (mixTap_) mixTap_(mixL_.data(), mixR_.data(), n);
}

void Mixer::PullBlock(int16_t* out, int n) {
    FollowClock();
    DrainQueue();
    TakeReleases();
    // A gain set before the first frame holds from it; later ones ramp in.
    if (primed_) limiter_.SetGain(outputGain_.load(std::memory_order_relaxed));
    else limiter_.SetGainNow(outputGain_.load(std::memory_order_relaxed));
    // The limiter's delay is filled once with the first frames of the mix, so output
    // frame f is mix frame f.
    while (!primed_ && mixed_ < limiter_.Latency()) {
        const int k = std::min<int>(kMaxBlock, int(limiter_.Latency() - mixed_));
        MixFrames(k);
        limiter_.Process(mixL_.data(), mixR_.data(), k);
    }
    primed_ = true;
    MixFrames(n);
    limiter_.Process(mixL_.data(), mixR_.data(), n);
    for (int i = 0; i < n; ++i) {
        out[2 * i] = ClipToPcm16(mixL_[i]);
        out[2 * i + 1] = ClipToPcm16(mixR_[i]);
    }
    produced_.store(produced_.load(std::memory_order_relaxed) + n, std::memory_order_release);
}

void Mixer::Pull(int16_t* out, int frames) {
    while (frames > 0) {
        int n = std::min(frames, kMaxBlock);
        PullBlock(out, n);
        out += 2 * n;
        frames -= n;
    }
}

}  // namespace jov
