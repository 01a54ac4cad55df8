#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "audio/audio_system.h"
#include "audio/cls_midi.h"
#include "audio/midi_command_layer.h"
#include "audio/midi_song.h"
#include "shell/clock.h"

namespace fs = std::filesystem;

namespace jov {
namespace {

// --- a small SMF writer ---
void Vlq(std::string& out, uint32_t v) {
    std::string tmp(1, char(v & 0x7F));
    while (v >>= 7) tmp.insert(tmp.begin(), char(0x80 | (v & 0x7F)));
    out += tmp;
}
std::string Chunk(const char* id, const std::string& body) {
    const uint32_t n = uint32_t(body.size());
    return id + std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + body;
}
std::string Event(uint32_t delta, std::initializer_list<int> bytes) {
    std::string e;
    Vlq(e, delta);
    for (int b : bytes) e += char(b);
    return e;
}
std::string Tempo(uint32_t delta, uint32_t usPerQuarter) {
    return Event(delta, {0xFF, 0x51, 3, int(usPerQuarter >> 16), int((usPerQuarter >> 8) & 0xFF),
                         int(usPerQuarter & 0xFF)});
}
std::string Smf(const std::vector<std::string>& tracks, int division = 480) {
    std::string s = Chunk("MThd", std::string{'\0', char(tracks.size() > 1 ? 1 : 0), '\0', char(tracks.size()),
                                              char(division >> 8), char(division & 0xFF)});
    for (const auto& t : tracks) s += Chunk("MTrk", t);
    return s;
}

// 120 BPM for two beats (1000 ms), then 60 BPM. At 480 ticks a beat: tick 960 is
// 1000 ms, tick 1920 is 3000 ms, tick 2400 is 4000 ms.
std::string TempoChangeSong() {
    std::string conductor = Tempo(0, 500000) + Tempo(960, 1000000) + Event(1440, {0xFF, 0x2F, 0});
    std::string notes = Event(0, {0xC0, 0}) + Event(0, {0xB0, 7, 127}) + Event(1920, {0x90, 60, 120}) +
                        Event(480, {0x80, 60, 0}) + Event(0, {0xFF, 0x2F, 0});
    return Smf({conductor, notes});
}

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() / ("jov01_midi_" + std::to_string(::getpid()));
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string p = (path_ / name).string();
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

private:
    fs::path path_;
};

TEST(MidiSong, TempoMapGivesMilliseconds) {
    std::string bytes = TempoChangeSong();
    auto song = ParseSmf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(song.has_value());
    ASSERT_EQ(song->events.size(), 4u);
    EXPECT_EQ(song->events[2].status, 0x90);
    EXPECT_DOUBLE_EQ(song->events[2].ms, 3000.0);
    EXPECT_DOUBLE_EQ(song->events[3].ms, 4000.0);
    EXPECT_DOUBLE_EQ(song->lengthMs, 4000.0);

    // Running status, a sysex and an unknown chunk are read past; a cut track keeps
    // what came before the cut.
    std::string t = Event(0, {0x90, 60, 100}) + Event(10, {62, 100}) + Event(0, {0xF0, 2, 0x7E, 0xF7}) +
                    Event(10, {0x80, 60, 0});
    std::string s = Smf({t});
    s.insert(14, Chunk("XFIH", "junk"));
    auto a = ParseSmf(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    ASSERT_TRUE(a.has_value());
    ASSERT_EQ(a->events.size(), 3u);
    EXPECT_EQ(a->events[1].data1, 62);
    EXPECT_DOUBLE_EQ(a->events[2].ms, 20 * 500.0 / 480);
    auto cut = ParseSmf(reinterpret_cast<const uint8_t*>(s.data()), s.size() - 3);
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->events.size(), 2u);

    for (const std::string& bad : {std::string(), std::string("MThd"), std::string("RIFF....RMIDdata"),
                                   Smf({}), std::string("#TITLE not midi\r\n")})
        EXPECT_FALSE(ParseSmf(reinterpret_cast<const uint8_t*>(bad.data()), bad.size()));

    auto corpus = LoadSmfFile(std::string(JOV01_TEST_DATA) + "/midi/test_reason6_blue.mid");
    ASSERT_TRUE(corpus.has_value());
    EXPECT_GT(corpus->events.size(), 10u);
    EXPECT_GT(corpus->lengthMs, 1000.0);
}

TEST(MidiCommandLayer, CommandsModesAndPositions) {
    TempDir dir;
    std::string path = dir.Write("my song.mid", TempoChangeSong());
    MidiCommandLayer midi(nullptr);
    std::string reply;
    auto send = [&](const std::string& c, double at) { return midi.SendString(c, reply, at); };

    EXPECT_NE(send("status tmid mode", 0), 0);
    EXPECT_EQ(reply, "");
    EXPECT_NE(send("play tmid", 0), 0);
    EXPECT_NE(send("open " + dir.Write("junk.mid", "not a midi file") + " type sequencer alias tmid", 0), 0);
    EXPECT_NE(send("open " + path + ".missing type sequencer alias tmid", 0), 0);
    EXPECT_NE(send("open  type sequencer alias tmid", 0), 0);
    EXPECT_FALSE(midi.IsOpen());

    ASSERT_EQ(send("open " + path + " type sequencer alias tmid", 0), 0);
    EXPECT_NE(send("open " + path + " type sequencer alias tmid", 0), 0);  // alias in use
    struct Step {
        const char* command;
        double at;
        bool ok;
        const char* reply;  // nullptr: not checked
    };
    const Step steps[] = {
        {"set tmid time format milliseconds", 0, true, nullptr},
        {"status tmid length", 0, true, "4000"},
        {"STATUS TMID MODE ", 0, true, "stopped"},
        {"status other mode", 0, false, ""},
        {"dance tmid", 0, false, nullptr},
        {"play tmid from x", 0, false, nullptr},
        {"play tmid from 4001", 0, false, nullptr},
        {"play tmid from 1000", 100, true, nullptr},
        {"status tmid mode", 350, true, "playing"},
        {"status tmid position", 350, true, "1250"},
        {"pause tmid ", 400, true, nullptr},
        {"status tmid mode", 900, true, "paused"},
        {"status tmid position", 900, true, "1300"},
        {"resume tmid ", 1000, true, nullptr},
        {"status tmid position", 1100, true, "1400"},
        // Past the song's end the sequencer is stopped at the end.
        {"status tmid mode", 10000, true, "stopped"},
        {"status tmid position", 10000, true, "4000"},
        {"seek tmid to 200", 10000, true, nullptr},
        {"status tmid position", 20000, true, "200"},
        {"play tmid", 20000, true, nullptr},
        {"stop tmid", 20100, true, nullptr},
        {"status tmid position", 30000, true, "300"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command + std::string(" @") + std::to_string(step.at));
        EXPECT_EQ(send(step.command, step.at) == 0, step.ok);
        if (step.reply) {
            EXPECT_EQ(reply, step.reply);
        }
    }

    EXPECT_EQ(send("close tmid", 30000), 0);
    EXPECT_FALSE(midi.IsOpen());
    EXPECT_NE(send("status tmid mode", 30000), 0);
    EXPECT_NE(send("", 0), 0);
    EXPECT_NE(send(std::string(100000, 'x'), 0), 0);
}

TEST(MidiCommandLayer, ClsMidiDrivesIt) {
    TempDir dir;
    std::string path = dir.Write("Back.mid", TempoChangeSong());
    MidiCommandLayer layer(nullptr);
    VirtualClock clock(0);
    {
        clsMIDI midi(&layer, &clock);
        midi.SetFileName(dir.Write("x", "") + "/../BACK.MID");  // resolved without regard to case
        EXPECT_FALSE(layer.IsOpen());
        EXPECT_EQ(midi.ShortName, "");
        midi.SetFileName(path.substr(0, path.size() - 8) + "back.mid");
        EXPECT_EQ(midi.ShortName, path);
        EXPECT_TRUE(layer.IsOpen());
        int32_t len = 0;
        ASSERT_TRUE(midi.Length(len));
        EXPECT_EQ(len, 4000);
        EXPECT_EQ(midi.Mode(), "STOPPED");
        midi.Play("500");
        clock.Advance(100);
        EXPECT_EQ(midi.Position(), "600");
        EXPECT_EQ(midi.Mode(), "PLAYING");
        midi.StopM();
        EXPECT_EQ(midi.Mode(), "STOPPED");
        midi.SetFileName("");
        EXPECT_FALSE(layer.IsOpen());
        EXPECT_EQ(midi.Mode(), "");
        EXPECT_FALSE(midi.Length(len));
        midi.PlayLoop();  // no device: returns
    }
    EXPECT_FALSE(layer.IsOpen());
}

int FirstSound(const std::vector<int16_t>& pcm, int threshold) {
    for (size_t i = 0; i < pcm.size(); ++i)
        if (std::abs(pcm[i]) > threshold) return int(i / 2);
    return -1;
}

TEST(MidiCommandLayer, PlayFromLandsTheNextNoteOnItsFrame) {
    auto audio = AudioSystem::CreateOffline(48000);
    if (!audio->HasSoundFont()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    TempDir dir;
    std::string path = dir.Write("tempo.mid", TempoChangeSong());
    std::string reply;
    ASSERT_EQ(audio->Midi().SendString("open " + path + " type sequencer alias tmid", reply, 0), 0);
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
    std::vector<int16_t> tail;
    audio->RenderUntil(4000, tail);
    std::vector<int16_t> last(tail.end() - 2000, tail.end());
    EXPECT_EQ(FirstSound(last, 2), -1);

    // Close while a play is queued for later: nothing sounds.
    ASSERT_EQ(audio->Midi().SendString("play tmid from 2900", reply, 4500), 0);
    ASSERT_EQ(audio->Midi().SendString("close tmid", reply, 4000), 0);
    std::vector<int16_t> after;
    audio->RenderUntil(6000, after);
    EXPECT_EQ(FirstSound(after, 0), -1);
}

}  // namespace
}  // namespace jov
