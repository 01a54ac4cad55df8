// A render ended by a signal leaves no temporary; one killed outright leaves it for the
// next render of the same output to remove, which keeps a temporary another render holds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "../test_util.h"
#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

int PartFiles(const fs::path& dir) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir)) n += e.path().extension() == ".part";
    return n;
}

// Starts an endless render into dir/out.wav and returns once its temporary is there.
pid_t StartLongRender(const fs::path& dir) {
    const std::string chart = std::string(JOV01_TEST_DATA) + "/engine/endless/classic.bms";
    const std::string out = (dir / "out.wav").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, 1);
        ::dup2(devNull, 2);
        ::execl(JOV01_TOOL, JOV01_TOOL, "render", chart.c_str(), "--max-length", "1000000000", "--rate", "8000", "-o",
                out.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 1000 && PartFiles(dir) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // well inside its writing
    return pid;
}

TEST(RenderSignals, TemporariesGoWithTheRenderOrWithTheNext) {
    const jovtest::TempDir tmp;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        const pid_t pid = StartLongRender(tmp.Path());
        ASSERT_EQ(PartFiles(tmp.Path()), 1) << sig;
        ::kill(pid, sig);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        EXPECT_EQ(PartFiles(tmp.Path()), 0) << sig;
        EXPECT_FALSE(fs::exists(tmp.Path() / "out.wav"));
    }

    const pid_t pid = StartLongRender(tmp.Path());
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ASSERT_EQ(PartFiles(tmp.Path()), 1);
    const std::string held = tmp.Write(".out.wav.1-0.part", "another render's");
    const int fd = ::open(held.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    tmp.Write(".other.wav.1-0.part", "another output's");
    const auto r = jov::tooltest::Tool({"render", std::string(JOV01_TEST_DATA) + "/engine/small.bms", "-o", tmp / "out.wav"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(fs::exists(tmp.Path() / "out.wav"));
    EXPECT_TRUE(fs::exists(held));
    EXPECT_TRUE(fs::exists(tmp.Path() / ".other.wav.1-0.part"));
    EXPECT_EQ(PartFiles(tmp.Path()), 2);
    ::close(fd);
}

}  // namespace
