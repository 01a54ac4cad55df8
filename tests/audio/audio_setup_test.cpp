#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_setup.h"
#include "audio/audio_system.h"
#include "shell/status.h"

namespace jov {
namespace {

struct RecordingHooks : AudioSetupHooks {
    std::vector<std::string> calls;
    void ShowCriticalMessage(const std::string& text) override { calls.push_back("message:" + text); }
    void InitDirectDraw() override { calls.push_back("directdraw"); }
};

struct RecordingSink : StatusSink {
    std::vector<std::string> statuses;
    void OnCaption(const std::string&) override {}
    void OnStatus(const std::string& text) override { statuses.push_back(text); }
};

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() {
        old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Frames the device has pulled once `want` are reached, or after five seconds.
int64_t WaitForFrames(AudioSystem& audio, int64_t want) {
    const auto start = std::chrono::steady_clock::now();
    while (audio.GetMixer().FramesProduced() < want && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return audio.GetMixer().FramesProduced();
}

TEST(AudioSetup, StringResourcesInBothLanguages) {
    EXPECT_EQ(StringResource(502, UiLanguage::English), "DirectSound initialize has failed.");
    EXPECT_EQ(StringResource(502, UiLanguage::Japanese), "DirectSoundの初期化に失敗しました。");
    EXPECT_EQ(StringResource(504, UiLanguage::English), "");

    ScopedEnv all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", "ja_JP.UTF-8");
    EXPECT_EQ(LanguageFromEnvironment(), UiLanguage::Japanese);
    {
        ScopedEnv m("LC_MESSAGES", "en_GB.UTF-8");
        EXPECT_EQ(LanguageFromEnvironment(), UiLanguage::English);
        ScopedEnv a("LC_ALL", "ja_JP");
        EXPECT_EQ(LanguageFromEnvironment(), UiLanguage::Japanese);
    }
    ScopedEnv none("LANG", nullptr);
    EXPECT_EQ(LanguageFromEnvironment(), UiLanguage::English);
}

TEST(AudioSetup, DummyDeviceOpensAndCloses) {
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    RecordingSink sink;
    Shell shell(&sink);
    RecordingHooks hooks;
    AudioOptions options;
    options.soundFont = "";
    auto audio = InitDirectX(&shell, &hooks, UiLanguage::English, options);
    ASSERT_TRUE(audio);
    EXPECT_EQ(hooks.calls, std::vector<std::string>{"directdraw"});
    EXPECT_EQ(sink.statuses.at(0), "initializing directsound...");
    EXPECT_TRUE(audio->HasDevice());
    // The device pulls the mixer on its own.
    EXPECT_GT(WaitForFrames(*audio, 1), 0);
    audio.reset();
}

TEST(AudioSetup, MissingDeviceIsReportedOnceAndPlayGoesOnSilently) {
    ScopedEnv driver("SDL_AUDIODRIVER", "nonexistent");
    RecordingSink sink;
    Shell shell(&sink);
    RecordingHooks hooks;
    AudioOptions options;
    options.soundFont = "";
    auto audio = AudioSystem::CreateLive(&shell, &hooks, UiLanguage::Japanese, options);
    ASSERT_TRUE(audio);
    EXPECT_FALSE(audio->HasDevice());
    EXPECT_EQ(hooks.calls, std::vector<std::string>{"message:" + StringResource(502, UiLanguage::Japanese)});
    // Key sounds fail quietly; commands do not pile up because time still runs.
    EXPECT_FALSE(audio->Sound().CreateFromFile(1, std::string(JOV01_TEST_DATA) + "/midi/test_reason6_blue.mid"));
    audio->Sound().Play(1, 0);
    EXPECT_GE(WaitForFrames(*audio, 4096), 4096);
    // MIDI still follows its commands.
    std::string reply;
    EXPECT_EQ(audio->Midi().SendString(
                  "open " + std::string(JOV01_TEST_DATA) + "/midi/test_reason6_blue.mid type sequencer alias tmid",
                  reply, 0),
              0);
    audio.reset();
}

}  // namespace
}  // namespace jov
