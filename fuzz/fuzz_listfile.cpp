// Any bytes as a list file: the reader never reads past them, and what it accepts
// writes back to a file that reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "playlist/list_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    jov::ListFileContents first = jov::ParseListFile(bytes);
    if (first.entries.size() > size / jov::kListMinRecordSize + 1) std::abort();
    std::string encoded = jov::EncodeListFile(first.entries, first.count);
    jov::ListFileContents second = jov::ParseListFile(encoded);
    if (!second.ok || second.count != first.count) std::abort();
    if (jov::EncodeListFile(second.entries, second.count) != encoded) std::abort();
    return 0;
}
