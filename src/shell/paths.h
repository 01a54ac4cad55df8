#pragma once
// Where the program keeps its files, and the one way it replaces a file on disk.
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace jov {

// Folder of the running executable, without a trailing "/" ("." when unknown).
std::string ProgramFolder();
// The program folder when it is writable (a build or portable copy); otherwise
// $XDG_CONFIG_HOME/jov01 (default ~/.config/jov01), created on first use.
std::string ConfigFolder();
std::string SettingsPath();     // ConfigFolder() + "/jov01.ini"
std::string DefaultListPath();  // ConfigFolder() + "/default.rxl"
std::string LoudnessCachePath();  // ConfigFolder() + "/loudness.cache"
// A read-only data file (skin, bitmap): beside the program, then in the user's
// config folder, then in the installed data folder. Nothing when none exists.
std::optional<std::string> FindDataFile(const std::string& name);
// The bundled demo charts: "demo" beside the program, else in the installed data folder.
std::optional<std::string> FindDemoFolder();

struct AtomicWriteOptions {
    // Tests: stop after this many bytes as a failed write would.
    std::size_t failAfterBytes = std::numeric_limits<std::size_t>::max();
};

// Writes `bytes` to a temporary file in the target's folder, flushes it to disk and
// renames it over `path`, so the old file is either kept whole or replaced whole.
// A symbolic link at `path` is followed: the file it points to is replaced. A FIFO,
// device or folder there is refused (false, left as it is). Temporaries of the same
// target left by a save that was killed (".NAME.tmp-XXXXXX", unlocked) are removed first.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         const AtomicWriteOptions& options = {});

}  // namespace jov
