// The text forms of numbers, times and names, from the table in tests/data/forms.txt.
#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>

#include "audio/path_resolver.h"
#include "chart/conversions.h"
#include "chart/entry_line.h"
#include "chart/text_decode.h"
#include "engine/status_readout.h"
#include "playlist/folder_search.h"
#include "playlist/play_order.h"
#include "playlist/playlist.h"
#include "playlist/seek_bar.h"
#include "playlist/uri_list.h"
#include "shell/ini_file.h"
#include "shell/settings.h"

namespace jov {
namespace {

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        if (c == 'x') {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c == '0' ? '\0' : c;
        }
    }
    return out;
}

template <typename T>
std::string Text(const std::optional<T>& v) {
    if (!v) return "(none)";
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, *v).ptr);
}
std::string Text(bool b) { return b ? "true" : "false"; }

std::vector<double> Numbers(const std::string& s) {
    std::istringstream in(s);
    return std::vector<double>(std::istream_iterator<double>(in), {});
}

using Form = std::function<std::string(const std::string&)>;
const std::map<std::string, Form> kForms = {
    {"Val", [](const std::string& s) { return Text(Val(s)); }},
    {"WholeNumber", [](const std::string& s) { return Text(WholeNumber(s)); }},
    {"ParseInt16", [](const std::string& s) { return Text(ParseInt16(s)); }},
    {"SingleOf", [](const std::string& s) { return Text(SingleOf(s)); }},
    {"RoundToInt16", [](const std::string& s) { return Text(RoundToInt16(std::stod(s))); }},
    {"RoundToInt32", [](const std::string& s) { return Text(RoundToInt32(std::stod(s))); }},
    {"ToSingle", [](const std::string& s) { return Text(ToSingle(std::stod(s))); }},
    {"Trim", [](const std::string& s) { return std::string(Trim(std::string_view(s))); }},
    {"DecodeChartBytes", [](const std::string& s) { return DecodeChartBytes(s); }},
    {"IsValidUtf8", [](const std::string& s) { return Text(IsValidUtf8(s)); }},
    {"DecodeUtf8OrCp932", [](const std::string& s) { return DecodeUtf8OrCp932(s); }},
    {"EntryLine", [](const std::string& s) {
         ChartInfo e;
         e.Artist = std::string("A");
         e.Title = std::string("B");
         e.PlayTime = std::stoi(s);
         return FormatEntryLine(e);
     }},
    {"FormatTime", [](const std::string& s) { return FormatTime(std::stoi(s)); }},
    {"FormatBpm", [](const std::string& s) { return FormatBpm(std::stof(s)); }},
    {"Summary", [](const std::string& s) {
         const auto n = Numbers(s);
         return FormatPlayListSummary(int32_t(n[0]), int64_t(n[1])).value_or("(none)");
     }},
    {"MatchPattern", [](const std::string& s) {
         const auto blank = s.find(' ');
         return Text(MatchPattern(s.substr(0, blank), s.substr(blank + 1)));
     }},
    {"Resolve", [](const std::string& s) {
         const std::string root = std::string(JOV01_TEST_DATA) + "/resolve";
         const auto found = ResolvePath(root + s);
         return found ? found->substr(root.size()) : "(none)";
     }},
    {"ReplaceExtension", [](const std::string& s) { return ReplaceExtension(s.substr(0, s.find(' ')), s.substr(s.find(' ') + 1)); }},
    {"IniRead", [](const std::string& s) {
         const auto a = s.find('|'), b = s.find('|', a + 1);
         return ReadIni(std::string(JOV01_TEST_DATA) + "/profile.ini", s.substr(0, a), s.substr(a + 1, b - a - 1), s.substr(b + 1));
     }},
    {"SeekBar", [](const std::string& s) {
         const auto n = Numbers(s);
         const SeekBarAction a = SeekBarPointer(n[0], int(n[1]), int32_t(n[2]), int32_t(n[3]));
         return Text(a.TooltipMs) + " " + Text(a.SeekTick);
     }},
    {"UriList", [](const std::string& s) {
         std::string out;
         for (const std::string& path : UriListPaths(s)) out += path + "|";
         return out;
     }},
    {"PlayTable", [](const std::string& s) {
         // Shuffled (1) or not (0), then entry counts: the tables one source makes, each and "|".
         const auto n = Numbers(s);
         RandomSource rng;
         std::ostringstream out;
         std::vector<int32_t> table;
         for (size_t i = 1; i < n.size(); ++i) {
             makeplaytable(table, int32_t(n[i]), n[0] != 0, rng);
             for (size_t j = 0; j < table.size(); ++j) out << table[j] << (j + 1 == table.size() ? "|" : " ");
         }
         return out.str();
     }},
    {"Marquee", [](const std::string& s) {
         // Measure(height, height of A, width of A), a title of the given width restarts a
         // marquee left mid-way; the state, then x after the set x and a step per box width.
         const auto n = Numbers(s);
         TitleMarquee m;
         m.Measure(n[0], n[1], n[2]);
         m.TitleX = 99;
         m.Restart(n[3]);
         std::ostringstream out;
         out << m.TitleY << ' ' << m.TitleStep << ' ' << m.TitleWidth << ' ' << m.TitleX << ':';
         m.TitleX = int32_t(n[4]);
         for (size_t i = 5; i < n.size(); ++i) {
             m.Step(n[i]);
             out << ' ' << m.TitleX;
         }
         return out.str();
     }},
};

TEST(TextForms, EveryRowOfTheTable) {
    std::ifstream in(std::string(JOV01_TEST_DATA) + "/forms.txt");
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto a = line.find('\t'), b = line.find('\t', a + 1);
        ASSERT_NE(b, std::string::npos) << line;
        const auto form = kForms.find(line.substr(0, a));
        ASSERT_NE(form, kForms.end()) << line;
        EXPECT_EQ(form->second(Unescape(line.substr(a + 1, b - a - 1))), Unescape(line.substr(b + 1))) << line;
        ++rows;
    }
    EXPECT_GT(rows, 130);
    // Too long for a table row: leading zeros never overflow, a huge hex number does.
    EXPECT_EQ(Val(std::string(400, '0') + "12"), 12.0);
    EXPECT_FALSE(Val("&H" + std::string(300, 'F')).has_value());
}

}  // namespace
}  // namespace jov
