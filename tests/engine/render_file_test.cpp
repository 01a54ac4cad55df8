#include "engine/render_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace jov::test {
namespace {

namespace fs = std::filesystem;

const fs::path kDemo3 = fs::path(JOV01_TEST_DATA) / ".." / ".." / "assets" / "demo" / "demo3.bms";

struct Decoded {
    int format = 0;
    std::vector<float> pcm;  // interleaved stereo
};

Decoded Decode(const fs::path& path) {
    Decoded d;
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return d;
    d.format = info.format & SF_FORMAT_TYPEMASK;
    d.pcm.resize(static_cast<size_t>(info.frames) * 2);
    d.pcm.resize(static_cast<size_t>(sf_readf_float(f, d.pcm.data(), info.frames)) * 2);
    sf_close(f);
    return d;
}

// RMS of both channels in windows of 10 ms.
std::vector<double> Envelope(const std::vector<float>& pcm) {
    constexpr size_t kWindow = 441;
    std::vector<double> env;
    for (size_t i = 0; i + 2 * kWindow <= pcm.size(); i += 2 * kWindow) {
        double sum = 0;
        for (size_t j = i; j < i + 2 * kWindow; ++j) sum += double(pcm[j]) * pcm[j];
        env.push_back(std::sqrt(sum / (2 * kWindow)));
    }
    return env;
}

// Windows where the level rises sharply: the sounds' starts.
std::vector<size_t> Onsets(const std::vector<double>& env) {
    std::vector<size_t> out;
    for (size_t i = 1; i < env.size(); ++i)
        if (env[i] > 0.02 && env[i] > 2.0 * env[i - 1]) out.push_back(i);
    return out;
}

class RenderFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("jov01_render_file_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(RenderFileTest, FlacAndOggDecodeToTheWaveRender) {
    RenderOptions o;
    auto render = [&](const char* name) {
        RenderFileResult r = RenderChartToFile(kDemo3.string(), (dir_ / name).string(), o);
        EXPECT_EQ(r.status, RenderFileStatus::Done) << name;
        return Decode(dir_ / name);
    };
    Decoded wav = render("demo3.wav");
    Decoded flac = render("demo3.FLAC");
    Decoded ogg = render("demo3.ogg");
    EXPECT_TRUE(wav.format == SF_FORMAT_WAV || wav.format == SF_FORMAT_WAVEX) << wav.format;
    EXPECT_EQ(flac.format, SF_FORMAT_FLAC);
    EXPECT_EQ(ogg.format, SF_FORMAT_OGG);
    ASSERT_GT(wav.pcm.size(), 44100u * 2 * 10);
    EXPECT_TRUE(flac.pcm == wav.pcm);  // lossless, and the render is deterministic

    ASSERT_EQ(ogg.pcm.size(), wav.pcm.size());
    const auto envWav = Envelope(wav.pcm), envOgg = Envelope(ogg.pcm);
    double sumWav = 0, sumOgg = 0;
    for (size_t i = 0; i < envWav.size(); ++i) sumWav += envWav[i] * envWav[i], sumOgg += envOgg[i] * envOgg[i];
    EXPECT_NEAR(10 * std::log10(sumOgg / sumWav), 0.0, 0.5);  // level within half a decibel
    const auto onWav = Onsets(envWav), onOgg = Onsets(envOgg);
    ASSERT_GT(onWav.size(), 20u);
    const auto matched = std::count_if(onWav.begin(), onWav.end(), [&](size_t w) {
        return std::any_of(onOgg.begin(), onOgg.end(), [w](size_t g) { return g + 1 >= w && g <= w + 1; });
    });
    EXPECT_GE(size_t(matched) * 100, onWav.size() * 95);  // onsets within 10 ms
    // Nothing but the three files is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 3);
}

TEST_F(RenderFileTest, CancelAndFailuresLeaveNoFile) {
    const fs::path out = dir_ / "out.flac";
    std::ofstream(dir_ / "keep.flac") << "older";
    RenderProgress progress;
    std::thread canceller([&] {
        while (progress.frames < 44100) std::this_thread::yield();
        progress.cancel = true;
    });
    RenderFileResult r = RenderChartToFile(kDemo3.string(), out.string(), RenderOptions{}, &progress);
    canceller.join();
    EXPECT_EQ(r.status, RenderFileStatus::Cancelled);
    progress.cancel = false;
    progress.frames = 0;
    progress.cancel = true;  // cancelled before it starts: an existing file stays as it was
    EXPECT_EQ(RenderChartToFile(kDemo3.string(), (dir_ / "keep.flac").string(), RenderOptions{}, &progress).status,
              RenderFileStatus::Cancelled);
    EXPECT_EQ(RenderChartToFile((dir_ / "none.bms").string(), out.string(), RenderOptions{}).status,
              RenderFileStatus::ChartUnreadable);
    EXPECT_EQ(RenderChartToFile(kDemo3.string(), (dir_ / "no" / "dir.wav").string(), RenderOptions{}).status,
              RenderFileStatus::CannotWrite);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir_)) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"keep.flac"});
    std::ifstream kept(dir_ / "keep.flac");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "older");
}

}  // namespace
}  // namespace jov::test
