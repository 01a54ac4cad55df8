#include "audio/sound_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/mixer.h"
#include "audio/path_resolver.h"
#include "../test_util.h"

namespace fs = std::filesystem;

namespace jov {
namespace {

using jovtest::TempDir;

// A sine of `frames` frames written with libsndfile in the given format.
bool WriteSine(const std::string& path, int format, int rate, int channels, int frames, double amp = 0.5) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    std::vector<float> data(size_t(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            data[size_t(i) * channels + c] = float(amp * std::sin(2 * M_PI * 440.0 * i / rate) * (c == 1 ? -1 : 1));
    sf_writef_float(f, data.data(), frames);
    sf_close(f);
    return true;
}

TEST(SoundFile, DecodesOddFormatsToStereoAtTheOutputRate) {
    TempDir dir;
    struct Case {
        const char* name;
        int format;
        int rate;
        int channels;
    } cases[] = {
        {"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 1},
        {"s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2},
        {"s24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 2},
        {"f32.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1},
        {"low.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1},
        {"high.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 96000, 2},
        {"s.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2},
        {"s.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 32000, 1},
        {"s.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir / c.name;
        ASSERT_TRUE(WriteSine(path, c.format, c.rate, c.channels, c.rate / 10));  // 100 ms
        auto b = DecodeSoundFile(path, 44100);
        ASSERT_TRUE(b.has_value());
        EXPECT_EQ(b->originalRate, c.rate);
        EXPECT_EQ(b->originalFrames, c.rate / 10);
        EXPECT_NEAR(double(b->frames), 4410.0, 2.0);
        EXPECT_EQ(b->pcm.size(), size_t(b->frames) * 2);
        // The sine's peak survives the conversion (0.5 of full scale), mono on both sides.
        int16_t peakL = 0, peakR = 0;
        for (int64_t i = 0; i < b->frames; ++i) {
            peakL = std::max<int16_t>(peakL, b->pcm[2 * i]);
            peakR = std::max<int16_t>(peakR, b->pcm[2 * i + 1]);
        }
        EXPECT_NEAR(peakL, 16384, 1200);
        EXPECT_NEAR(peakR, 16384, 1200);
        if (c.channels == 1) {
            EXPECT_EQ(b->pcm[200], b->pcm[201]);
        }
    }
}

TEST(SoundFile, BadFilesFailCleanly) {
    TempDir dir;
    EXPECT_FALSE(DecodeSoundFile(dir / "missing.wav", 44100));
    for (const char* bytes : {"", "#TITLE this is a chart, not a sound\r\n"}) {
        dir.Write("bad.wav", bytes);
        EXPECT_FALSE(DecodeSoundFile(dir / "bad.wav", 44100)) << bytes;
    }
    EXPECT_FALSE(DecodeSoundFile(dir.Path().string(), 44100));  // a folder

    // A header with no samples after it.
    ASSERT_TRUE(WriteSine(dir / "full.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 4410));
    const std::string bytes = jovtest::Slurp(dir / "full.wav");
    for (size_t cut : {44, 20}) {
        dir.Write("cut.wav", bytes.substr(0, cut));
        EXPECT_FALSE(DecodeSoundFile(dir / "cut.wav", 44100)) << cut;
    }
    // Data cut short: what is there plays.
    dir.Write("short.wav", bytes.substr(0, 44 + 1000 * 4));
    auto part = DecodeSoundFile(dir / "short.wav", 44100);
    ASSERT_TRUE(part.has_value());
    EXPECT_EQ(part->frames, 1000);

    // Longer than the cap: refused without decoding it all.
    ASSERT_TRUE(WriteSine(dir / "long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 8000 * 3));
    DecodeLimits limits;
    limits.maxSeconds = 2.0;
    EXPECT_FALSE(DecodeSoundFile(dir / "long.wav", 44100, limits));
    EXPECT_TRUE(DecodeSoundFile(dir / "long.wav", 44100));
}

TEST(PathResolver, OddPathsFindNothing) {  // the ordinary ones are rows of tests/data/forms.txt
    EXPECT_FALSE(ResolvePath(""));
    EXPECT_FALSE(ResolvePath(std::string("a\0b", 3)));
    EXPECT_FALSE(ResolvePath(std::string(10000, 'a')));
}

TEST(SoundFile, MixerLoadsThroughTheResolver) {
    TempDir dir;
    ASSERT_TRUE(WriteSine(dir / "Kick.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, 2205));
    Mixer m(44100);
    EXPECT_TRUE(m.CreateFromFile(4, dir / "KICK.WAV"));
    EXPECT_EQ(m.GetFrequency(4), 22050);
    EXPECT_FALSE(m.CreateFromFile(5, dir / "none.wav"));
    EXPECT_FALSE(m.HasBuffer(5));
    // A failed load leaves what the slot held.
    EXPECT_FALSE(m.CreateFromFile(4, dir / "none.wav"));
    EXPECT_TRUE(m.HasBuffer(4));
    m.SetKeySoundsEnabled(false);
    EXPECT_FALSE(m.CreateFromFile(6, dir / "Kick.wav"));
}

TEST(SoundFile, SlotsNamingOneFileShareItsDecodingUnderTheChartCap) {
    TempDir dir;
    ASSERT_TRUE(WriteSine(dir / "Kick.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 44100));
    ASSERT_TRUE(WriteSine(dir / "snare.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 4410));
    Mixer m(44100);
    for (int slot = 1; slot <= 10; ++slot) ASSERT_TRUE(m.CreateFromFile(slot, dir / (slot % 2 ? "KICK.WAV" : "Kick")));
    EXPECT_EQ(m.DecodedBytes(), 44100u * 4);  // one copy, not ten
    // Past the cap a further sound is a failed load; the slots already loaded stay.
    m.SetDecodedAudioCap(m.DecodedBytes() + 1000);
    EXPECT_FALSE(m.CreateFromFile(11, dir / "snare.wav"));
    EXPECT_TRUE(m.CreateFromFile(12, dir / "kick.wav"));
    m.ReleaseAll();
    EXPECT_EQ(m.DecodedBytes(), 0u);
    EXPECT_TRUE(m.CreateFromFile(11, dir / "snare.wav"));

    // Decoding from memory gives what decoding the file gives.
    std::ifstream in(dir / "snare.wav", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto fromFile = DecodeSoundFile(dir / "snare.wav", 48000);
    auto fromBytes = DecodeSoundBytes(bytes, 48000);
    ASSERT_TRUE(fromFile && fromBytes);
    EXPECT_EQ(fromFile->pcm, fromBytes->pcm);
}

}  // namespace
}  // namespace jov
