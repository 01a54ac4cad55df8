#pragma once
// Recursive search of a folder for chart files, and the handling of a drop.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace jov {

class PlayList;

// Platform-style name match: "*" any run, "?" one byte, ASCII letters in either case.
bool MatchPattern(std::string_view pattern, std::string_view name);

class FolderSearch {
public:
    // Paths found for the current drop item, in search order.
    std::vector<std::string> SearchResults;
    int32_t SearchCount = 0;
    // Matching files whose paths are longer than the system can open (not added).
    std::vector<std::string> TooLongResults;

    // Receives "Seaching <count>... <folder>" after each folder's files.
    std::function<void(const std::string& caption)> onCaption;
    // Tests: runs before each folder is enumerated.
    std::function<void(const std::string& folder)> beforeFolder;

    // Every matching file below `folder`: a folder's own files before its subfolders,
    // patterns in their order, names in case-insensitive order (bytes break ties).
    // Subfolders whose names begin with "." are skipped; a folder reached twice (links)
    // is searched once; folders that cannot be read are skipped.
    void SearchFolder(const std::string& folder, const std::string& patterns);
    // The matching files of `folder` itself, then the progress caption.
    void SearchFiles(const std::string& folder, const std::string& patterns);

    void Reset();

private:
    void StoreMatches(const std::string& folder, const std::vector<std::string>& files,
                      const std::vector<std::string>& patterns);
};

// A list file by its name: ends in ".rxl", any case.
bool IsListFileName(const std::string& path);

// One drop: a first path ending in ".rxl" (any case) replaces the list; otherwise each
// path in order is added as a file, or searched as a folder for the list's reading's chart files.
void AddDroppedItems(const std::vector<std::string>& paths, PlayList& list, FolderSearch& search);

}  // namespace jov
