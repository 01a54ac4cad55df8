#include "playlist/loudness_cache.h"

#include <sys/stat.h>

#include <array>
#include <charconv>
#include <string_view>
#include <vector>

#include "chart/extended_reader.h"
#include "shell/file_read.h"
#include "shell/paths.h"

namespace jov {
namespace {

constexpr std::string_view kHeader = "jov01 loudness cache 1\n";
constexpr std::size_t kMaxFile = std::size_t{256} << 20;

void AppendNumber(std::string& out, double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void AppendNumber(std::string& out, int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// Path bytes with the separators escaped, so any name fits on one line.
void AppendEscaped(std::string& out, std::string_view s) {
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
}

std::optional<std::string> Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size()) return std::nullopt;
        switch (s[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

template <typename T>
bool ReadNumber(std::string_view s, T& v) {
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

}  // namespace

std::optional<ChartStamp> StampChart(const std::string& path, const std::string& readingId) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    ChartStamp s;
    s.path = path;
    s.size = int64_t(st.st_size);
    s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + int64_t(st.st_mtim.tv_nsec);
    s.reading = readingId;
    return s;
}

std::string LoudnessCache::Serialize() const {
    std::string out(kHeader);
    out.reserve(entries_.size() * 120);
    for (const auto& [key, e] : entries_) {
        const auto nl = key.find('\n');
        out.append(key, 0, nl);
        for (int64_t v : {e.size, e.mtimeNs}) {
            out += '\t';
            AppendNumber(out, v);
        }
        const Loudness& l = e.loudness;
        for (double v : {l.integrated, l.range, l.truePeak, l.mixIntegrated, l.mixTruePeak, l.limiterLoss}) {
            out += '\t';
            AppendNumber(out, v);
        }
        out += '\t';
        AppendEscaped(out, std::string_view(key).substr(nl + 1));
        out += '\n';
    }
    return out;
}

bool LoudnessCache::Parse(std::string_view text) {
    entries_.clear();
    if (text.substr(0, kHeader.size()) != kHeader) return false;
    text.remove_prefix(kHeader.size());
    std::unordered_map<std::string, Entry> read;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        if (nl == std::string_view::npos) return false;  // cut short
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl + 1);
        std::array<std::string_view, 10> f;
        for (std::size_t i = 0; i < f.size(); ++i) {
            const auto tab = i + 1 < f.size() ? line.find('\t') : line.size();
            if (tab == std::string_view::npos) return false;
            f[i] = line.substr(0, tab);
            line.remove_prefix(std::min(line.size(), tab + 1));
        }
        Entry e;
        Loudness& l = e.loudness;
        auto path = Unescape(f[9]);
        if (f[0].empty() || !path || path->empty() || !ReadNumber(f[1], e.size) || !ReadNumber(f[2], e.mtimeNs) ||
            !ReadNumber(f[3], l.integrated) || !ReadNumber(f[4], l.range) || !ReadNumber(f[5], l.truePeak) ||
            !ReadNumber(f[6], l.mixIntegrated) || !ReadNumber(f[7], l.mixTruePeak) || !ReadNumber(f[8], l.limiterLoss))
            return false;
        read[Key(*path, std::string(f[0]))] = e;
    }
    entries_ = std::move(read);
    return true;
}

bool LoudnessCache::Load(const std::string& file) {
    auto text = ReadRegularFile(file, kMaxFile);
    if (!text) {
        entries_.clear();
        return false;
    }
    return Parse(*text);
}

bool LoudnessCache::Save(const std::string& file) const { return WriteFileAtomically(file, Serialize()); }

std::optional<Loudness> LoudnessCache::Find(const ChartStamp& stamp) const {
    auto it = entries_.find(Key(stamp.path, stamp.reading));
    if (it == entries_.end() || it->second.size != stamp.size || it->second.mtimeNs != stamp.mtimeNs) return std::nullopt;
    return it->second.loudness;
}

void LoudnessCache::Put(const ChartStamp& stamp, const Loudness& loudness) {
    entries_[Key(stamp.path, stamp.reading)] = Entry{stamp.size, stamp.mtimeNs, loudness};
}

}  // namespace jov
