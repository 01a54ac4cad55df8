#include "shell/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

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
    fs::path folder = fs::path(target).parent_path();
    std::string pattern = (folder.empty() ? std::string(".") : folder.string()) + "/." +
                          fs::path(target).filename().string() + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    const std::string tempPath(name.data());

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
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace jov
