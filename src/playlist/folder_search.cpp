#include "playlist/folder_search.h"

#include "chart/reading.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <set>
#include <utility>

#include "playlist/playlist.h"
#include "shell/status.h"

namespace jov {

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// As a Windows (NTFS) folder lists its names: letters folded to upper case, then bytes.
// So "a.bms" comes before "_x.bms" ('A' < '_').
bool LessNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(UpperAscii(a[i]));
        unsigned char y = static_cast<unsigned char>(UpperAscii(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

std::vector<std::string> SplitPatterns(const std::string& patterns) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (true) {
        std::size_t semi = patterns.find(';', pos);
        out.push_back(patterns.substr(pos, semi == std::string::npos ? std::string::npos : semi - pos));
        if (semi == std::string::npos) break;
        pos = semi + 1;
    }
    return out;
}

struct FolderListing {
    bool ok = false;
    std::vector<std::string> files;    // regular files (links followed)
    std::vector<std::string> folders;  // subfolders (links followed)
    std::pair<dev_t, ino_t> id{};
};

// One enumeration of a folder. Entries whose type cannot be learnt are left out.
FolderListing ListFolder(const std::string& folder) {
    FolderListing listing;
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return listing;
    struct stat self {};
    if (::fstat(fd, &self) != 0) {
        ::close(fd);
        return listing;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return listing;
    }
    listing.ok = true;
    listing.id = {self.st_dev, self.st_ino};
    while (dirent* d = ::readdir(dir)) {
        std::string name(d->d_name);
        if (name == "." || name == "..") continue;
        unsigned char type = d->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            struct stat st {};
            if (::fstatat(::dirfd(dir), d->d_name, &st, 0) != 0) continue;  // dangling link
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            listing.folders.push_back(std::move(name));
        } else if (type == DT_REG) {
            listing.files.push_back(std::move(name));
        }
    }
    ::closedir(dir);
    std::sort(listing.files.begin(), listing.files.end(), LessNoCase);
    std::sort(listing.folders.begin(), listing.folders.end(), LessNoCase);
    return listing;
}

// Every file below the folder `fd` (taken over) whose path, `path` + its name, is too long
// to open: reached through descriptors, since no path call can name them.
void CollectTooLong(int fd, const std::string& path, const std::vector<std::string>& patterns,
                    std::set<std::pair<dev_t, ino_t>>& visited, std::vector<std::string>& out, int depth) {
    struct stat self {};
    DIR* dir = ::fstat(fd, &self) == 0 && depth < 256 && visited.insert({self.st_dev, self.st_ino}).second
                   ? ::fdopendir(fd)
                   : nullptr;
    if (!dir) {
        ::close(fd);
        return;
    }
    std::vector<std::string> files, folders;
    while (dirent* d = ::readdir(dir)) {
        std::string name(d->d_name);
        struct stat st {};
        if (name == "." || name == ".." || ::fstatat(::dirfd(dir), d->d_name, &st, 0) != 0) continue;
        if (S_ISREG(st.st_mode)) files.push_back(std::move(name));
        if (S_ISDIR(st.st_mode) && name[0] != '.') folders.push_back(std::move(name));
    }
    std::sort(files.begin(), files.end(), LessNoCase);
    std::sort(folders.begin(), folders.end(), LessNoCase);
    for (const std::string& pattern : patterns)
        for (const std::string& name : files)
            if (MatchPattern(pattern, name)) out.push_back(path + name);
    for (const std::string& name : folders) {
        int sub = ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (sub >= 0) CollectTooLong(sub, path + name + "/", patterns, visited, out, depth + 1);
    }
    ::closedir(dir);
}

bool TooLong(const std::string& path) { return path.size() >= PATH_MAX; }

}  // namespace

bool MatchPattern(std::string_view pattern, std::string_view name) {
    // Iterative wildcard match with single back-tracking point: linear enough for names.
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || UpperAscii(pattern[p]) == UpperAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

void FolderSearch::Reset() {
    SearchResults.clear();
    TooLongResults.clear();
    SearchCount = 0;
}

void FolderSearch::SearchFolder(const std::string& folder, const std::string& patterns) {
    // Depth first with an explicit stack, so a deep tree cannot exhaust the call stack;
    // each real folder is searched once, which also ends loops made of links.
    std::set<std::pair<dev_t, ino_t>> visited;
    std::vector<std::string> pending{folder};
    const std::vector<std::string> split = SplitPatterns(patterns);
    while (!pending.empty()) {
        std::string current = std::move(pending.back());
        pending.pop_back();
        if (current.empty() || current.back() != '/') current += '/';
        if (beforeFolder) beforeFolder(current);
        FolderListing listing = ListFolder(current);
        if (!listing.ok || !visited.insert(listing.id).second) continue;
        StoreMatches(current, listing.files, split);
        for (auto it = listing.folders.rbegin(); it != listing.folders.rend(); ++it) {
            if (it->empty() || (*it)[0] == '.') continue;
            if (!TooLong(current + *it + "/")) {
                pending.push_back(current + *it + "/");
                continue;
            }
            // Too deep to open by path: its charts are named, not silently lost.
            int parent = ::open(current.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (parent < 0) continue;
            int fd = ::openat(parent, it->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(parent);
            if (fd >= 0) CollectTooLong(fd, current + *it + "/", split, visited, TooLongResults, 0);
        }
    }
}

void FolderSearch::SearchFiles(const std::string& folder, const std::string& patterns) {
    std::string current = folder;
    if (current.empty() || current.back() != '/') current += '/';
    StoreMatches(current, ListFolder(current).files, SplitPatterns(patterns));
}

void FolderSearch::StoreMatches(const std::string& folder, const std::vector<std::string>& files,
                                const std::vector<std::string>& patterns) {
    for (const std::string& pattern : patterns) {
        for (const std::string& name : files) {
            if (!MatchPattern(pattern, name)) continue;
            if (TooLong(folder + name)) {
                TooLongResults.push_back(folder + name);
                continue;
            }
            SearchResults.push_back(folder + name);
            ++SearchCount;
        }
    }
    if (onCaption) onCaption("Seaching " + std::to_string(SearchCount) + "... " + folder);
}

bool IsListFileName(const std::string& path) {
    std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : path;
    for (char& c : tail) c = UpperAscii(c);
    return tail == ".RXL";
}

void AddDroppedItems(const std::vector<std::string>& paths, PlayList& list, FolderSearch& search) {
    if (paths.empty()) return;
    const std::string& first = paths.front();
    if (IsListFileName(first)) {
        list.LoadPlayList(first, false);
        search.Reset();
        return;
    }
    // The search's progress goes to the window's caption as well as to any watcher of its own.
    auto ownHook = search.onCaption;
    search.onCaption = [&](const std::string& caption) {
        if (ownHook) ownHook(caption);
        list.ShowWholeCaption(caption);
    };
    for (const std::string& path : paths) {
        if (list.GetShell().FileExists(path)) {
            list.AddPlayListEntry(path);
            continue;
        }
        search.Reset();
        // An empty path would otherwise become "/" and search the whole file system.
        if (path.empty()) continue;
        search.SearchFolder(path, ChartFilePatterns(list.Reading()));
        for (const std::string& found : search.SearchResults) list.AddPlayListEntry(found);
        for (const std::string& lost : search.TooLongResults) list.GetShell().ReportUnreadable(lost);
    }
    search.onCaption = ownHook;
    search.Reset();
}

}  // namespace jov

