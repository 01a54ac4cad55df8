#include "engine/offline_render.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

namespace jov::test {
namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;

// A click chart: tempo changes, a shortened measure, clicks on odd subdivisions.
const char* kClickChart =
    "#TITLE click\r\n#BPM 133\r\n#WAV01 click.wav\r\n"
    "#00101:01010101\r\n"
    "#00201:0001000100010001\r\n#00203:00B4\r\n"   // 180 BPM half-way through measure 2
    "#00302:0.75\r\n#00301:010101\r\n"
    "#00401:000000000000000000010000\r\n#00403:5A\r\n";  // 90 BPM at the start of measure 4

class OfflineRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("jov01_render_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        // 30 samples of a constant level: the onset is the first non-zero sample.
        std::vector<int16_t> click(2 * 30, 12000);
        SF_INFO info{};
        info.samplerate = kRate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open((dir_ / "click.wav").c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        sf_writef_short(f, click.data(), 30);
        sf_close(f);
        std::ofstream(dir_ / "click.bms", std::ios::binary) << kClickChart;
    }
    void TearDown() override { fs::remove_all(dir_); }

    struct Take {
        RenderSummary summary;
        std::vector<int16_t> pcm;
    };
    Take Render(int passMs) {
        Take t;
        RenderOptions o;
        o.rate = kRate;
        o.passMs = passMs;
        auto s = RenderChart((dir_ / "click.bms").string(), o,
                             [&](const int16_t* p, int64_t n) { t.pcm.insert(t.pcm.end(), p, p + 2 * n); });
        EXPECT_TRUE(s.has_value());
        if (s) t.summary = *s;
        return t;
    }
    static std::vector<int64_t> Onsets(const std::vector<int16_t>& pcm) {
        std::vector<int64_t> out;
        bool quiet = true;
        for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
            bool loud = pcm[i] != 0 || pcm[i + 1] != 0;
            if (loud && quiet) out.push_back(static_cast<int64_t>(i / 2));
            quiet = !loud;
        }
        return out;
    }

    fs::path dir_;
};

TEST_F(OfflineRenderTest, EveryClickLandsOnTheSampleOfItsEventWhateverThePassRate) {
    std::vector<int64_t> first;
    for (int passMs : {1, 15}) {
        Take t = Render(passMs);
        const auto& trig = t.summary.triggerMs;
        ASSERT_EQ(t.summary.sounds, 12) << passMs;
        ASSERT_EQ(trig.size(), 12u);
        EXPECT_TRUE(t.summary.missing.empty());
        EXPECT_EQ(static_cast<int64_t>(t.pcm.size() / 2), t.summary.frames);
        auto onsets = Onsets(t.pcm);
        ASSERT_EQ(onsets.size(), trig.size()) << passMs;
        for (size_t i = 0; i < onsets.size(); ++i)
            EXPECT_NEAR(static_cast<double>(onsets[i]), (trig[i] - t.summary.startMs) * kRate / 1000.0, 1.0) << passMs << " click " << i;

        // The first click starts the file; until the first tempo change the grid is exact.
        EXPECT_EQ(onsets[0], 0);
        const double beatFrames = 60.0 / 133.0 * kRate;
        for (int i = 1; i < 6; ++i)
            EXPECT_NEAR(static_cast<double>(onsets[i]), (i < 4 ? i : i + 0.5) * beatFrames, 1.0) << i;
        if (first.empty()) {
            first = onsets;
        } else {
            // Coarse passes move tempo changes by a fraction of a tick only.
            for (size_t i = 0; i < onsets.size(); ++i)
                EXPECT_NEAR(static_cast<double>(onsets[i]), static_cast<double>(first[i]), 0.004 * kRate) << i;
        }
    }
}

TEST_F(OfflineRenderTest, UnreadableChartsAndMissingSoundsAreReported) {
    EXPECT_FALSE(RenderChart((dir_ / "nothing.bms").string(), {}, {}).has_value());
    fs::remove(dir_ / "click.wav");
    Take t = Render(1);
    EXPECT_EQ(t.summary.missing, std::vector<int>{1});
    EXPECT_EQ(t.summary.sounds, 12);
    EXPECT_TRUE(Onsets(t.pcm).empty());
}

}  // namespace
}  // namespace jov::test
