#include "shell/ini_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace jov;

TEST(IniFile, ReadsLikeTheProfileReader) {
    const std::string text =
        "; comment\r\n"
        "[Other]\r\nSleep=99\r\n"
        "  [ setting ]  \r\n"
        "  sleep = 3  \r\n"
        "Quoted=\"  spaced  \"\r\n"
        "Long=" + std::string(200, '7') + "\r\n"
        "Nul=ab" + std::string(1, '\0') + "cd\r\n"
        "[ListSetting]\nRandom=1";
    EXPECT_EQ(ReadIniText(text, "Setting", "Sleep", "10"), "3");
    EXPECT_EQ(ReadIniText(text, "SETTING", "SLEEP", "10"), "3");
    EXPECT_EQ(ReadIniText(text, "Setting", "Quoted", ""), "  spaced  ");
    EXPECT_EQ(ReadIniText(text, "Setting", "Long", ""), std::string(127, '7'));
    EXPECT_EQ(ReadIniText(text, "Setting", "Nul", ""), "ab");
    EXPECT_EQ(ReadIniText(text, "ListSetting", "Random", "0"), "1");       // LF and no final line end
    EXPECT_EQ(ReadIniText(text, "ListSetting", "Sleep", "10"), "10");      // key of another section
    EXPECT_EQ(ReadIniText(text, "Missing", "Sleep", "dflt  "), "dflt");    // trailing blanks of the default go
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
    fs::path dir = fs::temp_directory_path() / ("jov01_ini_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string file = (dir / "jov01.ini").string();
    EXPECT_EQ(ReadIni(file, "Setting", "Sleep", "10"), "10");
    ASSERT_TRUE(WriteIni(file, "Setting", "Sleep", "7"));
    ASSERT_TRUE(WriteIni(file, "ListSetting", "Random", "1"));
    ASSERT_TRUE(WriteIni(file, "Setting", "Sleep", "8"));
    EXPECT_EQ((std::stringstream() << std::ifstream(file).rdbuf()).str(), "[Setting]\nSleep=8\n\n[ListSetting]\nRandom=1\n");
    // Only the file itself remains: no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A folder in the file's place cannot be written and stays as it is.
    fs::create_directories(dir / "sub.ini");
    EXPECT_FALSE(WriteIni((dir / "sub.ini").string(), "S", "K", "1"));
    EXPECT_TRUE(fs::is_directory(dir / "sub.ini"));
    fs::remove_all(dir);
}
