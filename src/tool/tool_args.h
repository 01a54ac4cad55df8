#pragma once
// Argument and file checks the tool's commands share.
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace jov::tool {

inline std::optional<int64_t> ParseInt(const std::string& s) {
    int64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

inline bool Readable(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream f(path, std::ios::binary);
    return f.good();
}

}  // namespace jov::tool
