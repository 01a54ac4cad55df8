#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_setup.h"
#include "audio/audio_system.h"
#include "shell/status.h"

namespace jov {
namespace {

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
