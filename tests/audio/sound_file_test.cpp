#include "audio/sound_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "audio/mixer.h"
#include "audio/path_resolver.h"
#include "../test_util.h"

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
    const std::tuple<const char*, int, int, int> cases[] = {  // name, format, rate, channels
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
    for (const auto& [name, format, rate, channels] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(WriteSine(dir / name, format, rate, channels, rate / 10));  // 100 ms
        auto b = DecodeSoundFile(dir / name, 44100);
        ASSERT_TRUE(b.has_value());
        EXPECT_EQ(b->originalRate, rate);
        EXPECT_EQ(b->originalFrames, rate / 10);
        EXPECT_NEAR(double(b->frames), 4410.0, 2.0);
        EXPECT_EQ(b->pcm.size(), size_t(b->frames) * 2);
        // The sine's peak survives the conversion (0.5 of full scale) on both sides, mono
        // alike on both.
        int16_t peak[2] = {0, 0};
        for (size_t i = 0; i < b->pcm.size(); ++i) peak[i % 2] = std::max(peak[i % 2], b->pcm[i]);
        EXPECT_NEAR(peak[0], 16384, 1200);
        EXPECT_NEAR(peak[1], 16384, 1200);
        if (channels == 1) {
            EXPECT_EQ(b->pcm[200], b->pcm[201]);
        }
    }
}

TEST(SoundFile, BadFilesFailCleanly) {
    TempDir dir;
    // Odd paths find nothing (the ordinary ones are rows of tests/data/forms.txt).
    for (const std::string& odd : {std::string(), std::string("a\0b", 3), std::string(10000, 'a')}) EXPECT_FALSE(ResolvePath(odd));
    EXPECT_FALSE(DecodeSoundFile(dir / "missing.wav", 44100));
    EXPECT_FALSE(DecodeSoundFile(dir.Path().string(), 44100));  // a folder

    // Nothing, a chart, a header with no samples after it, a header cut short.
    ASSERT_TRUE(WriteSine(dir / "full.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 4410));
    const std::string bytes = jovtest::Slurp(dir / "full.wav");
    for (const std::string& bad : {std::string(), std::string("#TITLE a chart, not a sound\r\n"), bytes.substr(0, 44), bytes.substr(0, 20)})
        EXPECT_FALSE(DecodeSoundFile(dir.Write("bad.wav", bad), 44100)) << bad.size();
    // Data cut short: what is there plays.
    auto part = DecodeSoundFile(dir.Write("short.wav", bytes.substr(0, 44 + 1000 * 4)), 44100);
    ASSERT_TRUE(part.has_value());
    EXPECT_EQ(part->frames, 1000);

    // Longer than the cap: refused without decoding it all.
    ASSERT_TRUE(WriteSine(dir / "long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 8000 * 3));
    DecodeLimits limits;
    limits.maxSeconds = 2.0;
    EXPECT_FALSE(DecodeSoundFile(dir / "long.wav", 44100, limits));
    EXPECT_TRUE(DecodeSoundFile(dir / "long.wav", 44100));
}

// Slots naming one file (through the resolver, in any case) share its decoding, under the cap.
TEST(SoundFile, MixerLoadsThroughTheResolverAndSharesDecodings) {
    TempDir dir;
    ASSERT_TRUE(WriteSine(dir / "Kick.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, 22050));
    ASSERT_TRUE(WriteSine(dir / "snare.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, 4410));
    Mixer m(44100);
    for (int slot = 1; slot <= 10; ++slot) ASSERT_TRUE(m.CreateFromFile(slot, dir / (slot % 2 ? "KICK.WAV" : "Kick")));
    EXPECT_EQ(m.GetFrequency(4), 22050);
    EXPECT_EQ(m.DecodedBytes(), DecodeSoundFile(dir / "Kick.wav", 44100)->pcm.size() * 2);  // one copy, not ten
    // A failed load leaves what the slot held.
    EXPECT_FALSE(m.CreateFromFile(4, dir / "none.wav"));
    EXPECT_TRUE(m.HasBuffer(4));
    EXPECT_FALSE(m.CreateFromFile(11, dir / "none.wav"));
    EXPECT_FALSE(m.HasBuffer(11));
    // Past the cap a further sound is a failed load; the slots already loaded stay.
    m.SetDecodedAudioCap(m.DecodedBytes() + 1000);
    EXPECT_FALSE(m.CreateFromFile(11, dir / "snare.wav"));
    EXPECT_TRUE(m.CreateFromFile(12, dir / "kick.wav"));
    m.ReleaseAll();
    EXPECT_EQ(m.DecodedBytes(), 0u);
    EXPECT_TRUE(m.CreateFromFile(11, dir / "snare.wav"));
    m.SetKeySoundsEnabled(false);
    EXPECT_FALSE(m.CreateFromFile(6, dir / "Kick.wav"));

    // Decoding from memory gives what decoding the file gives.
    auto fromFile = DecodeSoundFile(dir / "snare.wav", 48000);
    auto fromBytes = DecodeSoundBytes(jovtest::Slurp(dir / "snare.wav"), 48000);
    ASSERT_TRUE(fromFile && fromBytes);
    EXPECT_EQ(fromFile->pcm, fromBytes->pcm);
}

}  // namespace
}  // namespace jov
