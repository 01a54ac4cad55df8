// The settings file: the text edits of the profile writer, and the controls loaded and
// saved through it. Reading a profile is checked by the IniRead rows of tests/data/forms.txt.
#include "shell/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "shell/ini_file.h"
#include "shell/status.h"
#include "../test_util.h"

using namespace jov;

namespace {

TEST(IniFile, WritesInPlaceAndKeepsOtherLines) {
    const std::string text = "; keep me\r\n[setting]\r\nSLEEP=3\r\nother = x\r\n\r\n[Next]\r\nk=v\r\n";
    const struct {
        std::string text, section, key, value, written;
    } rows[] = {
        // The key keeps its spelling and place, other lines stay byte for byte.
        {text, "Setting", "Sleep", "12", "; keep me\r\n[setting]\r\nSLEEP=12\r\nother = x\r\n\r\n[Next]\r\nk=v\r\n"},
        // A missing key joins the end of its section, before the blank line.
        {text, "Setting", "ShowNotes", "1", "; keep me\r\n[setting]\r\nSLEEP=3\r\nother = x\r\nShowNotes=1\r\n\r\n[Next]\r\nk=v\r\n"},
        // A missing section is appended.
        {"[A]\nx=1", "ListSetting", "Random", "0", "[A]\nx=1\n\n[ListSetting]\nRandom=0\n"},
        {"", "Setting", "Sleep", "10", "[Setting]\nSleep=10\n"},
        // A line end inside a value cannot split the line.
        {"", "S", "K", "1\n[Evil]", "[S]\nK=1\n"},
    };
    for (const auto& r : rows) EXPECT_EQ(WriteIniText(r.text, r.section, r.key, r.value), r.written) << r.key;
    EXPECT_EQ(ReadIniText("", "Setting", "Sleep", "10"), "10");
    EXPECT_EQ(ReadIniText("\xEF\xBB\xBF[Setting]\nSleep=4\n", "Setting", "Sleep", "10"), "4");
}

// The window's controls as the settings see them: each store also sets the engine value,
// as the control's change reaction does, and is logged with its value.
struct Controls : SettingsControls {
    bool showNotes = false, random = false, even = true, perSong = true;
    std::string reading = "auto";
    int32_t sleepMs = 99, wavLoadMode = 99;
    std::string calls;
    void Log(const std::string& what, int value) { calls += what + std::to_string(value) + " "; }
    void SetSleepIndex(int i) override { sleepMs = i; Log("sleep", i); }
    void SetWavModeIndex(int i) override { wavLoadMode = i; Log("wav", i); }
    void SetShowNotes(bool t) override { showNotes = t; Log("notes", t); }
    void SetRandom(bool t) override { random = t; Log("random", t); }
    void SetReading(const std::string& name) override { reading = name; calls += name + " "; }
    void SetEvenLoudness(bool on) override { even = on; Log("even", on); }
    void SetOneChartPerSong(bool on) override { perSong = on; Log("song", on); }
    void SetEngineSettings(int32_t s, int32_t w) override {
        sleepMs = s;
        wavLoadMode = w;
        calls += "engine" + std::to_string(s) + "," + std::to_string(w) + " ";
    }
    bool ShowNotes() const override { return showNotes; }
    bool Random() const override { return random; }
    int32_t SleepMs() const override { return sleepMs; }
    int32_t WavLoadMode() const override { return wavLoadMode; }
    std::string Reading() const override { return reading; }
    bool EvenLoudness() const override { return even; }
    bool OneChartPerSong() const override { return perSong; }
};

TEST(Settings, LoadSaveRoundTripAndBadValues) {
    jovtest::TempDir tmp;
    const std::string file = tmp / "jov01.ini";
    Shell shell;
    auto load = [&](const char* text) {
        if (text) std::ofstream(file, std::ios::binary) << text;
        Controls c;
        LoadSettings(file, shell, c);
        return c.calls;
    };
    // No file: engine defaults only (sleep 10, mode 1); the first save writes every key.
    EXPECT_EQ(ReadIni(file, "Setting", "Sleep", "10"), "10");
    EXPECT_EQ(load(nullptr), "engine10,1 ");
    Controls defaults;
    defaults.sleepMs = 10;
    defaults.wavLoadMode = 1;
    SaveSettings(file, defaults);
    EXPECT_EQ(jovtest::Slurp(file),
              "[Setting]\nSleep=10\nWAVLoadmode=1\nShowNotes=0\nReading=auto\nEvenLoudness=1\n\n[ListSetting]\nRandom=0\n"
              "OneChartPerSong=1\n");

    const std::pair<const char*, const char*> rows[] = {
        // Missing keys read as their defaults; a greyed check box (2) counts as ticked.
        {"[Setting]\r\nSleep=3\r\n", "sleep3 wav1 notes0 random0 auto even1 song1 "},
        {"[Setting]\nSleep=15\nShowNotes=2\nExtendedReading=1\nEvenLoudness=0\n[ListSetting]\nRandom=2\nOneChartPerSong=0\n",
         "sleep15 wav1 notes1 random1 extended even0 song0 "},
        // The reading: its own key wins; the old switch's 0 (every old save wrote it) is Auto.
        {"[Setting]\nExtendedReading=0\n", "sleep10 wav1 notes0 random0 auto even1 song1 "},
        {"[Setting]\nReading=classic\nExtendedReading=1\n", "sleep10 wav1 notes0 random0 classic even1 song1 "},
        {"[Setting]\nReading=Extended\nExtendedReading=1\n", "sleep10 wav1 notes0 random0 even1 song1 "},
        // Not a number, or a position the list does not have: that control is left alone.
        {"[Setting]\nSleep=abc\nWAVLoadmode=2\nShowNotes=1\nExtendedReading=2\nEvenLoudness=2\n[ListSetting]\nRandom=-1\n"
         "OneChartPerSong=2\n",
         "notes1 "},
        {"[Setting]\nSleep=16\nWAVLoadmode= 0.5 \n", "wav0 notes0 random0 auto even1 song1 "},  // 0.5 rounds to the even 0
    };
    for (const auto& [text, calls] : rows) EXPECT_EQ(load(text), calls) << text;

    // Save keeps foreign lines; load gives the same choices back.
    std::ofstream(file, std::ios::binary) << "; mine\n[Setting]\nSleep=1\n";
    Controls s;
    s.sleepMs = 15;
    s.wavLoadMode = 0;
    s.showNotes = s.random = true;
    s.reading = "classic";
    s.even = false;
    s.perSong = false;
    SaveSettings(file, s);
    EXPECT_EQ(load(nullptr), "sleep15 wav0 notes1 random1 classic even0 song0 ");
    EXPECT_EQ(jovtest::Slurp(file).substr(0, 7), "; mine\n");

    // A folder in the file's place cannot be written and stays as it is.
    std::filesystem::create_directories(tmp / "sub.ini");
    EXPECT_FALSE(WriteIni(tmp / "sub.ini", "S", "K", "1"));
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "sub.ini"));
}

}  // namespace
