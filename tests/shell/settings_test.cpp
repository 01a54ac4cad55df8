#include "shell/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "shell/ini_file.h"
#include "shell/status.h"

namespace fs = std::filesystem;
using namespace jov;

namespace {

// The window's controls as the settings see them: each store also sets the engine value,
// as the control's change reaction does.
struct Controls : SettingsControls {
    int sleepIndex = 10, wavIndex = 1;
    bool showNotes = false, random = false;
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
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("jov01_settings_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = (dir / "jov01.ini").string();
    }
    void TearDown() override { fs::remove_all(dir); }
    void WriteFile(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
    fs::path dir;
    std::string file;
    Shell shell;
};

TEST_F(SettingsTest, MissingFileSetsEngineDefaultsOnly) {
    Controls c;
    LoadSettings(file, shell, c);
    EXPECT_EQ(c.calls, (std::vector<std::string>{"engine"}));
    EXPECT_EQ(c.sleepMs, 10);
    EXPECT_EQ(c.wavLoadMode, 1);
    // The first save writes both sections and all four keys.
    SaveSettings(file, c);
    EXPECT_EQ(ReadIni(file, "Setting", "Sleep", "x"), "10");
    EXPECT_EQ(ReadIni(file, "Setting", "WAVLoadmode", "x"), "1");
    EXPECT_EQ(ReadIni(file, "Setting", "ShowNotes", "x"), "0");
    EXPECT_EQ(ReadIni(file, "ListSetting", "Random", "x"), "0");
}

TEST_F(SettingsTest, PartialAndBadValues) {
    WriteFile("[Setting]\r\nSleep=3\r\n");
    Controls c;
    LoadSettings(file, shell, c);
    EXPECT_EQ(c.calls, (std::vector<std::string>{"sleep", "wav", "notes", "random"}));
    EXPECT_EQ(c.sleepMs, 3);
    EXPECT_EQ(c.wavIndex, 1);
    EXPECT_FALSE(c.showNotes);
    EXPECT_FALSE(c.random);

    // Not a number, or a position the list does not have: that control is left alone.
    WriteFile("[Setting]\nSleep=abc\nWAVLoadmode=2\nShowNotes=1\n[ListSetting]\nRandom=-1\n");
    Controls d;
    LoadSettings(file, shell, d);
    EXPECT_EQ(d.calls, (std::vector<std::string>{"notes"}));
    EXPECT_EQ(d.sleepMs, 99);
    EXPECT_TRUE(d.showNotes);

    WriteFile("[Setting]\nSleep=16\nWAVLoadmode= 0.5 \n");  // 0.5 rounds to the even 0
    Controls e;
    LoadSettings(file, shell, e);
    EXPECT_EQ(e.calls, (std::vector<std::string>{"wav", "notes", "random"}));
    EXPECT_EQ(e.wavLoadMode, 0);
}

TEST_F(SettingsTest, SaveThenLoadGivesTheSameChoices) {
    WriteFile("; mine\n[Setting]\nSleep=1\n");
    Controls c;
    c.sleepMs = 15;
    c.wavLoadMode = 0;
    c.showNotes = true;
    c.random = true;
    SaveSettings(file, c);
    Controls d;
    LoadSettings(file, shell, d);
    EXPECT_EQ(d.sleepMs, 15);
    EXPECT_EQ(d.wavLoadMode, 0);
    EXPECT_TRUE(d.showNotes);
    EXPECT_TRUE(d.random);
    EXPECT_EQ(ReadIni(file, "Setting", "x", "kept"), "kept");
    std::ifstream in(file);
    std::string firstLine;
    std::getline(in, firstLine);
    EXPECT_EQ(firstLine, "; mine");
}

TEST(SettingsNumbers, WholeNumberForms) {
    EXPECT_EQ(ParseInt16("7"), 7);
    EXPECT_EQ(ParseInt16(" \t-12 "), -12);
    EXPECT_EQ(ParseInt16("+2.5"), 2);
    EXPECT_EQ(ParseInt16("3.5"), 4);
    EXPECT_EQ(ParseInt16("1e1"), 10);
    EXPECT_EQ(ParseInt16("1D1"), 10);
    EXPECT_EQ(ParseInt16("&H10"), 16);
    EXPECT_EQ(ParseInt16("32767.4"), 32767);
    EXPECT_EQ(ParseInt16("-32768"), -32768);
    for (const char* bad : {"", " ", "abc", "1,000", "1.", ".5", "1e", "&H", "&HFFFF", "32767.5", "1e400", "3 4", "0x10"}) {
        EXPECT_EQ(ParseInt16(bad), std::nullopt) << bad;
    }
}

}  // namespace
