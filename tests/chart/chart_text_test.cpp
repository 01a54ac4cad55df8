// The piecewise line reader against the whole file decoded and walked at once, and the
// object codes' quick path against the general number reader.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "chart/chart_text.h"
#include "chart/conversions.h"
#include "chart/text_decode.h"

namespace jov {
namespace {

std::vector<std::u32string> WholeFileLines(const std::string& bytes) {
    std::u32string decoded = DecodeChartText(bytes);
    decoded = decoded.substr(0, decoded.find(U'\0'));
    std::u32string text = U"\r\n";
    for (size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] != U'\r' && decoded[i] != U'\n') {
            text += decoded[i];
            continue;
        }
        text += U"\r\n";
        if (decoded[i] == U'\r' && i + 1 < decoded.size() && decoded[i + 1] == U'\n') ++i;
    }
    std::vector<std::u32string> lines;
    LineWalker walker(text);
    for (std::u32string_view line; walker.Next(line);) lines.emplace_back(line);
    return lines;
}

// Lines of every kind, a lone "#" among them (it takes the next line), under mixed line
// breaks; several pieces long.
std::string MakeFile(unsigned seed, bool validUtf8) {
    std::mt19937 r(seed);
    static const char* const kLines[] = {"#", "", "#00111:0A0B", "#WAV01 a.wav", "#TITLE \xE6\x9B\xB2",
                                         "#TITLE \x8B\xC8", "#00102:.5", "x#"};
    static const char* const kBreaks[] = {"\r\n", "\n", "\r", "\r\r\n", "\n\r"};
    // From seed 4 on, lines longer than the reader decodes whole: a title, object data,
    // text that is no command, and one joined to a lone "#".
    static const char* const kLong[] = {"#TITLE ", "#00111:", "text ", "#\r\n#TITLE"};
    std::string out = seed % 3 == 0 ? "\xEF\xBB\xBF" : "";
    for (size_t longLines = 0; out.size() < 300000 + longLines * 2 * ChartLineReader::kLongLineBytes;) {
        out += kLines[r() % (validUtf8 ? 5 : 8)];
        out += kBreaks[seed % 2 ? 0 : r() % 5];
        if (seed >= 4 && out.size() > 100000 * (longLines + 1) && longLines < 2) {
            out += kLong[(seed + longLines++) % 4];
            for (const size_t end = out.size() + ChartLineReader::kLongLineBytes + 1000; out.size() < end;)
                out += validUtf8 ? "0A \xE6\x9B\xB2" : "0A \x8B\xC8\x81";
            out += kBreaks[r() % 5];
        }
    }
    return out;
}

TEST(ChartLines, PiecesGiveTheLinesOfTheWholeFile) {
    int totalLong = 0;
    for (unsigned seed = 0; seed < 8; ++seed) {
        std::string utf8 = MakeFile(seed, true);
        std::string cp932 = MakeFile(seed, false);
        std::string withNul = cp932;
        withNul[150001] = '\0';
        std::string utf16 = "\xFF\xFE";
        for (char c : utf8.substr(3, seed >= 4 ? std::string::npos : 100000)) utf16 += {c, '\0'};
        for (const std::string& bytes : {utf8, cp932, withNul, utf16}) {
            std::vector<std::u32string> got;
            int longLines = 0;
            ChartLineReader reader(bytes);
            for (std::u32string_view line; reader.Next(line);) {
                if (!reader.LineIsLong()) {
                    got.emplace_back(line);
                    continue;
                }
                // A long line yields its head; the walks give all of it, and read it as a whole line reads.
                ++longLines;
                std::u32string full;
                reader.ForEachLongPiece(0, [&](std::u32string_view piece) { full += piece; });
                EXPECT_EQ(full.substr(0, line.size()), line);
                EXPECT_EQ(HeaderText(reader, line, HeaderCommand::Title), HeaderText(full, HeaderCommand::Title));
                if (auto cl = ReadChannelLine(full); cl) {
                    std::u32string pairs, wholePairs;
                    ForEachDataPair(reader, *cl, [&](std::u32string_view p, size_t, size_t n) { pairs += p; pairs += char32_t(n); });
                    const size_t n = cl->data.size() / 2;
                    for (size_t k = 0; k < n; ++k) wholePairs += std::u32string(cl->data.substr(2 * k, 2)) + char32_t(n);
                    EXPECT_EQ(pairs, wholePairs);
                }
                got.push_back(std::move(full));
            }
            // A long line joined to a lone "#" starts with a line break: no command, not yielded.
            std::vector<std::u32string> whole = WholeFileLines(bytes);
            std::erase_if(whole, [](const std::u32string& l) {
                return l.size() > ChartLineReader::kLongLineBytes / 2 && l[0] == U'\r';
            });
            ASSERT_EQ(got, whole) << "seed " << seed;
            totalLong += longLines;
        }
    }
    EXPECT_GE(totalLong, 10);
}

// Object codes read as the general number reader reads "&H" and the code, for every pair
// of characters a chart may hold there.
TEST(ChartLines, ObjectValueIsValOfHex) {
    const std::u32string chars = U" +-.&0189:@AFGZafgz\u00A0\u3000\uFF10\uFF21";
    for (char32_t a : chars)
        for (char32_t b : chars) {
            const std::u32string code{a, b};
            const auto v = Val(U"&H" + code);
            EXPECT_EQ(ObjectValue(code), v ? RoundToInt32(*v).value_or(0) : 0);
        }
    EXPECT_EQ(ObjectValue(U"fF"), 255);
}

}  // namespace
}  // namespace jov
