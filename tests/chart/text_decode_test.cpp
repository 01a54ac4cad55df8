#include "chart/text_decode.h"

#include <gtest/gtest.h>

namespace jov {
namespace {

TEST(TextDecode, Cp932CharactersAndEveryUndecodableByteAsOneReplacement) {
    EXPECT_EQ(DecodeChartBytes("\x82\xa0\x83\x5c"), "\u3042\u30bd");  // trail byte 0x5C is not a backslash
    EXPECT_EQ(DecodeChartBytes("\xb1\xdf"), "\uff71\uff9f");          // half-width katakana
    EXPECT_EQ(DecodeChartBytes("a\x80" "b\xa0" "c\xfd\xfe\xff"), "a\ufffdb\ufffdc\ufffd\ufffd\ufffd");
    EXPECT_EQ(DecodeChartBytes("x\x82"), "x\ufffd");             // lead byte at the end
    EXPECT_EQ(DecodeChartBytes("\x82 A"), "\ufffd A");           // lead byte without trail byte
    EXPECT_EQ(DecodeChartBytes("\x85\x40"), "\ufffd@");          // pair in an unassigned row
    EXPECT_EQ(DecodeChartBytes("#TITLE \x83\x65\x83\x58\x83\x67"), "#TITLE \u30c6\u30b9\u30c8");
}

TEST(TextDecode, Utf8IsKeptWithTheLeadingBomRemovedAndInvalidUtf8FallsBackWhole) {
    EXPECT_EQ(DecodeChartBytes("\xef\xbb\xbf#TITLE \xe4\xb8\x96"), "#TITLE \xe4\xb8\x96");
    EXPECT_EQ(DecodeChartBytes("a\xef\xbb\xbf"), "a\xef\xbb\xbf");  // only a leading BOM goes
    // One invalid sequence makes the whole text code page 932.
    EXPECT_EQ(DecodeChartBytes("\x82\xa0\xc3\xa9"), "\u3042\uff83\uff69");
    EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));      // overlong
    EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));  // surrogate
    EXPECT_FALSE(IsValidUtf8("\xf4\x90\x80\x80"));
    EXPECT_TRUE(IsValidUtf8(std::string("a\0b", 3)));
}

TEST(TextDecode, Utf16WithEitherByteOrderMark) {
    EXPECT_EQ(DecodeChartBytes(std::string("\xff\xfe#\0A\0B0", 8)), "#A\u3042");
    EXPECT_EQ(DecodeChartBytes(std::string("\xfe\xff\0#0B", 6)), "#\u3042");
    EXPECT_EQ(DecodeChartBytes(std::string("\xff\xfe=\xd8\0\xde", 6)), "\U0001F600");
    EXPECT_EQ(DecodeChartBytes(std::string("\xff\xfe\0\xdc" "A", 5)), "\ufffd\ufffd");  // lone low surrogate, odd byte
}

TEST(TextDecode, ListTextsKeepValidUtf8AsItIs) {
    EXPECT_EQ(DecodeUtf8OrCp932("\xef\xbb\xbftitle"), "\xef\xbb\xbftitle");
    EXPECT_EQ(DecodeUtf8OrCp932("\x83\x65"), "\u30c6");
    EXPECT_EQ(DecodeUtf8OrCp932(""), "");
}

}  // namespace
}  // namespace jov
