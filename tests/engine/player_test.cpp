#include "engine/player.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <new>

#include "audio/sound_device.h"
#include "shell/clock.h"
#include "shell/status.h"

namespace jov {
namespace {

// Every sound load runs out of memory.
struct StarvedDevice final : SoundDevice {
    bool CreateFromFile(int, const std::string&) override { throw std::bad_alloc(); }
    bool HasBuffer(int) const override { return false; }
    int32_t GetFrequency(int) const override { return 0; }
    void SetFrequency(int, int32_t) override {}
    void Stop(int, double) override {}
    void SetPosition(int, int64_t, double) override {}
    void Play(int, double) override {}
    void Release(int) override {}
    void ReleaseAll() override {}
};

TEST(Player, AFailureInLoadOrPlayLeavesAnEmptyChartAndTheFileCheckMessage) {
    const auto dir = std::filesystem::path(testing::TempDir()) / ("jov01_player_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string chart = (dir / "x.bms").string();
    std::ofstream(chart) << "#BPM 120\r\n#WAV01 a.wav\r\n#00111:01\r\n#00211:01\r\n#00311:01\r\n";

    for (int mode : {0, 1}) {  // loads while parsing; loads in the play loop
        Shell shell;
        VirtualClock clock(0, 1);
        StarvedDevice sound;
        Player player(shell, clock, &sound, nullptr);
        player.State().WavLoadMode = mode;
        if (mode == 0) {
            EXPECT_FALSE(player.LoadChart(chart));
        } else {
            ASSERT_TRUE(player.LoadChart(chart));
            player.SeekTo(0, true);
            player.RunPlayLoop();
        }
        EXPECT_TRUE(player.Model().Events.empty()) << mode;
        EXPECT_FALSE(player.State().IsPlaying);
        EXPECT_EQ(shell.LastStatus(), "Err[not exist] :x.bms");
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace jov
