#include "chart/conversions.h"

#include <gtest/gtest.h>

#include <cmath>

#include "chart/entry_line.h"

namespace jov {
namespace {

TEST(Val, ReadsTheLongestLeadingNumberSkippingBlanksEverywhere) {
    EXPECT_EQ(*Val(" 1 2.5xyz"), 12.5);
    EXPECT_EQ(*Val("\t-3E2x"), -300.0);
    EXPECT_EQ(*Val("1D3"), 1000.0);
    EXPECT_EQ(*Val("2e-1"), 0.2);
    EXPECT_EQ(*Val("\n5"), 5.0);
    EXPECT_EQ(*Val("- 5"), -5.0);
    EXPECT_EQ(*Val("+7"), 7.0);
    // Incomplete tails stop the number where the form stops.
    EXPECT_EQ(*Val("1."), 1.0);
    EXPECT_EQ(*Val("1.E5"), 1.0);
    EXPECT_EQ(*Val("1E"), 1.0);
    EXPECT_EQ(*Val("1E+"), 1.0);
    EXPECT_EQ(*Val("3.25.5"), 3.25);
    // No number at all.
    EXPECT_EQ(*Val(""), 0.0);
    EXPECT_EQ(*Val("abc"), 0.0);
    EXPECT_EQ(*Val("--1"), 0.0);
    EXPECT_EQ(*Val("\r5"), 0.0);  // CR is not skipped
    EXPECT_EQ(*Val(".5"), 0.0);
}

TEST(Val, HexIsUnsignedAndStopsAtTheFirstNonHexDigit) {
    EXPECT_EQ(*Val("&HfF"), 255.0);
    EXPECT_EQ(*Val("&h1Z"), 1.0);
    EXPECT_EQ(*Val("&HZZ"), 0.0);
    EXPECT_EQ(*Val("&H"), 0.0);
    EXPECT_EQ(*Val("&HFFFFFFFF"), 4294967295.0);
    EXPECT_EQ(*Val("& H 1 F"), 31.0);
    EXPECT_EQ(*Val("-&H10"), 0.0);
    EXPECT_EQ(*Val("&O17"), 0.0);
}

TEST(Val, FailsBeyondTheDoubleRangeButUnderflowReadsAsZero) {
    EXPECT_FALSE(Val("1E400").has_value());
    EXPECT_FALSE(Val("-9D999").has_value());
    EXPECT_FALSE(Val("&H" + std::string(300, 'F')).has_value());
    ASSERT_TRUE(Val("1E-400").has_value());
    EXPECT_EQ(*Val("1E-400"), 0.0);
    EXPECT_EQ(*Val(std::string(400, '0') + "12"), 12.0);
}

TEST(WholeNumber, AcceptsOnlyTheNumberFormsAndRoundsHalfToEven) {
    EXPECT_EQ(WholeNumber("2.5"), 2);
    EXPECT_EQ(WholeNumber("3.5"), 4);
    EXPECT_EQ(WholeNumber(" \t-2.5\t "), -2);
    EXPECT_EQ(WholeNumber("&H10"), 16);
    EXPECT_EQ(WholeNumber("1E3"), 1000);
    EXPECT_EQ(WholeNumber("1d1"), 10);
    EXPECT_EQ(WholeNumber("+7"), 7);
    EXPECT_EQ(WholeNumber("2147483647"), 2147483647);
    EXPECT_EQ(WholeNumber("-2147483648.5"), -2147483648);
    for (const char* bad : {"", " ", "1,000", "12a", "1 2", "\r1", "1\n", "0x10", "&H", "1.", ".5", "1e", "--1",
                            "2147483648", "2147483647.5", "&HFFFFFFFF", "1E400", "- 1"})
        EXPECT_FALSE(WholeNumber(bad).has_value()) << bad;
}

TEST(SingleOf, RoundsOnceFromTheDecimalText) {
    EXPECT_EQ(SingleOf("0.1"), 0.1f);
    EXPECT_EQ(SingleOf(" 150 "), 150.0f);
    EXPECT_EQ(SingleOf("16777217"), 16777216.0f);
    EXPECT_EQ(SingleOf("1.5D1"), 15.0f);
    EXPECT_EQ(SingleOf("&HFF"), 255.0f);
    // Just above the midpoint between 1 and the next single: a detour through a
    // double would land on the midpoint and round down to 1.
    EXPECT_EQ(SingleOf("1.00000005960464477539062500001"), std::nextafter(1.0f, 2.0f));
    EXPECT_FALSE(SingleOf("1e39").has_value());
    EXPECT_FALSE(SingleOf("abc").has_value());
    EXPECT_FALSE(SingleOf("1 50").has_value());
    EXPECT_FALSE(SingleOf("").has_value());
    EXPECT_EQ(SingleOf(U"  120.5\t"), 120.5f);
}

TEST(Rounding, HalvesGoToEvenAndTargetsAreChecked) {
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(RoundToInt16(32767.4), 32767);
    EXPECT_FALSE(RoundToInt16(32767.5).has_value());
    EXPECT_EQ(RoundToInt16(-32768.5), -32768);
    EXPECT_FALSE(RoundToInt16(-32769.0).has_value());
    EXPECT_FALSE(RoundToInt32(NAN).has_value());
    EXPECT_FALSE(ToSingle(1e39).has_value());
    EXPECT_EQ(ToSingle(0.75), 0.75f);
}

TEST(TextHelpers, TrimRemovesSpacesOnlyAndMidCountsCodePoints) {
    EXPECT_EQ(Trim(std::string_view("  a b \t ")), "a b \t");
    std::u32string s = U"TITLE \u30B6\u30FB";
    EXPECT_EQ(Mid(s, 7), U"\u30B6\u30FB");
    EXPECT_EQ(Mid(s, 8, 5), U"\u30FB");
    EXPECT_EQ(Mid(s, 30), U"");
    EXPECT_EQ(UpperAscii(U"bpm\u00e9"), U"BPM\u00e9");
}

TEST(FormatEntryLine, MinutesAndTwoDigitSecondsWithSignPerField) {
    ChartInfo e;
    e.Artist = "A";
    e.Title = "B";
    e.PlayTime = 65432;
    EXPECT_EQ(FormatEntryLine(e), "A - B\t1:05");
    EXPECT_EQ(FormatEntryLine(ChartInfo{}), " - \t0:00");
    e.PlayTime = 6000000;
    EXPECT_EQ(FormatEntryLine(e), "A - B\t100:00");
    e.PlayTime = -65432;
    EXPECT_EQ(FormatEntryLine(e), "A - B\t-1:-05");
    e.PlayTime = -5000;
    EXPECT_EQ(FormatEntryLine(e), "A - B\t0:-05");
    e.PlayTime = -2147483647 - 1;
    EXPECT_EQ(FormatEntryLine(e), "A - B\t-35791:-23");
}

}  // namespace
}  // namespace jov
