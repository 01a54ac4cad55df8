// Every reader of a file the user or a chart names, given a FIFO, a device and a sparse
// giant: each answers at once (a FIFO would block open(), /dev/zero never ends).
#include "shell/file_read.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <string>

#include "audio/midi_song.h"
#include "audio/sound_file.h"
#include "chart/chart_text.h"
#include "chart/header_scan.h"
#include "notes/skin.h"
#include "notes/surfaces.h"
#include "playlist/list_file.h"
#include "playlist/playlist.h"
#include "shell/ini_file.h"
#include "shell/status.h"

namespace jov {
namespace {

namespace fs = std::filesystem;

struct Reader {
    const char* name;
    std::function<bool(const std::string&)> refuses;  // true: read nothing, reported a failure
};

const Reader kReaders[] = {
    {"list", [](const std::string& p) { Shell s; PlayList l(s); return !l.LoadPlayList(p, true) && l.PlayListCount() == 0; }},
    {"settings", [](const std::string& p) { return ReadIni(p, "Setting", "Sleep", "none") == "none"; }},
    {"chart", [](const std::string& p) { return ReadFileBytes(p).empty(); }},
    {"header scan", [](const std::string& p) {
         Shell s;
         ChartInfo e;
         e.Title = "kept";
         ScanHeaders(p, e, s);
         return e.Title == "kept";  // nothing read into the entry
     }},
    {"skin", [](const std::string& p) { SkinTables t; DirectDraw d; return !LoadSkin(t, d, p); }},
    {"bitmap", [](const std::string& p) { Surface s; return !s.Load(p); }},
    {"key sound", [](const std::string& p) { return !DecodeSoundFile(p, 44100); }},
    {"MIDI", [](const std::string& p) { return !LoadSmfFile(p); }},
};

// Runs `f`; a call still running after a long wait is a hang (a FIFO is then opened
// for writing to release it; anything else ends the test program).
bool AnswersAtOnce(const std::function<bool()>& f, bool& result, const std::string& fifo, const std::string& what) {
    auto done = std::async(std::launch::async, f);
    if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) {
        result = done.get();
        return true;
    }
    int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        std::fprintf(stderr, "%s hangs\n", what.c_str());
        std::_Exit(1);
    }
    if (w >= 0) ::close(w);
    done.get();
    return false;
}

TEST(FileRead, EveryReaderRefusesSpecialAndGiantFilesAtOnce) {
    const fs::path dir = fs::path(testing::TempDir()) / ("jov01_file_read_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // 2 GiB and a byte of nothing but zeros (sparse: costs no disk).
    const std::string giant = (dir / "giant").string();
    int fd = ::open(giant.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, (off_t{2} << 30) + 1), 0);
    ::close(fd);

    EXPECT_EQ(KindOfFile(fifo), FileKind::Special);
    EXPECT_EQ(KindOfFile("/dev/zero"), FileKind::Special);
    EXPECT_EQ(OpenRegularFile(fifo), -1);
    for (const Reader& r : kReaders) {
        for (const std::string& path : {fifo, std::string("/dev/zero"), giant}) {
            if (path == giant && std::string(r.name) == "list") continue;  // below: it is a list
            bool refused = false;
            EXPECT_TRUE(AnswersAtOnce([&] { return r.refuses(path); }, refused, fifo, r.name + (" on " + path)))
                << r.name << " hangs on " << path;
            EXPECT_TRUE(refused) << r.name << " read " << path;
        }
    }

    // A giant list whose first 24 bytes say it is empty: read as empty, not whole.
    fd = ::open(giant.c_str(), O_WRONLY);
    const char header[24] = {'r', 'u', 'x', '_', 'j', 'u', 'k', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    ASSERT_EQ(::write(fd, header, sizeof header), 24);
    ::close(fd);
    std::string bytes;
    bool ok = false;
    ASSERT_TRUE(AnswersAtOnce([&] { return ReadListFileBytes(giant, bytes); }, ok, fifo, "giant list"));
    EXPECT_TRUE(ok);
    EXPECT_LE(bytes.size(), 1u << 17);  // the header, the placeholder, one read ahead
    Shell shell;
    PlayList list(shell);
    EXPECT_TRUE(list.LoadPlayList(giant, true));
    EXPECT_EQ(list.PlayListCount(), 0);

    // Settings are not written through a FIFO either (it stays a FIFO).
    EXPECT_FALSE(WriteIni(fifo, "Setting", "Sleep", "1"));
    EXPECT_EQ(KindOfFile(fifo), FileKind::Special);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace jov
