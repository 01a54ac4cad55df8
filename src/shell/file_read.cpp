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

std::string ReadUpTo(int fd, std::size_t maxBytes, bool* reachedEnd) {
    std::string bytes;
    bool end = false;
    char buf[1 << 16];
    while (bytes.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buf, maxBytes - bytes.size());
        ssize_t n = ::read(fd, buf, want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            end = n == 0;
            break;
        }
        bytes.append(buf, static_cast<std::size_t>(n));
    }
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
        // One byte past the limit tells a file that grew since the check.
        std::string bytes = ReadUpTo(fd, maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes, &end);
        if (end && bytes.size() <= maxBytes) result = std::move(bytes);
    }
    ::close(fd);
    return result;
}

}  // namespace jov
