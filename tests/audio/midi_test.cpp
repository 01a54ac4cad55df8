// MIDI songs and the command layer that plays them, and the live audio system that
// carries sound and MIDI.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "audio/audio_setup.h"
#include "audio/audio_system.h"
#include "audio/cls_midi.h"
#include "audio/midi_command_layer.h"
#include "audio/midi_song.h"
#include "shell/status.h"
#include "../test_util.h"

namespace jov {
namespace {

const std::string kMidi = std::string(JOV01_TEST_DATA) + "/midi/";

// tempo.mid: 120 BPM for two beats (1000 ms), then 60 BPM; its note sounds from 3000 to 4000 ms.
std::string Bytes(const std::string& name) { return jovtest::Slurp(kMidi + name); }
std::optional<MidiSong> Parse(const std::string& bytes) {
    return ParseSmf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

using jovtest::TempDir;

// The song's length is checked by the session.
TEST(MidiSong, TempoMapGivesMillisecondsAndBadFilesFail) {
    auto song = Parse(Bytes("tempo.mid"));
    ASSERT_TRUE(song.has_value());
    ASSERT_EQ(song->events.size(), 4u);
    EXPECT_EQ(song->events[2].status, 0x90);
    EXPECT_DOUBLE_EQ(song->events[2].ms, 3000.0);

    // Running status, a sysex and an unknown chunk are read past; a cut track keeps
    // what came before the cut.
    const std::string running = Bytes("running.mid");
    auto a = Parse(running);
    ASSERT_TRUE(a.has_value());
    ASSERT_EQ(a->events.size(), 3u);
    EXPECT_EQ(a->events[1].data1, 62);
    EXPECT_DOUBLE_EQ(a->events[2].ms, 20 * 500.0 / 480);
    auto cut = Parse(running.substr(0, running.size() - 3));
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->events.size(), 2u);

    for (const std::string& bad : {std::string(), std::string("MThd"), std::string("RIFF....RMIDdata"),
                                   Bytes("tempo.mid").substr(0, 14), std::string("#TITLE not midi\r\n")})
        EXPECT_FALSE(Parse(bad)) << bad;
}

TEST(MidiCommandLayer, CommandsModesPositionsAndTheClsMidiWrapper) {
    TempDir dir;
    const std::string path = dir.Write("my song.mid", Bytes("tempo.mid")), junk = dir.Write("junk.mid", "not a midi file");
    MidiCommandLayer midi(nullptr);
    std::ifstream session(kMidi + "session.txt");
    std::string line, reply;
    int steps = 0;
    while (std::getline(session, line)) {
        if (line.empty() || line[0] == '#') continue;
        SCOPED_TRACE(line);
        std::vector<std::string> f;
        for (size_t b = 0, e = 0; e != std::string::npos; b = e + 1) f.push_back(line.substr(b, (e = line.find('\t', b)) - b));
        for (auto [from, to] : {std::pair{std::string("$P"), path}, {"$J", junk}})
            for (size_t p; (p = f[1].find(from)) != std::string::npos;) f[1].replace(p, 2, to);
        EXPECT_EQ(midi.SendString(f[1], reply, std::stod(f[0])) == 0, f[2] == "ok");
        if (f.size() > 3) {
            EXPECT_EQ(reply, f[3]);
        }
        ++steps;
    }
    EXPECT_GT(steps, 30);
    EXPECT_NE(midi.SendString(std::string(100000, 'x'), reply, 0), 0);

    // clsMIDI on the same layer: the file as found on disk, in any case (the commands the
    // engine has it send are checked by the engine's tests; nothing asks it for more).
    {
        clsMIDI cls(&midi, nullptr);
        cls.SetFileName(dir / "none.mid");
        EXPECT_EQ(cls.ShortName, "");
        cls.SetFileName(dir / "MY SONG.MID");
        EXPECT_EQ(cls.ShortName, path);
        EXPECT_TRUE(midi.IsOpen());
    }
    EXPECT_FALSE(midi.IsOpen());  // closed with it
}

// The first frame from `from` on with a sample beyond `threshold`, or -1.
int FirstSound(const std::vector<int16_t>& pcm, int threshold, size_t from = 0) {
    for (size_t i = from * 2; i < pcm.size(); ++i)
        if (std::abs(pcm[i]) > threshold) return int(i / 2);
    return -1;
}

TEST(MidiCommandLayer, PlayFromLandsTheNextNoteOnItsFrame) {
    auto audio = AudioSystem::CreateOffline(48000);
    if (!audio->HasSoundFont()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    std::string reply;
    ASSERT_EQ(audio->Midi().SendString("open " + kMidi + "tempo.mid type sequencer alias tmid", reply, 0), 0);
    // From 2500 ms at engine time 200: the note at 3000 ms sounds at 700 ms, frame 33600.
    std::vector<int16_t> pcm;
    audio->RenderUntil(200, pcm);
    ASSERT_EQ(audio->Midi().SendString("play tmid from 2500", reply, 200), 0);
    audio->RenderUntil(1500, pcm);
    int onset = FirstSound(pcm, 0);
    EXPECT_GE(onset, 33600);
    EXPECT_LT(onset, 33600 + Mixer::kMaxBlock);

    // A stop at 1000 ms: the note is released and dies away, then silence.
    ASSERT_EQ(audio->Midi().SendString("stop tmid", reply, 1000), 0);
    audio->RenderUntil(4000, pcm);
    EXPECT_EQ(FirstSound(pcm, 2, pcm.size() / 2 - 1000), -1);

    // Close while a play is queued for later: nothing sounds.
    ASSERT_EQ(audio->Midi().SendString("play tmid from 2900", reply, 4500), 0);
    ASSERT_EQ(audio->Midi().SendString("close tmid", reply, 4000), 0);
    const size_t closed = pcm.size() / 2;
    audio->RenderUntil(6000, pcm);
    EXPECT_EQ(FirstSound(pcm, 0, closed), -1);
}

struct Recorder : AudioSetupHooks, StatusSink {
    std::vector<std::string> calls;
    void ShowCriticalMessage(const std::string& text) override { calls.push_back("message:" + text); }
    void InitDirectDraw() override { calls.push_back("directdraw"); }
    void OnCaption(const std::string&) override {}
    void OnStatus(const std::string& text) override { calls.push_back("status:" + text); }
};

// Frames the device has pulled once `want` are reached, or after five seconds.
int64_t WaitForFrames(AudioSystem& audio, int64_t want) {
    const auto start = std::chrono::steady_clock::now();
    while (audio.GetMixer().FramesProduced() < want && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return audio.GetMixer().FramesProduced();
}

// The language from the locale variables is checked by rows of tests/data/forms.txt.
TEST(AudioSetup, TheDeviceOpensOrIsReportedOnceAndPlayGoesOnSilently) {
    AudioOptions options;
    options.soundFont = "";
    {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        Recorder rec;
        Shell shell(&rec);
        auto audio = InitDirectX(&shell, &rec, UiLanguage::English, options);
        ASSERT_TRUE(audio && audio->HasDevice());
        EXPECT_EQ(rec.calls, (std::vector<std::string>{"directdraw", "status:initializing directsound..."}));
        EXPECT_GT(WaitForFrames(*audio, 1), 0);  // the device pulls the mixer on its own
    }
    ::setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    Recorder rec;
    auto audio = AudioSystem::CreateLive(nullptr, &rec, UiLanguage::English, options);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(audio);
    EXPECT_FALSE(audio->HasDevice());
    EXPECT_EQ(rec.calls, std::vector<std::string>{"message:DirectSound initialize has failed."});
    // Key sounds fail quietly; commands do not pile up because time still runs; MIDI still answers.
    const std::string mid = std::string(JOV01_TEST_DATA) + "/midi/test_reason6_blue.mid";
    EXPECT_FALSE(audio->Sound().CreateFromFile(1, mid));
    audio->Sound().Play(1, 0);
    EXPECT_GE(WaitForFrames(*audio, 4096), 4096);
    std::string reply;
    EXPECT_EQ(audio->Midi().SendString("open " + mid + " type sequencer alias tmid", reply, 0), 0);
}

}  // namespace
}  // namespace jov
