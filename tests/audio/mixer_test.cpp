#include "audio/mixer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace jov {
namespace {

constexpr int kRate = 48000;

// A sound whose frame i holds (i + 1) on the left and -(i + 1) on the right, so every
// output sample tells which frame of which sound it came from.
std::shared_ptr<const SoundBuffer> Ramp(int64_t frames, int32_t originalRate = kRate) {
    auto b = std::make_shared<SoundBuffer>();
    b->frames = frames;
    b->originalRate = originalRate;
    b->originalFrames = frames;
    for (int64_t i = 0; i < frames; ++i) {
        b->pcm.push_back(int16_t(i + 1));
        b->pcm.push_back(int16_t(-(i + 1)));
    }
    return b;
}

std::vector<int16_t> PullFrames(Mixer& m, int frames) {
    std::vector<int16_t> out(size_t(frames) * 2);
    m.Pull(out.data(), frames);
    return out;
}

int FirstNonZero(const std::vector<int16_t>& pcm, int from = 0) {
    for (size_t i = size_t(from) * 2; i < pcm.size(); i += 2)
        if (pcm[i] != 0) return int(i / 2);
    return -1;
}

// The key-sound trigger: stop, rewind, play, all at one engine time.
void Trigger(Mixer& m, int slot, double ms) {
    m.Stop(slot, ms);
    m.SetPosition(slot, 0, ms);
    m.Play(slot, ms);
}

TEST(Mixer, StartLandsOnTheExactFrameOfItsTime) {
    Mixer m(kRate);
    m.SetBuffer(1, Ramp(100));
    // 37 ms is frame 1776; 20.5 ms is frame 984 (a fractional time), both inside
    // one pull that spans several blocks.
    Trigger(m, 1, 37.0);
    m.SetBuffer(2, Ramp(10));
    Trigger(m, 2, 20.5);
    auto pcm = PullFrames(m, 4000);
    EXPECT_EQ(FirstNonZero(pcm), 984);
    EXPECT_EQ(FirstNonZero(pcm, 995), 1776);
    // Frame: left sample (the right one is its negative).
    for (auto [frame, left] : {std::pair{984, 1}, {993, 10}, {994, 0}, {1776, 1}, {1875, 100}, {1876, 0}}) {
        EXPECT_EQ(pcm[frame * 2], left) << frame;
        EXPECT_EQ(pcm[frame * 2 + 1], -left) << frame;
    }

    // At 44100 Hz, 5 ms is 220.5 frames: halves round to even.
    Mixer m2(44100);
    m2.SetBuffer(0, Ramp(4, 44100));
    Trigger(m2, 0, 5.0);
    Trigger(m2, 0, 15.0);  // 661.5 -> 662
    auto pcm2 = PullFrames(m2, 1000);
    EXPECT_EQ(FirstNonZero(pcm2), 220);
    EXPECT_EQ(FirstNonZero(pcm2, 230), 662);
}

TEST(Mixer, OfflineAnchorAndPullingInSmallBlocks) {
    Mixer m(kRate);
    m.SetOfflineAnchor(1000.0, 0);  // engine ms 1000 is frame 0
    m.SetBuffer(3, Ramp(5));
    Trigger(m, 3, 1010.0);  // frame 480
    std::vector<int16_t> all;
    for (int i = 0; i < 20; ++i) {
        auto part = PullFrames(m, 37);
        all.insert(all.end(), part.begin(), part.end());
    }
    EXPECT_EQ(FirstNonZero(all), 480);
    EXPECT_DOUBLE_EQ(m.FrameAtMs(1010.0), 480.0);
}

TEST(Mixer, LateStartSkipsTheMissedFramesOrIsNotHeard) {
    Mixer m(kRate);
    m.SetBuffer(0, Ramp(1000));
    PullFrames(m, 500);
    // Due at frame 240, but 500 frames are already out: starts at 500 from frame 260.
    Trigger(m, 0, 5.0);
    auto pcm = PullFrames(m, 1000);
    EXPECT_EQ(std::vector(pcm.begin(), pcm.begin() + 2), (std::vector<int16_t>{261, -261}));
    EXPECT_EQ(pcm[739 * 2], 1000);
    EXPECT_EQ(pcm[740 * 2], 0);

    // A start later than the whole sound: nothing at all.
    m.SetBuffer(1, Ramp(100));
    Trigger(m, 1, 0.0);  // frame 0, now at frame 1500
    auto silent = PullFrames(m, 500);
    EXPECT_EQ(FirstNonZero(silent), -1);

    // A late position change on a playing voice moves it on by the frames missed.
    m.SetBuffer(2, Ramp(5000));
    Trigger(m, 2, 2000.0 / 48.0);  // frame 2000: the next block starts there
    PullFrames(m, 100);            // voice at frame 100 of the sound
    m.SetPosition(2, 1000, 2050.0 / 48.0);  // due at 2050, applied at 2100
    auto moved = PullFrames(m, 10);
    EXPECT_EQ(moved[0], 1051);
}

TEST(Mixer, RetriggerRestartsAndStopSilencesAtItsFrame) {
    Mixer m(kRate);
    m.SetBuffer(5, Ramp(1000));
    Trigger(m, 5, 0.0);
    Trigger(m, 5, 2.0);  // frame 96: cut and restarted
    m.Stop(5, 4.0);      // frame 192
    auto pcm = PullFrames(m, 400);
    for (auto [frame, left] : {std::pair{95, 96}, {96, 1}, {191, 96}}) EXPECT_EQ(pcm[frame * 2], left) << frame;
    EXPECT_EQ(FirstNonZero(pcm, 192), -1);

    // Play after a stop goes on from where it stopped; a play while playing changes nothing.
    m.Play(5, 400.0 / 48.0);
    m.Play(5, 410.0 / 48.0);
    auto more = PullFrames(m, 20);
    EXPECT_EQ(more[0], 97);
    EXPECT_EQ(more[19 * 2], 116);
}

TEST(Mixer, ManyVoicesSumAndClip) {
    Mixer m(kRate);
    auto loud = std::make_shared<SoundBuffer>(*Ramp(10));
    loud->pcm.assign(20, 20000);
    for (int s = 0; s < 256; ++s) {
        m.SetBuffer(s, s < 2 ? loud : Ramp(10));
        Trigger(m, s, 0.0);
    }
    auto pcm = PullFrames(m, 20);
    EXPECT_EQ(pcm[0], 32767);  // 2 * 20000 + 254 > 32767
    // The ramps alone: 254 voices of -(i+1) on the right plus 2 * 20000.
    EXPECT_EQ(pcm[1], 40000 - 254 > 32767 ? 32767 : 40000 - 254);
    EXPECT_EQ(pcm[10 * 2], 0);

    // Negative clipping, and only the ramps (the loud slots stopped).
    for (int s = 0; s < 2; ++s) m.Stop(s, 1.0);
    for (int s = 2; s < 256; ++s) {
        m.SetBuffer(s, Ramp(200));
        Trigger(m, s, 1.0);  // frame 48
    }
    auto pcm2 = PullFrames(m, 300);
    EXPECT_EQ(std::vector(pcm2.begin() + 28 * 2, pcm2.begin() + 28 * 2 + 2), (std::vector<int16_t>{254, -254}));
    // 254 * 200 clips at both ends.
    EXPECT_EQ(std::vector(pcm2.begin() + 227 * 2, pcm2.begin() + 227 * 2 + 2), (std::vector<int16_t>{32767, -32768}));
}

TEST(Mixer, ReleaseVoidsQueuedCommandsAndFrequencyChangesTheRate) {
    Mixer m(kRate);
    m.SetBuffer(7, Ramp(100));
    EXPECT_EQ(m.GetFrequency(7), kRate);
    Trigger(m, 7, 10.0);
    m.Release(7);  // before the play's frame: the play must not sound
    EXPECT_FALSE(m.HasBuffer(7));
    EXPECT_EQ(m.GetFrequency(7), 0);
    m.Play(7, 0.0);  // no buffer: nothing
    auto pcm = PullFrames(m, 1000);
    EXPECT_EQ(FirstNonZero(pcm), -1);

    // Twice the frequency plays every other frame; positions count the sound's own frames.
    m.SetBuffer(8, Ramp(100, 24000));  // converted buffer of a 24 kHz file... at 48k here
    m.SetFrequency(8, 48000);
    EXPECT_EQ(m.GetFrequency(8), 48000);
    const double now = m.FramesProduced() * 1000.0 / kRate;
    m.Stop(8, now);
    m.SetPosition(8, 10, now);  // sound frame 10 = buffer frame 20
    m.Play(8, now);
    auto fast = PullFrames(m, 10);
    EXPECT_EQ((std::vector{fast[0], fast[2], fast[4]}), (std::vector<int16_t>{21, 23, 25}));

    // Out-of-range slots are refused quietly.
    m.Play(-1, 0);
    m.Play(256, 0);
    EXPECT_FALSE(m.HasBuffer(300));
    EXPECT_FALSE(m.CreateFromFile(256, "/nonexistent.wav"));
}

TEST(Mixer, UnpulledQueueIsBoundedAndBuffersAreFreedOnceUnused) {
    Mixer m(kRate);
    auto buf = Ramp(10);
    std::weak_ptr<const SoundBuffer> watch = buf;
    m.SetBuffer(0, buf);
    buf.reset();
    for (int i = 0; i < 20000; ++i) m.Play(0, double(i));
    EXPECT_GT(m.DroppedCommands(), 0);
    m.Release(0);
    EXPECT_FALSE(watch.expired());  // queued commands still hold it
    std::vector<int16_t> out(2 * 1024);
    for (int i = 0; i < 64; ++i) m.Pull(out.data(), 1024);
    m.CollectGarbage();
    EXPECT_TRUE(watch.expired());
}

TEST(Mixer, LiveMappingFollowsTheClockAndRestartsAfterAStall) {
    Mixer m(kRate);
    double now = 5000.0;
    m.SetLive([&now] { return now; }, 30.0);  // 30 ms = 1440 frames of delay
    m.SetBuffer(0, Ramp(10));
    Trigger(m, 0, 5000.0);
    std::vector<int16_t> all;
    // Blocks of 10 ms, each pulled when the clock says so, with some jitter.
    const double jitter[] = {0.0, 1.5, -1.0, 0.7, -0.3, 0.0, 2.0, -2.0};
    for (int b = 0; b < 8; ++b) {
        now = 5000.0 + b * 10.0 + jitter[b];
        auto part = PullFrames(m, 480);
        all.insert(all.end(), part.begin(), part.end());
    }
    EXPECT_EQ(FirstNonZero(all), 1440);

    // A half-second stall: the mapping starts afresh from (now, frames produced).
    now = 5600.0;
    PullFrames(m, 480);
    Trigger(m, 0, 5610.0);  // 5600 ms is frame 3840, so 5610 ms sounds at 4320 + 1440
    now = 5610.0;
    auto after = PullFrames(m, 4000);  // starts at frame 4320
    EXPECT_EQ(FirstNonZero(after), 1440);
}

TEST(Mixer, CommandsStampedFarAheadNeverBlockTheOnesDueSoon) {
    Mixer m(kRate);
    m.SetBuffer(0, Ramp(10));
    m.SetBuffer(1, Ramp(10));
    std::vector<int16_t> out(2 * 1024);
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 5000; ++i) m.Play(0, 1.0e12 + i);
        m.Pull(out.data(), 1024);
    }
    const double now = m.FramesProduced() * 1000.0 / kRate;
    Trigger(m, 1, now + 1.0);  // 48 frames into the next block
    auto pcm = PullFrames(m, 100);
    EXPECT_EQ(FirstNonZero(pcm), 48);
}

}  // namespace
}  // namespace jov
