#pragma once
// A drop's "text/uri-list" to local paths, byte for byte: percent escapes become the
// bytes they stand for, whatever their encoding (a Shift-JIS file name stays itself).
#include <string>
#include <string_view>
#include <vector>

namespace jov {

// One path per local "file:" URI line, in order. Comment lines ("#"), other schemes,
// other hosts and paths holding NUL are left out; a trailing "/" is dropped.
std::vector<std::string> UriListPaths(std::string_view text);

}  // namespace jov
