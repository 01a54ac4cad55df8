#include "chart/conversions.h"

#include <gtest/gtest.h>

#include <cmath>

#include "chart/entry_line.h"

namespace jov {
namespace {

TEST(Val, LeadingNumberHexAndRange) {
    const std::pair<std::string, double> cases[] = {
        // Blanks are skipped everywhere, the longest leading number counts.
        {" 1 2.5xyz", 12.5}, {"\t-3E2x", -300.0}, {"1D3", 1000.0}, {"2e-1", 0.2}, {"\n5", 5.0}, {"- 5", -5.0},
        {"+7", 7.0},
        // Incomplete tails stop the number where the form stops.
        {"1E", 1.0}, {"1E+", 1.0}, {"3.25.5", 3.25},
        // A point may end or begin the mantissa, never stand alone.
        {"1.", 1.0}, {"1.E5", 100000.0}, {".5", 0.5}, {"-. 25x", -0.25}, {".5.5", 0.5},
        // No number at all; CR is not skipped.
        {"", 0.0}, {"abc", 0.0}, {"--1", 0.0}, {"\r5", 0.0}, {".", 0.0}, {"-.E1", 0.0},
        // Hex is unsigned and stops at the first non-hex digit.
        {"&HfF", 255.0}, {"&h1Z", 1.0}, {"&HZZ", 0.0}, {"&H", 0.0}, {"&HFFFFFFFF", 4294967295.0},
        {"& H 1 F", 31.0}, {"-&H10", 0.0}, {"&O17", 0.0},
        // Underflow reads as zero; leading zeros never overflow.
        {"1E-400", 0.0}, {std::string(400, '0') + "12", 12.0}};
    for (const auto& [text, value] : cases) {
        auto v = Val(text);
        ASSERT_TRUE(v.has_value()) << text;
        EXPECT_EQ(*v, value) << text;
    }
    for (std::string bad : {std::string("1E400"), std::string("-9D999"), "&H" + std::string(300, 'F')})
        EXPECT_FALSE(Val(bad).has_value()) << bad;
}

TEST(WholeNumber, AcceptsOnlyTheNumberFormsAndRoundsHalfToEven) {
    const std::pair<const char*, int32_t> good[] = {{"2.5", 2},   {"3.5", 4},   {" \t-2.5\t ", -2},
                                                    {"&H10", 16}, {"1E3", 1000}, {"1d1", 10},
                                                    {"+7", 7},    {"2147483647", 2147483647}, {"-2147483648.5", -2147483647 - 1},
                                                    {"1.", 1},    {".5", 0},    {"-.75E1", -8}, {" 3.e1 ", 30}};
    for (auto [text, value] : good) EXPECT_EQ(WholeNumber(text), value) << text;
    for (const char* bad : {"", " ", "1,000", "12a", "1 2", "\r1", "1\n", "0x10", "&H", ".", "-.", ". 5", "1e", "--1",
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
    EXPECT_EQ(SingleOf(".5"), 0.5f);
    EXPECT_EQ(SingleOf("2."), 2.0f);
    for (const char* bad : {"1e39", "abc", "1 50", "", "."}) EXPECT_FALSE(SingleOf(bad).has_value()) << bad;
    EXPECT_EQ(SingleOf(U"  120.5\t"), 120.5f);
}

TEST(Rounding, HalvesGoToEvenAndTargetsAreChecked) {
    for (auto [x, r] : {std::pair{0.5, 0.0}, {1.5, 2.0}, {2.5, 2.0}, {-1.5, -2.0}}) EXPECT_EQ(RoundHalfEven(x), r) << x;
    EXPECT_EQ(RoundToInt16(32767.4), 32767);
    EXPECT_FALSE(RoundToInt16(32767.5).has_value());
    EXPECT_EQ(RoundToInt16(-32768.5), -32768);
    EXPECT_FALSE(RoundToInt16(-32769.0).has_value());
    EXPECT_FALSE(RoundToInt32(NAN).has_value());
    EXPECT_FALSE(ToSingle(1e39).has_value());
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
    EXPECT_EQ(FormatEntryLine(ChartInfo{}), " - \t0:00");
    ChartInfo e;
    e.Artist = "A";
    e.Title = "B";
    for (auto [ms, text] : {std::pair<int32_t, const char*>{65432, "1:05"}, {6000000, "100:00"}, {-65432, "-1:-05"},
                            {-5000, "0:-05"}, {-2147483647 - 1, "-35791:-23"}}) {
        e.PlayTime = ms;
        const std::string line = FormatEntryLine(e);
        EXPECT_EQ(line.substr(0, 6), "A - B\t");
        EXPECT_EQ(line.substr(6), text) << ms;
    }
}

}  // namespace
}  // namespace jov
