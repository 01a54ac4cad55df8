#include "audio/path_resolver.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace jov {
namespace {

constexpr std::size_t kMaxPathLength = 4096;
constexpr std::size_t kMaxComponents = 256;
// A folder with more entries than this is not searched for a case-insensitive match.
constexpr int kMaxDirEntries = 200000;

bool IsRegularFile(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Join(const std::string& base, const std::string& name) {
    if (base.empty()) return name;
    if (base.back() == '/') return base + name;
    return base + "/" + name;
}

// The entry of `dir` equal to `name` ignoring ASCII case; the exact name wins, and
// among several case variants the smallest in byte order, so the choice is stable.
std::optional<std::string> FindEntry(const std::string& dir, const std::string& name, bool wantDir) {
    std::string exact = Join(dir, name);
    if (wantDir ? IsDirectory(exact) : IsRegularFile(exact)) return exact;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return std::nullopt;
    std::optional<std::string> best;
    int seen = 0;
    while (dirent* e = ::readdir(d)) {
        if (++seen > kMaxDirEntries) break;
        std::string entry = e->d_name;
        if (entry == "." || entry == ".." || !EqualsIgnoreAsciiCase(entry, name)) continue;
        std::string full = Join(dir, entry);
        if (!(wantDir ? IsDirectory(full) : IsRegularFile(full))) continue;
        if (!best || full < *best) best = full;
    }
    ::closedir(d);
    return best;
}

std::optional<std::string> ResolveIgnoringCase(const std::string& path) {
    if (IsRegularFile(path)) return path;
    std::vector<std::string> parts = SplitComponents(path);
    if (parts.empty() || parts.size() > kMaxComponents) return std::nullopt;
    std::string cur = path[0] == '/' ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        bool last = i + 1 == parts.size();
        if (part == "." || part == "..") {
            cur = Join(cur.empty() ? "." : cur, part);
            if (last) return std::nullopt;
            continue;
        }
        auto found = FindEntry(cur, part, !last);
        if (!found) return std::nullopt;
        cur = *found;
    }
    return cur;
}

}  // namespace

bool EqualsIgnoreAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string NormalizeSeparators(const std::string& name) {
    std::string s = name;
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

std::vector<std::string> SplitComponents(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        if (j > i) parts.push_back(path.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

std::string ReplaceExtension(const std::string& path, const std::string& ext) {
    std::size_t slash = path.find_last_of('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of('.');
    // A leading dot ("/x/.wav") names the file, it does not start an extension.
    if (dot == std::string::npos || dot <= nameStart) return path + ext;
    return path.substr(0, dot) + ext;
}

std::optional<std::string> ResolvePath(const std::string& name) {
    if (name.empty() || name.size() > kMaxPathLength || name.find('\0') != std::string::npos)
        return std::nullopt;
    std::string path = NormalizeSeparators(name);
    if (path.back() == '/') return std::nullopt;
    if (auto found = ResolveIgnoringCase(path)) return found;
    for (const char* ext : {".wav", ".ogg", ".flac", ".mp3"}) {
        if (auto found = ResolveIgnoringCase(ReplaceExtension(path, ext))) return found;
    }
    return std::nullopt;
}

}  // namespace jov
