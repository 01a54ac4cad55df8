#include "shell/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace jov {

FileKind KindOfFile(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return FileKind::Missing;
    if (S_ISREG(st.st_mode)) return FileKind::Regular;
    if (S_ISDIR(st.st_mode)) return FileKind::Folder;
    return FileKind::Special;
}

int OpenRegularFile(const std::string& path) {
    if (KindOfFile(path) != FileKind::Regular) return -1;
    // O_NONBLOCK: should the name be swapped for a FIFO after the check, the open still
    // returns at once, and the second check refuses it.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool ReadableFile(const std::string& path, std::size_t maxBytes) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && static_cast<unsigned long long>(st.st_size) <= maxBytes;
    ::close(fd);
    return ok;
}

std::string ReadUpTo(int fd, std::size_t maxBytes, bool* reachedEnd, std::size_t expected) {
    // Read straight into the result, sized for what the caller expects and grown by
    // doubling past that.
    std::string bytes(std::min(maxBytes, std::max(expected, std::size_t{1} << 12)), '\0');
    std::size_t got = 0;
    bool end = false;
    while (got < maxBytes) {
        if (got == bytes.size()) bytes.resize(std::min(maxBytes, bytes.size() * 2));
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            end = n == 0;
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    if (reachedEnd) *reachedEnd = end;
    return bytes;
}

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes) {
    int fd = OpenRegularFile(path);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::string> result;
    if (::fstat(fd, &st) == 0 && static_cast<unsigned long long>(st.st_size) <= maxBytes) {
        bool end = false;
        const auto size = static_cast<std::size_t>(st.st_size);
        // One byte past the limit tells a file that grew since the check.
        std::string bytes = ReadUpTo(fd, maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes, &end, size + 1);
        if (end && bytes.size() <= maxBytes) result = std::move(bytes);
    }
    ::close(fd);
    return result;
}

}  // namespace jov
