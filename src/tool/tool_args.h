#pragma once
// Argument and file checks the tool's commands share.
#include <charconv>
#include <optional>
#include <string>

#include <unistd.h>

#include "shell/file_read.h"

namespace jov::tool {

inline std::optional<int64_t> ParseInt(const std::string& s) {
    int64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

// A regular file that opens for reading (never a FIFO or device).
inline bool Readable(const std::string& path) {
    const int fd = OpenRegularFile(path);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

}  // namespace jov::tool
