#include "shell/ini_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../test_util.h"

namespace fs = std::filesystem;
using namespace jov;

// Reading a profile is checked by the IniRead rows of tests/data/forms.txt.
TEST(IniFile, EmptyAndMarkedTexts) {
    EXPECT_EQ(ReadIniText("", "Setting", "Sleep", "10"), "10");
    EXPECT_EQ(ReadIniText("\xEF\xBB\xBF[Setting]\nSleep=4\n", "Setting", "Sleep", "10"), "4");
}

TEST(IniFile, WritesInPlaceAndKeepsOtherLines) {
    const std::string text = "; keep me\r\n[setting]\r\nSLEEP=3\r\nother = x\r\n\r\n[Next]\r\nk=v\r\n";
    // Replace: the key keeps its spelling and place, other lines stay byte for byte.
    EXPECT_EQ(WriteIniText(text, "Setting", "Sleep", "12"),
              "; keep me\r\n[setting]\r\nSLEEP=12\r\nother = x\r\n\r\n[Next]\r\nk=v\r\n");
    // A missing key joins the end of its section, before the blank line.
    EXPECT_EQ(WriteIniText(text, "Setting", "ShowNotes", "1"),
              "; keep me\r\n[setting]\r\nSLEEP=3\r\nother = x\r\nShowNotes=1\r\n\r\n[Next]\r\nk=v\r\n");
    // A missing section is appended.
    EXPECT_EQ(WriteIniText("[A]\nx=1", "ListSetting", "Random", "0"), "[A]\nx=1\n\n[ListSetting]\nRandom=0\n");
    EXPECT_EQ(WriteIniText("", "Setting", "Sleep", "10"), "[Setting]\nSleep=10\n");
    // A line end inside a value cannot split the line.
    EXPECT_EQ(WriteIniText("", "S", "K", "1\n[Evil]"), "[S]\nK=1\n");
    // Every written value reads back.
    std::string t = WriteIniText(WriteIniText(text, "Next", "k", "w"), "New", "n", "5");
    EXPECT_EQ(ReadIniText(t, "next", "K", ""), "w");
    EXPECT_EQ(ReadIniText(t, "New", "n", ""), "5");
    EXPECT_EQ(ReadIniText(t, "Setting", "other", ""), "x");
}

TEST(IniFile, FileIsCreatedAndReplacedWhole) {
    jovtest::TempDir tmp;
    const fs::path& dir = tmp.Path();
    const std::string file = tmp / "jov01.ini";
    EXPECT_EQ(ReadIni(file, "Setting", "Sleep", "10"), "10");
    ASSERT_TRUE(WriteIni(file, "Setting", "Sleep", "7"));
    ASSERT_TRUE(WriteIni(file, "ListSetting", "Random", "1"));
    ASSERT_TRUE(WriteIni(file, "Setting", "Sleep", "8"));
    EXPECT_EQ(jovtest::Slurp(file), "[Setting]\nSleep=8\n\n[ListSetting]\nRandom=1\n");
    // Only the file itself remains: no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A folder in the file's place cannot be written and stays as it is.
    fs::create_directories(dir / "sub.ini");
    EXPECT_FALSE(WriteIni((dir / "sub.ini").string(), "S", "K", "1"));
    EXPECT_TRUE(fs::is_directory(dir / "sub.ini"));
}
