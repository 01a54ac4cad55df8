// Every reader of a file the user or a chart names, given a FIFO, a device and a sparse
// giant: each answers at once (a FIFO would block open(), /dev/zero never ends). And the
// writer of lists and settings, which never replaces such a file. And the shell's own check
// before a read, with the status lines it shows.
#include "shell/file_read.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <string>
#include <vector>

#include "../test_util.h"
#include "audio/midi_song.h"
#include "audio/sound_file.h"
#include "chart/chart_text.h"
#include "chart/header_scan.h"
#include "notes/skin.h"
#include "notes/surfaces.h"
#include "playlist/list_file.h"
#include "playlist/playlist.h"
#include "shell/ini_file.h"
#include "shell/paths.h"
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

// Runs `f`; a call still running after a long wait is a hang, which ends the test program.
bool AtOnce(const std::function<bool()>& f, const std::string& what) {
    auto done = std::async(std::launch::async, f);
    if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::fprintf(stderr, "%s hangs\n", what.c_str());
        std::_Exit(1);
    }
    return done.get();
}

TEST(FileRead, EveryReaderRefusesSpecialAndGiantFilesAtOnce) {
    jovtest::TempDir dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // 2 GiB and a byte of nothing but zeros (sparse: costs no disk).
    const std::string giant = dir.Write("giant", "");
    fs::resize_file(giant, (uintmax_t{2} << 30) + 1);

    EXPECT_EQ(KindOfFile("/dev/zero"), FileKind::Special);
    EXPECT_EQ(OpenRegularFile(fifo), -1);
    for (const Reader& r : kReaders) {
        for (const std::string& path : {fifo, std::string("/dev/zero"), giant}) {
            if (path == giant && std::string(r.name) == "list") continue;  // below: it is a list
            EXPECT_TRUE(AtOnce([&] { return r.refuses(path); }, r.name + (" on " + path))) << r.name << " read " << path;
        }
    }

    // A giant list whose first 24 bytes say it is empty: read as empty, not whole.
    const int fd = ::open(giant.c_str(), O_WRONLY);
    const char header[24] = {'r', 'u', 'x', '_', 'j', 'u', 'k', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    ASSERT_EQ(::write(fd, header, sizeof header), 24);
    ::close(fd);
    std::string bytes;
    EXPECT_TRUE(AtOnce([&] { return ReadListFileBytes(giant, bytes); }, "giant list"));
    EXPECT_LE(bytes.size(), 1u << 17);  // the header, the placeholder, one read ahead
    Shell shell;
    PlayList list(shell);
    EXPECT_TRUE(list.LoadPlayList(giant, true));
    EXPECT_EQ(list.PlayListCount(), 0);
}

TEST(AtomicWrite, StaleTemporariesGoAndSpecialTargetsStay) {
    jovtest::TempDir dir;
    const std::string list = dir / "default.rxl";
    // Left by saves killed half-way, one still being written (locked), others' files.
    for (const char* n : {".default.rxl.tmp-a1B2c3", ".default.rxl.tmp-ZZZZZZ", ".default.rxl.tmp-live00",
                          ".other.rxl.tmp-a1B2c3", ".default.rxl.tmp-toolong"})
        dir.Write(n, "partial");
    int live = ::open((dir / ".default.rxl.tmp-live00").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    ASSERT_TRUE(WriteFileAtomically(list, "new"));
    EXPECT_EQ(jovtest::Slurp(list), "new");
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.Path())) names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"default.rxl", ".default.rxl.tmp-live00", ".other.rxl.tmp-a1B2c3",
                                            ".default.rxl.tmp-toolong"}));
    ::close(live);

    // Through a link to a FIFO and onto a FIFO itself: refused, left as it was; settings are
    // not written through a FIFO either. (No link to a device here: a writer at fault, run
    // as root, would replace the device.)
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, dir / "to_fifo.rxl");
    for (const std::string& p : {dir / "to_fifo.rxl", fifo}) {
        EXPECT_FALSE(WriteFileAtomically(p, "x")) << p;
        EXPECT_EQ(KindOfFile(p), FileKind::Special) << p;
    }
    EXPECT_TRUE(fs::is_symlink(dir / "to_fifo.rxl"));
    EXPECT_FALSE(WriteIni(fifo, "Setting", "Sleep", "1"));
    EXPECT_EQ(KindOfFile(fifo), FileKind::Special);
}

struct Recorder : StatusSink {
    std::vector<std::string> captions, statuses;
    void OnCaption(const std::string& c) override { captions.push_back(c); }
    void OnStatus(const std::string& s) override { statuses.push_back(s); }
};

TEST(Shell, MissingFilesAndTexts) {
    Recorder rec;
    Shell shell(&rec);
    jovtest::TempDir dir;
    EXPECT_TRUE(shell.FileExists(dir.Write("a.bms", "#TITLE x\r\n")));
    EXPECT_TRUE(rec.statuses.empty());
    EXPECT_FALSE(shell.FileExists(dir / "missing.bms"));
    dir.Write("sub/x", "");
    EXPECT_FALSE(shell.FileExists(dir / "sub"));  // a folder is not a readable file
    EXPECT_FALSE(shell.FileExists(""));
    EXPECT_EQ(rec.statuses, (std::vector<std::string>{"Err[not exist] :missing.bms", "Err[not exist] :sub", "Err[not exist] :"}));

    shell.SetCaption("loading...");
    shell.SetCaption("");
    EXPECT_EQ(rec.captions, (std::vector<std::string>{"loading... - jov:01", " - jov:01"}));
    shell.SetStatus("");
    EXPECT_EQ(shell.LastStatus(), "Ready.");
}

}  // namespace
}  // namespace jov
