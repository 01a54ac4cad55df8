#pragma once
// Finds the file a chart names: "\" separates folders; when the exact path does not
// exist, each component is matched without regard to ASCII case; when that still
// fails, the same name with .wav, .ogg, .flac, .mp3 (in that order) is tried.
#include <optional>
#include <string>
#include <vector>

namespace jov {

// The existing regular file the name stands for, or nullopt.
std::optional<std::string> ResolvePath(const std::string& name);

// Pure helpers, exposed for tests and fuzzing.
std::string NormalizeSeparators(const std::string& name);
std::vector<std::string> SplitComponents(const std::string& path);
// The name with its extension (after the last "." of the last component) replaced.
std::string ReplaceExtension(const std::string& path, const std::string& ext);
bool EqualsIgnoreAsciiCase(const std::string& a, const std::string& b);

}  // namespace jov
