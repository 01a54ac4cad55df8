// Any text as a settings file: reading never fails, and a written value reads back
// while the other keys keep theirs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string before = jov::ReadIniText(text, "ListSetting", "Random", "none");
    const std::string sleep = jov::ReadIniText(text, "Setting", "Sleep", "10");
    if (sleep.size() > jov::kIniValueLimit) std::abort();

    std::string written = jov::WriteIniText(text, "Setting", "Sleep", "12");
    if (jov::ReadIniText(written, "Setting", "Sleep", "x") != "12") std::abort();
    if (jov::ReadIniText(written, "ListSetting", "Random", "none") != before) std::abort();
    return 0;
}
