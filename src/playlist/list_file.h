#pragma once
// The list file (".rxl"): a 20-byte header, a 32-bit entry count, then count + 1 entry
// records (the placeholder element 0 first), little-endian, texts as 16-bit byte counts
// followed by the bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart_model.h"

namespace jov {

constexpr std::size_t kListHeaderSize = 24;       // magic, padding, version byte, count
constexpr std::size_t kListMinRecordSize = 48;    // six empty texts and nine numbers
constexpr std::size_t kListTextLimit = 65535;

struct ListFileContents {
    // Elements read in order: the placeholder, then entries. Only complete records.
    std::vector<ChartInfo> entries;
    // Entries proper (entries.size() - 1, or 0 when nothing was read).
    int32_t count = 0;
    bool ok = false;  // false: short file, negative count or records ending early
};

// Never reads past `bytes` and reserves no more records than the bytes can hold.
// Texts are read as UTF-8, or as code page 932 when they are not valid UTF-8; FilePath
// keeps its bytes as they are.
ListFileContents ParseListFile(std::string_view bytes);

// Header, `count`, then the records of elements 0..count (an empty placeholder stands in
// when `entries` has no element 0). Texts longer than 65535 bytes are cut at a
// character boundary.
std::string EncodeListFile(const std::vector<ChartInfo>& entries, int32_t count);

// Byte offset just after record `records` - 1 of an encoded file (for tests that fail a
// save part way).
std::size_t ListFileRecordEnd(const std::vector<ChartInfo>& entries, int64_t records);

// Reads the header and as many bytes as its count's records reach, no more; false when
// the file is not a regular file or a read fails.
bool ReadListFileBytes(const std::string& path, std::string& bytes);

}  // namespace jov
