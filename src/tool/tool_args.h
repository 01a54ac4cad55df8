#pragma once
// Argument and file checks the tool's commands share.
#include <cstdio>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>

#include <unistd.h>

#include "shell/file_read.h"

#include "chart/extended_reader.h"

namespace jov::tool {

inline std::optional<int64_t> ParseInt(const std::string& s) {
    int64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

// --reading auto|classic|extended (--extended: extended) and --seed N, taken out of a
// command's words.
struct ReadingArgs {
    ReadingMode mode = ReadingMode::Auto;
    uint32_t seed = 1;  // the program's own seed
    bool ok = true;     // false: --seed without a whole number from 0 to 2^32-1, or an unknown reading
};

// A wrong --seed or --reading is reported here as `command`'s error.
template <typename Args>
ReadingArgs TakeReadingArgs(Args& args, const char* command) {
    ReadingArgs r;
    Args rest;
    bool badReading = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--extended") {
            r.mode = ReadingMode::Extended;
        } else if (args[i] == "--reading") {
            auto m = i + 1 < args.size() ? ReadingModeNamed(args[i + 1]) : std::nullopt;
            if (m) r.mode = *m;
            else {
                r.ok = false;
                badReading = true;
                std::fprintf(stderr, "%s: --reading needs auto, classic or extended\n", command);
            }
            ++i;
        } else if (args[i] == "--seed") {
            auto v = i + 1 < args.size() ? ParseInt(args[i + 1]) : std::nullopt;
            if (!v || *v < 0 || *v > 4294967295LL) r.ok = false;
            if (v) r.seed = static_cast<uint32_t>(*v);
            ++i;
        } else {
            rest.push_back(args[i]);
        }
    }
    args = std::move(rest);
    if (!r.ok && !badReading) std::fprintf(stderr, "%s: --seed needs a whole number from 0 to 4294967295\n", command);
    return r;
}

inline ChartReading MakeReading(const ReadingArgs& r) {
    ChartReading reading;
    reading.mode = r.mode;
    reading.random.seed(r.seed);
    return reading;
}

// A regular file that opens for reading (never a FIFO or device).
inline bool Readable(const std::string& path) {
    const int fd = OpenRegularFile(path);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

}  // namespace jov::tool
