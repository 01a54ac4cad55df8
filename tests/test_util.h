#pragma once
// A fresh folder per use, removed afterwards, and whole-file reads and writes.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace jovtest {

inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class TempDir {
public:
    TempDir() : path_(std::filesystem::temp_directory_path() / ("jov01_test_" + std::to_string(::getpid()) + "_" + std::to_string(next_++))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // Writes `bytes` to `name` (folders made as needed) and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::filesystem::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name, std::ios::binary) << bytes;
        return (path_ / name).string();
    }

private:
    static inline int next_ = 0;
    std::filesystem::path path_;
};

}  // namespace jovtest
