#include "shell/ini_file.h"

#include <iterator>
#include <optional>
#include <vector>

#include "shell/file_read.h"
#include "shell/paths.h"

namespace jov {

namespace {

constexpr std::size_t kMaxIniFileBytes = 4u << 20;  // settings files are tiny; refuse giants

struct Line {
    std::string_view body;  // without its line end
    std::string_view end;   // "\r\n", "\n", "\r" or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t stop = text.find_first_of("\r\n", pos);
        if (stop == std::string_view::npos) {
            lines.push_back({text.substr(pos), {}});
            break;
        }
        std::size_t endLen = (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') ? 2 : 1;
        lines.push_back({text.substr(pos, stop - pos), text.substr(stop, endLen)});
        pos = stop + endLen;
    }
    return lines;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// A leading UTF-8 byte-order mark belongs to no line.
std::string_view SkipBom(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
}

// Section name of a "[name]" line.
std::optional<std::string_view> SectionName(std::string_view body) {
    body = Trim(body);
    if (body.empty() || body.front() != '[') return std::nullopt;
    std::size_t close = body.find(']');
    std::string_view name = body.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    return Trim(name);
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view body) {
    std::string_view t = Trim(body);
    if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return KeyLine{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

std::optional<std::string> ReadFile(const std::string& file) { return ReadRegularFile(file, kMaxIniFileBytes); }

}  // namespace

std::string ReadIniText(std::string_view text, const std::string& section, const std::string& key,
                        const std::string& def) {
    bool inSection = false;
    for (const Line& line : SplitLines(SkipBom(text))) {
        if (auto name = SectionName(line.body)) {
            inSection = EqualNoCase(*name, section);
            continue;
        }
        if (!inSection) continue;
        auto kv = ParseKeyLine(line.body);
        if (!kv || !EqualNoCase(kv->key, key)) continue;
        std::string_view v = kv->value;
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
            v = v.substr(1, v.size() - 2);
        }
        v = v.substr(0, v.find('\0'));
        return std::string(v.substr(0, kIniValueLimit));
    }
    // The platform reader drops trailing blanks of the default as well.
    std::string_view d = def;
    d = d.substr(0, d.find('\0'));
    while (!d.empty() && (d.back() == ' ' || d.back() == '\t')) d.remove_suffix(1);
    return std::string(d.substr(0, kIniValueLimit));
}

std::string WriteIniText(std::string_view text, const std::string& section, const std::string& key,
                         const std::string& valueIn) {
    // A line end inside the value would split it into lines of its own.
    const std::string value = valueIn.substr(0, valueIn.find_first_of(std::string("\r\n\0", 3)));
    std::string_view bom = text.substr(0, 3) == "\xEF\xBB\xBF" ? text.substr(0, 3) : std::string_view{};
    std::vector<Line> lines = SplitLines(text.substr(bom.size()));
    std::string newline = "\n";
    for (const Line& l : lines) {
        if (!l.end.empty()) {
            newline = std::string(l.end);
            break;
        }
    }

    // Find the section, the key inside it, and the last non-blank line of the section.
    std::optional<std::size_t> sectionLine, keyLine, lastInSection;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionName(lines[i].body)) {
            if (inSection) break;  // the first matching section is the one used
            if (EqualNoCase(*name, section)) {
                inSection = true;
                sectionLine = i;
                lastInSection = i;
            }
            continue;
        }
        if (!inSection) continue;
        if (!Trim(lines[i].body).empty()) lastInSection = i;
        if (auto kv = ParseKeyLine(lines[i].body); kv && EqualNoCase(kv->key, key)) {
            keyLine = i;
            break;
        }
    }

    std::string out(bom);
    auto emit = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            out.append(lines[i].body);
            out.append(lines[i].end);
        }
    };
    auto ensureLineEnd = [&] {
        if (!out.empty() && out.size() > bom.size() && out.back() != '\n' && out.back() != '\r') out += newline;
    };

    if (keyLine) {
        // Keep the key as spelt in the file; only the value changes.
        auto kv = ParseKeyLine(lines[*keyLine].body);
        emit(0, *keyLine);
        out.append(kv->key);
        out += '=';
        out += value;
        out.append(lines[*keyLine].end);
        emit(*keyLine + 1, lines.size());
    } else if (sectionLine) {
        emit(0, *lastInSection + 1);
        ensureLineEnd();
        out += key + "=" + value + newline;
        emit(*lastInSection + 1, lines.size());
    } else {
        emit(0, lines.size());
        ensureLineEnd();
        if (out.size() > bom.size()) out += newline;  // a blank line between sections
        out += "[" + section + "]" + newline + key + "=" + value + newline;
    }
    return out;
}

std::string ReadIni(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& def) {
    auto text = ReadFile(file);
    return ReadIniText(text ? std::string_view(*text) : std::string_view{}, section, key, def);
}

bool WriteIni(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value) {
    std::string old;
    switch (KindOfFile(file)) {
        case FileKind::Missing: break;
        case FileKind::Regular: {
            auto text = ReadFile(file);
            if (!text) return false;  // present but unreadable or absurd: leave it alone
            old = std::move(*text);
            break;
        }
        default: return false;  // a FIFO or device is not ours to replace
    }
    return WriteFileAtomically(file, WriteIniText(old, section, key, value));
}

}  // namespace jov
