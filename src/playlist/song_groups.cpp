#include "playlist/song_groups.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace jov {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

// Full-width space (U+3000) and ASCII blanks at the end.
void TrimEnd(std::string_view& t) {
    while (true) {
        if (!t.empty() && Blank(t.back())) t.remove_suffix(1);
        else if (t.size() >= 3 && t.substr(t.size() - 3) == "\xE3\x80\x80") t.remove_suffix(3);
        else return;
    }
}

struct Mark {
    std::string_view open;
    std::string_view close;
};

// Pairs that close a trailing difficulty mark, ASCII and full-width.
constexpr Mark kMarks[] = {
    {"[", "]"}, {"(", ")"}, {"<", ">"}, {"{", "}"}, {"-", "-"}, {"~", "~"},
    {"\xE3\x80\x90", "\xE3\x80\x91"},  // 【】
    {"\xEF\xBC\x88", "\xEF\xBC\x89"},  // （）
    {"\xEF\xBC\xBB", "\xEF\xBC\xBD"},  // ［］
    {"\xEF\xBC\x9C", "\xEF\xBC\x9E"},  // ＜＞
    {"\xE3\x80\x94", "\xE3\x80\x95"},  // 〔〕
    {"\xEF\xBD\x9E", "\xEF\xBD\x9E"},  // ～～
    {"\xE3\x80\x9C", "\xE3\x80\x9C"},  // 〜〜
};

// One trailing mark taken off; false when there is none (or nothing would be left).
bool StripMark(std::string_view& t) {
    for (const Mark& m : kMarks) {
        if (t.size() <= m.close.size() || t.substr(t.size() - m.close.size()) != m.close) continue;
        const std::string_view inner = t.substr(0, t.size() - m.close.size());
        std::size_t at = inner.rfind(m.open);
        // A dash or tilde mark stands apart from the title ("Song -HYPER-", not "A-B-").
        const bool paired = m.open == m.close;
        if (at == std::string_view::npos || at == 0 || at + m.open.size() == inner.size()) continue;
        if (paired && !Blank(inner[at - 1]) && !(at >= 3 && inner.substr(at - 3, 3) == "\xE3\x80\x80")) continue;
        std::string_view rest = inner.substr(0, at);
        TrimEnd(rest);
        if (rest.empty()) continue;
        t = rest;
        return true;
    }
    return false;
}

std::string Folded(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string_view FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string_view() : std::string_view(path).substr(0, slash + 1);
}

}  // namespace

std::string SongTitle(std::string_view title) {
    std::string_view t = title;
    TrimEnd(t);
    while (StripMark(t)) {
    }
    return std::string(t);
}

std::vector<bool> ChosenCharts(const std::vector<ChartInfo>& entries, const std::vector<int32_t>& sounding) {
    std::vector<bool> chosen(entries.size(), false);
    std::unordered_map<std::string, std::size_t> best;  // song → its chosen entry
    auto count = [&](std::size_t i) { return i < sounding.size() ? sounding[i] : -1; };
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const ChartInfo& e = entries[i];
        if (e.FilePath.empty()) {
            chosen[i] = true;
            continue;
        }
        std::string song(FolderOf(e.FilePath));
        song += '\0';
        song += Folded(SongTitle(e.Title));
        auto [it, added] = best.try_emplace(std::move(song), i);
        if (!added && count(i) > count(it->second)) it->second = i;
    }
    for (const auto& [song, i] : best) chosen[i] = true;
    return chosen;
}

std::vector<int32_t> SortedOrder(const std::vector<ChartInfo>& entries, SortKey key) {
    const std::size_t n = entries.empty() ? 0 : entries.size() - 1;
    std::vector<int32_t> order(n);
    std::iota(order.begin(), order.end(), 1);
    auto text = [&](const ChartInfo& e) -> std::string {
        switch (key) {
            case SortKey::Artist: return Folded(e.Artist);
            case SortKey::Title: return Folded(e.Title);
            default: return Folded(FolderOf(e.FilePath));
        }
    };
    if (key == SortKey::PlayTime || key == SortKey::Level) {
        std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
            const ChartInfo& x = entries[static_cast<std::size_t>(a)];
            const ChartInfo& y = entries[static_cast<std::size_t>(b)];
            return key == SortKey::PlayTime ? x.PlayTime < y.PlayTime : x.PlayLevel < y.PlayLevel;
        });
        return order;
    }
    // Keys folded once, not at every comparison.
    std::vector<std::string> keys(entries.size());
    for (std::size_t i = 1; i < entries.size(); ++i) keys[i] = text(entries[i]);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
    });
    return order;
}

}  // namespace jov
