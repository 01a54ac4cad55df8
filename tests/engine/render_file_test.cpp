#include "engine/render_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <thread>
#include <vector>

#include "../test_util.h"
#include "engine/wav_writer.h"

namespace jov::test {
namespace {

namespace fs = std::filesystem;

const std::string kDemo1 = std::string(JOV01_TEST_DATA) + "/../../assets/demo/demo1.bms";

struct Decoded {
    int format = 0;
    std::vector<float> pcm;  // interleaved stereo
};

Decoded Decode(const std::string& path) {
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

TEST(RenderFileTest, FlacAndOggDecodeToTheWaveRender) {
    jovtest::TempDir dir;
    auto render = [&](const char* name) {
        RenderFileResult r = RenderChartToFile(kDemo1, dir / name, RenderOptions{});
        EXPECT_EQ(r.status, RenderFileStatus::Done) << name;
        return Decode(dir / name);
    };
    Decoded wav = render("demo1.wav");
    Decoded flac = render("demo1.FLAC");
    Decoded ogg = render("demo1.ogg");
    EXPECT_EQ(wav.format, SF_FORMAT_WAV);  // the plain form, not the extensible one
    EXPECT_EQ(flac.format, SF_FORMAT_FLAC);
    EXPECT_EQ(ogg.format, SF_FORMAT_OGG);
    ASSERT_GT(wav.pcm.size(), 44100u * 2 * 10);
    EXPECT_TRUE(flac.pcm == wav.pcm);  // lossless, and the render is deterministic

    // The lossy file keeps the level (within half a decibel) and the shape in time.
    ASSERT_EQ(ogg.pcm.size(), wav.pcm.size());
    const auto envWav = Envelope(wav.pcm), envOgg = Envelope(ogg.pcm);
    double ww = 0, gg = 0, wg = 0;
    for (size_t i = 0; i < envWav.size(); ++i) {
        ww += envWav[i] * envWav[i];
        gg += envOgg[i] * envOgg[i];
        wg += envWav[i] * envOgg[i];
    }
    EXPECT_NEAR(10 * std::log10(gg / ww), 0.0, 0.5);
    EXPECT_GT(wg / std::sqrt(ww * gg), 0.99);
    // Nothing but the three files is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 3);
}

TEST(RenderFileTest, CancelAndFailuresLeaveNoFile) {
    jovtest::TempDir dir;
    const std::string kept = dir.Write("keep.flac", "older");
    RenderProgress progress;
    std::thread canceller([&] {
        while (progress.frames < 44100) std::this_thread::yield();
        progress.cancel = true;
    });
    EXPECT_EQ(RenderChartToFile(kDemo1, dir / "out.flac", RenderOptions{}, &progress).status, RenderFileStatus::Cancelled);
    canceller.join();
    progress.frames = 0;  // cancelled before it starts: an existing file stays as it was
    EXPECT_EQ(RenderChartToFile(kDemo1, kept, RenderOptions{}, &progress).status, RenderFileStatus::Cancelled);
    EXPECT_EQ(RenderChartToFile(dir / "none.bms", dir / "out.flac", RenderOptions{}).status,
              RenderFileStatus::ChartUnreadable);
    EXPECT_EQ(RenderChartToFile(kDemo1, dir / "no/dir.wav", RenderOptions{}).status, RenderFileStatus::CannotWrite);
    EXPECT_EQ(RenderChartToFile(kDemo1, dir / "song.mp3", RenderOptions{}).status, RenderFileStatus::UnknownFormat);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
    EXPECT_EQ(jovtest::Slurp(kept), "older");
}

// A plain 44-byte PCM WAV while the data fits 32-bit sizes (libsndfile tells format 1 from
// the extensible form), RF64 with its ds64 chunk beyond (the limit lowered here).
TEST(WavWriterTest, PlainWhileSizesFitAndRf64Beyond) {
    jovtest::TempDir dir;
    std::vector<int16_t> pcm(2 * 70000);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(i * 7919);
    for (const uint64_t limit : {WavWriter::kPlainLimit, uint64_t{200000}}) {
        const bool plain = limit == WavWriter::kPlainLimit;
        const std::string path = dir / "out.wav";
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        WavWriter writer(fd, 22050, 2, limit);
        for (size_t at = 0; at < pcm.size(); at += 2 * 3000)  // pieces as the render hands them over
            ASSERT_TRUE(writer.Write(pcm.data() + at, static_cast<int64_t>(std::min<size_t>(3000, (pcm.size() - at) / 2))));
        ASSERT_TRUE(writer.Finish());
        ::close(fd);
        const std::string b = jovtest::Slurp(path);
        EXPECT_EQ(b.size(), (plain ? 44 : 80) + pcm.size() * 2) << "no chunk besides RIFF, fmt, data (and ds64)";
        EXPECT_EQ(b.substr(0, 4) + b.substr(8, 8), plain ? "RIFFWAVEfmt " : "RF64WAVEds64");
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_TRUE(f);
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, plain ? SF_FORMAT_WAV : SF_FORMAT_RF64);
        std::vector<int16_t> back(pcm.size() + 2);
        EXPECT_EQ(sf_readf_short(f, back.data(), 70001), 70000);
        back.resize(pcm.size());
        EXPECT_TRUE(back == pcm);
        sf_close(f);
    }
}

}  // namespace
}  // namespace jov::test
