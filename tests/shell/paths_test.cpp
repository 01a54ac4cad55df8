#include "shell/paths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "shell/file_read.h"

namespace jov {
namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

std::string Text(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(AtomicWrite, StaleTemporariesGoAndSpecialTargetsStay) {
    const fs::path dir = fs::path(testing::TempDir()) / ("jov01_paths_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path list = dir / "default.rxl";

    // Left by saves killed half-way, one still being written (locked), others' files.
    for (const char* n : {".default.rxl.tmp-a1B2c3", ".default.rxl.tmp-ZZZZZZ", ".default.rxl.tmp-live00",
                          ".other.rxl.tmp-a1B2c3", ".default.rxl.tmp-toolong"})
        std::ofstream(dir / n) << "partial";
    int live = ::open((dir / ".default.rxl.tmp-live00").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    ASSERT_TRUE(WriteFileAtomically(list.string(), "new"));
    EXPECT_EQ(Text(list), "new");
    EXPECT_EQ(Names(dir), (std::set<std::string>{"default.rxl", ".default.rxl.tmp-live00", ".other.rxl.tmp-a1B2c3",
                                                 ".default.rxl.tmp-toolong"}));
    ::close(live);

    // Through a link to a FIFO or a device, and onto a FIFO itself: refused, left as it was.
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, dir / "to_fifo.rxl");
    fs::create_symlink("/dev/null", dir / "to_null.rxl");
    for (const fs::path& p : {dir / "to_fifo.rxl", fifo, dir / "to_null.rxl"}) {
        EXPECT_FALSE(WriteFileAtomically(p.string(), "x")) << p;
        EXPECT_EQ(KindOfFile(p.string()), FileKind::Special) << p;
    }
    EXPECT_TRUE(fs::is_symlink(dir / "to_fifo.rxl"));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace jov
