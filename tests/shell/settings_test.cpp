#include "shell/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "shell/ini_file.h"
#include "shell/status.h"
#include "../test_util.h"

namespace fs = std::filesystem;
using namespace jov;

namespace {

// The window's controls as the settings see them: each store also sets the engine value,
// as the control's change reaction does.
struct Controls : SettingsControls {
    int sleepIndex = 10, wavIndex = 1;
    bool showNotes = false, random = false, extended = false;
    int32_t sleepMs = 99, wavLoadMode = 99;
    std::vector<std::string> calls;
    void SetSleepIndex(int i) override { sleepIndex = i; sleepMs = i; calls.push_back("sleep"); }
    void SetWavModeIndex(int i) override { wavIndex = i; wavLoadMode = i; calls.push_back("wav"); }
    void SetShowNotes(bool t) override { showNotes = t; calls.push_back("notes"); }
    void SetRandom(bool t) override { random = t; calls.push_back("random"); }
    bool ShowNotes() const override { return showNotes; }
    bool Random() const override { return random; }
    int32_t SleepMs() const override { return sleepMs; }
    int32_t WavLoadMode() const override { return wavLoadMode; }
    void SetEngineSettings(int32_t s, int32_t w) override { sleepMs = s; wavLoadMode = w; calls.push_back("engine"); }
    void SetExtendedReading(bool on) override { extended = on; calls.push_back("extended"); }
    bool ExtendedReading() const override { return extended; }
};

using Calls = std::vector<std::string>;

TEST(Settings, LoadSaveRoundTripAndBadValues) {
    jovtest::TempDir tmp;
    const std::string file = tmp / "jov01.ini";
    Shell shell;
    auto load = [&](const char* text) {
        if (text) std::ofstream(file, std::ios::binary) << text;
        Controls c;
        LoadSettings(file, shell, c);
        return c;
    };

    // No file: engine defaults only; the first save writes both sections and all four keys.
    Controls c = load(nullptr);
    EXPECT_EQ(c.calls, Calls{"engine"});
    EXPECT_EQ(c.sleepMs, 10);
    EXPECT_EQ(c.wavLoadMode, 1);
    SaveSettings(file, c);
    EXPECT_EQ(ReadIni(file, "Setting", "Sleep", "x"), "10");
    EXPECT_EQ(ReadIni(file, "Setting", "WAVLoadmode", "x"), "1");
    EXPECT_EQ(ReadIni(file, "Setting", "ShowNotes", "x"), "0");
    EXPECT_EQ(ReadIni(file, "ListSetting", "Random", "x"), "0");
    EXPECT_EQ(ReadIni(file, "Setting", "ExtendedReading", "x"), "0");

    // A partial file: missing keys read as their defaults.
    c = load("[Setting]\r\nSleep=3\r\n");
    EXPECT_EQ(c.calls, (Calls{"sleep", "wav", "notes", "random", "extended"}));
    EXPECT_FALSE(c.extended);
    EXPECT_EQ(c.sleepMs, 3);
    EXPECT_EQ(c.wavIndex, 1);
    EXPECT_FALSE(c.showNotes || c.random);

    // Not a number, or a position the list does not have: that control is left alone.
    c = load("[Setting]\nSleep=abc\nWAVLoadmode=2\nShowNotes=1\nExtendedReading=2\n[ListSetting]\nRandom=-1\n");
    EXPECT_EQ(c.calls, Calls{"notes"});
    EXPECT_EQ(c.sleepMs, 99);
    EXPECT_TRUE(c.showNotes);
    c = load("[Setting]\nSleep=16\nWAVLoadmode= 0.5 \n");  // 0.5 rounds to the even 0
    EXPECT_EQ(c.calls, (Calls{"wav", "notes", "random", "extended"}));
    EXPECT_EQ(c.wavLoadMode, 0);

    // Save keeps foreign lines; load gives the same choices back.
    std::ofstream(file, std::ios::binary) << "; mine\n[Setting]\nSleep=1\n";
    Controls s;
    s.sleepMs = 15;
    s.wavLoadMode = 0;
    s.showNotes = s.random = s.extended = true;
    SaveSettings(file, s);
    c = load(nullptr);
    EXPECT_EQ(c.sleepMs, 15);
    EXPECT_EQ(c.wavLoadMode, 0);
    EXPECT_TRUE(c.showNotes && c.random && c.extended);
    std::string firstLine;
    std::getline(std::ifstream(file), firstLine);
    EXPECT_EQ(firstLine, "; mine");
}

}  // namespace
