#include "audio/mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace jov {
namespace {

// A sound whose frame i holds (i + 1) on the left and -(i + 1) on the right, so every
// output sample tells which frame of which sound it came from.
std::shared_ptr<SoundBuffer> Ramp(int64_t frames, int32_t rate) {
    auto b = std::make_shared<SoundBuffer>();
    b->frames = b->originalFrames = frames;
    b->originalRate = rate;
    for (int64_t i = 0; i < frames; ++i) {
        b->pcm.push_back(int16_t(i + 1));
        b->pcm.push_back(int16_t(-(i + 1)));
    }
    return b;
}

int FirstNonZero(const std::vector<int16_t>& pcm, int from) {
    for (size_t i = size_t(from) * 2; i < pcm.size(); i += 2)
        if (pcm[i] != 0) return int(i / 2);
    return -1;
}

// Runs the scripts of tests/data/mixer/stamps.txt (the commands are listed at its top).
TEST(Mixer, StampedCommandsLandOnTheirFramesAsTheScriptsSay) {
    std::ifstream file(std::string(JOV01_TEST_DATA) + "/mixer/stamps.txt");
    std::unique_ptr<Mixer> m;
    std::vector<int16_t> out;
    double now = 0;  // the live clock
    std::weak_ptr<const SoundBuffer> lastRamp;
    std::string line, op;
    int checks = 0;
    while (std::getline(file, line)) {
        std::istringstream in(line);
        if (!(in >> op) || op[0] == '#') continue;
        SCOPED_TRACE(line);
        std::vector<std::string> t;
        for (std::string w; in >> w;) t.push_back(w);
        t.resize(4, "0");
        // Argument i as a number; "@F" is frame F at the mixer's rate in ms.
        auto num = [&](size_t i) { return t[i][0] == '@' ? std::stod(t[i].substr(1)) * 1000.0 / m->Rate() : std::stod(t[i]); };
        // The first argument as slots: n or a range n-m.
        const int lo = std::stoi(t[0]), hi = t[0].find('-', 1) == std::string::npos ? lo : std::stoi(t[0].substr(t[0].find('-', 1) + 1));
        if (op == "mixer") {
            m = std::make_unique<Mixer>(int32_t(num(0)));
            continue;
        }
        ASSERT_TRUE(m) << "no mixer yet";
        if (op == "ramp" || op == "const") {
            auto b = Ramp(int64_t(num(1)), op == "ramp" && num(2) ? int32_t(num(2)) : m->Rate());
            if (op == "const") b->pcm.assign(b->pcm.size(), int16_t(num(2)));
            lastRamp = b;
            for (int s = lo; s <= hi; ++s) m->SetBuffer(s, b);
        } else if (op == "sine") {
            auto b = Ramp(int64_t(num(1)), m->Rate());
            for (size_t i = 0; i < b->pcm.size(); ++i) b->pcm[i] = int16_t(std::lround(num(3) * std::sin(2 * M_PI * double(i / 2) / num(2))));
            lastRamp = b;
            for (int s = lo; s <= hi; ++s) m->SetBuffer(s, b);
        } else if (op == "trigger" || op == "play" || op == "stop") {
            for (int s = lo; s <= hi; ++s) {
                if (op != "play") m->Stop(s, num(1));
                if (op == "trigger") m->SetPosition(s, 0, num(1));
                if (op != "stop") m->Play(s, num(1));
            }
        } else if (op == "from") {
            m->PlayFrom(lo, num(1), num(2));
        } else if (op == "grow") {
            m->GrowSlots(lo);
        } else if (op == "flood") {
            for (int i = 0; i < int(num(1)); ++i) m->Play(lo, num(2) + i);
        } else if (op == "pos") {
            m->SetPosition(lo, int64_t(num(1)), num(2));
        } else if (op == "release") {
            m->Release(lo);
        } else if (op == "freq") {
            m->SetFrequency(lo, int32_t(num(1)));
        } else if (op == "anchor") {
            m->SetOfflineAnchor(num(0), num(1));
        } else if (op == "live") {
            m->SetLive([&now] { return now; }, num(0));
        } else if (op == "now") {
            now = num(0);
        } else if (op == "pull") {
            const int frames = int(num(0)), block = num(1) ? int(num(1)) : frames;
            out.assign(size_t(frames) * 2, 1);
            for (int done = 0; done < frames; done += block) m->Pull(out.data() + done * 2, std::min(block, frames - done));
        } else if (op == "first") {
            EXPECT_EQ(FirstNonZero(out, int(num(0))), int(num(1)));
        } else if (op == "at") {
            const size_t frame = size_t(num(0));
            ASSERT_LT(frame * 2 + 1, out.size());
            EXPECT_EQ(std::make_pair(out[frame * 2], out[frame * 2 + 1]), std::make_pair(int16_t(num(1)), int16_t(num(2))));
        } else if (op == "peak" || op == "step") {
            // Largest sample, or largest change from one frame to the next, in the last pull.
            int most = 0;
            for (size_t i = op == "step" ? 2 : 0; i < out.size(); ++i)
                most = std::max(most, std::abs(op == "step" ? out[i] - out[i - 2] : int(out[i])));
            EXPECT_LE(most, int(num(0)));
        } else if (op == "has") {
            EXPECT_EQ(m->HasBuffer(lo), num(1) != 0);
        } else if (op == "freq?") {
            EXPECT_EQ(m->GetFrequency(lo), int32_t(num(1)));
        } else if (op == "dropped") {
            EXPECT_EQ(m->DroppedCommands() > 0, num(0) != 0);
        } else if (op == "freed") {
            m->CollectGarbage();
            EXPECT_EQ(lastRamp.expired(), num(0) != 0);
        } else {
            ADD_FAILURE() << "unknown command";
        }
        checks += op == "first" || op == "at" || op == "peak" || op == "step" || op == "has" || op == "freq?" || op == "dropped" || op == "freed";
    }
    EXPECT_GT(checks, 30);
    EXPECT_FALSE(Mixer(48000).CreateFromFile(256, "/nonexistent.wav"));
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
