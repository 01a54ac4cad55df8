#include "shell/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "shell/file_read.h"

namespace jov {

namespace fs = std::filesystem;

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string UserConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/jov01";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/jov01";
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Replacing a link would cut it; the file it names is what the user means.
std::string ResolveTarget(const std::string& path) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) return path;
    fs::path target = fs::canonical(path, ec);
    if (ec) {
        // Dangling link: write where it points.
        fs::path link = fs::read_symlink(path, ec);
        if (ec) return path;
        return link.is_absolute() ? link.string() : (fs::path(path).parent_path() / link).string();
    }
    return target.string();
}

// A save killed half-way leaves its temporary behind. Each live save holds a lock on its
// own, so a temporary of the same target that nobody has locked is litter.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
    const std::string prefix = "." + name + ".tmp-";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (dirent* d = ::readdir(dir)) {
        std::string_view entry(d->d_name);
        if (entry.size() != prefix.size() + 6 || entry.substr(0, prefix.size()) != prefix) continue;
        int fd = ::openat(::dirfd(dir), d->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) continue;
        struct stat held {}, named {};
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(::dirfd(dir), d->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == held.st_ino &&
            named.st_dev == held.st_dev) {
            ::unlinkat(::dirfd(dir), d->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
}

// mkstemp, then the lock. Another save may take the new file for litter in the moment
// before the lock: then the name no longer leads to our file, and we try again.
int CreateLockedTemporary(const std::string& pattern, std::string& tempPath) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) return -1;
        struct stat held {}, named {};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 && ::lstat(name.data(), &named) == 0 &&
            named.st_ino == held.st_ino && named.st_dev == held.st_dev) {
            tempPath = name.data();
            return fd;
        }
        ::close(fd);
    }
    return -1;
}

}  // namespace

std::string ProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return ".";
    std::string folder = exe.parent_path().string();
    return folder.empty() ? std::string("/") : folder;
}

std::string ConfigFolder() {
    std::string program = ProgramFolder();
    if (::access(program.c_str(), W_OK) == 0) return program;
    std::string user = UserConfigFolder();
    std::error_code ec;
    fs::create_directories(user, ec);
    return user;
}

std::string SettingsPath() { return ConfigFolder() + "/jov01.ini"; }
std::string DefaultListPath() { return ConfigFolder() + "/default.rxl"; }

std::string LoudnessCachePath() { return ConfigFolder() + "/loudness.cache"; }

std::optional<std::string> FindDataFile(const std::string& name) {
    const std::string candidates[] = {ProgramFolder() + "/" + name, UserConfigFolder() + "/" + name,
                                      std::string(JOV01_DATA_DIR) + "/" + name};
    for (const auto& c : candidates) {
        if (IsRegularFile(c)) return c;
    }
    return std::nullopt;
}

std::optional<std::string> FindDemoFolder() {
    for (const std::string& c : {ProgramFolder() + "/demo", std::string(JOV01_DATA_DIR) + "/demo"}) {
        struct stat st {};
        if (::stat(c.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return c;
    }
    return std::nullopt;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         const AtomicWriteOptions& options) {
    if (path.empty()) return false;
    const std::string target = ResolveTarget(path);
    // A FIFO, device or folder (or a link to one) is not a file we may replace.
    const FileKind kind = KindOfFile(target);
    if (kind != FileKind::Missing && kind != FileKind::Regular) return false;
    fs::path folder = fs::path(target).parent_path();
    const std::string folderText = folder.empty() ? std::string(".") : folder.string();
    const std::string name = fs::path(target).filename().string();
    RemoveStaleTemporaries(folderText, name);

    std::string tempPath;
    int fd = CreateLockedTemporary(folderText + "/." + name + ".tmp-XXXXXX", tempPath);
    if (fd < 0) return false;

    // Keep the old file's permission bits; a new file gets the usual 0666 less umask.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }

    bool ok;
    if (options.failAfterBytes < bytes.size()) {
        WriteAll(fd, bytes.data(), options.failAfterBytes);
        ok = false;
    } else {
        ok = WriteAll(fd, bytes.data(), bytes.size());
    }
    ok = ok && ::fsync(fd) == 0;
    // Renamed while still locked, so no other save can take it for a stale one.
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(tempPath.c_str());
    ok = (::close(fd) == 0) && ok;
    if (!ok) return false;
    // Make the rename itself durable.
    int dfd = ::open(folderText.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace jov
