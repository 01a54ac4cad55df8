// A drop's text/uri-list of any bytes to paths.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "playlist/uri_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& path : jov::UriListPaths(text)) {
        // Every path is absolute, names no NUL and is never longer than its line.
        if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos || path.size() > size)
            __builtin_trap();
    }
    return 0;
}
