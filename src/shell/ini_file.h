#pragma once
// A small initialisation-file reader and writer: "[Section]" lines, "key=value" lines.
// Section and key names match without regard to ASCII letter case; writing replaces a
// value where it stands and keeps every other line of the file as it was.
#include <string>
#include <string_view>

namespace jov {

// Longest value returned, as with a 128-character read buffer.
constexpr std::size_t kIniValueLimit = 127;

// The value of `key` in `section` of the text, or `def` when the section or key is
// missing. Blanks around the value and one pair of enclosing quotes are removed; the
// value ends at a NUL and is cut to kIniValueLimit bytes.
std::string ReadIniText(std::string_view text, const std::string& section, const std::string& key,
                        const std::string& def);
// Returns the text with `key` in `section` set to `value`, adding the key, or the
// section and the key, at the end when missing.
std::string WriteIniText(std::string_view text, const std::string& section, const std::string& key,
                         const std::string& value);

// File forms: a missing or unreadable file reads as empty; writing creates the file and
// replaces it atomically. False when the file cannot be written.
std::string ReadIni(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& def);
bool WriteIni(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value);

}  // namespace jov
