#pragma once
// The one way this program opens a file it did not write itself. A FIFO, device or
// socket is refused before any open(): opening a FIFO for reading blocks until a writer
// comes, and a device such as /dev/zero never ends. Reads stop at a size the caller's
// format can justify.
#include <cstddef>
#include <optional>
#include <string>

namespace jov {

enum class FileKind { Missing, Regular, Folder, Special };

// What `path` names, links followed, without opening it.
FileKind KindOfFile(const std::string& path);

// Charts, lists and settings are read whole; a file beyond this, far beyond any of them,
// is unreadable (never read as if it were empty).
constexpr std::size_t kMaxInputBytes = std::size_t{256} << 20;

// A regular file that opens for reading and holds at most `maxBytes`.
bool ReadableFile(const std::string& path, std::size_t maxBytes = kMaxInputBytes);

// A descriptor for reading a regular file (checked before and after the open), or -1.
// The caller closes it.
int OpenRegularFile(const std::string& path);

// Reads up to `maxBytes` from the descriptor's current position (EINTR retried).
// `reachedEnd` tells whether the file ended before the limit; `expected` is the size the
// caller expects, read without growing the buffer.
std::string ReadUpTo(int fd, std::size_t maxBytes, bool* reachedEnd = nullptr, std::size_t expected = 0);

// The whole of a regular file when it is no larger than `maxBytes`; nothing for a
// special file, a folder, an unreadable file or one that is too large.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes);

}  // namespace jov
