#include "audio/mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace jov {
namespace {

constexpr int kRate = 48000;

// A sound whose frame i holds (i + 1) on the left and -(i + 1) on the right, so every
// output sample tells which frame of which sound it came from.
std::shared_ptr<const SoundBuffer> Ramp(int64_t frames, int32_t originalRate = kRate) {
    auto b = std::make_shared<SoundBuffer>();
    b->frames = b->originalFrames = frames;
    b->originalRate = originalRate;
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

// Runs the scripts of tests/data/mixer/stamps.txt (the commands are listed at its top).
TEST(Mixer, StampedCommandsLandOnTheirFramesAsTheScriptsSay) {
    std::ifstream file(std::string(JOV01_TEST_DATA) + "/mixer/stamps.txt");
    std::unique_ptr<Mixer> m;
    std::vector<int16_t> out;
    std::string line, op;
    int checks = 0;
    while (std::getline(file, line)) {
        std::istringstream in(line);
        if (!(in >> op) || op[0] == '#') continue;
        SCOPED_TRACE(line);
        auto slots = [&] {
            std::string t;
            in >> t;
            const auto dash = t.find('-', 1);
            const int a = std::stoi(t), b = dash == std::string::npos ? a : std::stoi(t.substr(dash + 1));
            std::vector<int> v;
            for (int s = a; s <= b; ++s) v.push_back(s);
            return v;
        };
        auto ms = [&] {
            std::string t;
            in >> t;
            return t[0] == '@' ? std::stod(t.substr(1)) * 1000.0 / m->Rate() : std::stod(t);
        };
        auto num = [&] {
            double v = 0;
            in >> v;
            return v;
        };
        if (op == "mixer") {
            m = std::make_unique<Mixer>(int32_t(num()));
            continue;
        }
        ASSERT_TRUE(m) << "no mixer yet";
        if (op == "ramp" || op == "const") {
            const auto v = slots();
            const int64_t frames = int64_t(num());
            const double arg = num();
            auto b = std::make_shared<SoundBuffer>(*Ramp(frames, op == "ramp" && arg ? int32_t(arg) : m->Rate()));
            if (op == "const") b->pcm.assign(b->pcm.size(), int16_t(arg));
            for (int s : v) m->SetBuffer(s, b);
        } else if (op == "trigger" || op == "play" || op == "stop") {
            const auto v = slots();
            const double at = ms();
            for (int s : v) {
                if (op != "play") m->Stop(s, at);
                if (op == "trigger") m->SetPosition(s, 0, at);
                if (op != "stop") m->Play(s, at);
            }
        } else if (op == "pos") {
            const int slot = int(num());
            const int64_t frame = int64_t(num());
            m->SetPosition(slot, frame, ms());
        } else if (op == "release") {
            m->Release(int(num()));
        } else if (op == "freq") {
            const int slot = int(num());
            m->SetFrequency(slot, int32_t(num()));
        } else if (op == "anchor") {
            const double at = num();
            m->SetOfflineAnchor(at, num());
        } else if (op == "pull") {
            const int frames = int(num()), block = int(num());
            out.clear();
            for (int done = 0; done < frames; done += block ? block : frames) {
                auto part = PullFrames(*m, std::min(block ? block : frames, frames - done));
                out.insert(out.end(), part.begin(), part.end());
            }
        } else if (op == "first") {
            const int from = int(num());
            EXPECT_EQ(FirstNonZero(out, from), int(num()));
        } else if (op == "at") {
            const size_t frame = size_t(num());
            const int16_t left = int16_t(num()), right = int16_t(num());
            ASSERT_LT(frame * 2 + 1, out.size());
            EXPECT_EQ(std::make_pair(out[frame * 2], out[frame * 2 + 1]), std::make_pair(left, right));
        } else if (op == "has") {
            const int slot = int(num());
            EXPECT_EQ(m->HasBuffer(slot), num() != 0);
        } else if (op == "freq?") {
            const int slot = int(num());
            EXPECT_EQ(m->GetFrequency(slot), int32_t(num()));
        } else {
            ADD_FAILURE() << "unknown command";
        }
        checks += op == "first" || op == "at" || op == "has" || op == "freq?";
    }
    EXPECT_GT(checks, 30);
    EXPECT_FALSE(Mixer(kRate).CreateFromFile(256, "/nonexistent.wav"));
}

// The key-sound trigger: stop, rewind, play, all at one engine time.
void Trigger(Mixer& m, int slot, double ms) {
    m.Stop(slot, ms);
    m.SetPosition(slot, 0, ms);
    m.Play(slot, ms);
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

// A device that consumes faster or slower than the clock (as SDL's disk driver does by
// several %) must not leave the live mapping lagging behind the output: commands would
// then arrive after their frame and start late at block boundaries.
TEST(MixerPace, LiveMappingLearnsTheDevicePaceAndKeepsNoStandingLag) {
    for (double pace : {1.04, 0.97}) {
        Mixer m(44100);
        double now = 1000.0;
        m.SetLive([&now] { return now; }, 30.0);
        std::vector<int16_t> out(2 * 512);
        const double blockMs = 512 / 44.1 / pace;
        double worst = 0;
        for (int b = 0; b < 1000; ++b) {
            // Callback times wobble by up to 1 ms around the device's own pace.
            now = 1000.0 + b * blockMs + std::sin(b * 1.7) * 1.0;
            m.Pull(out.data(), 512);
            if (b < 400) continue;
            // Where "now" lands, minus the fixed delay, against the frame being made now.
            double lag = m.FrameAtMs(1000.0 + b * blockMs) - 30.0 * 44.1 - double(b) * 512;
            worst = std::max(worst, std::fabs(lag));
        }
        EXPECT_LT(worst, 30.0) << "pace " << pace;  // under 1 ms
    }
}

}  // namespace
}  // namespace jov
