#include "engine/status_readout.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace jov::test {
namespace {

TEST(StatusReadoutTest, TimesAndTempoText) {
    EXPECT_EQ(FormatTime(0), "00:00");
    EXPECT_EQ(FormatTime(65000), "01:05");
    EXPECT_EQ(FormatTime(6000000), "100:00");
    EXPECT_EQ(FormatTime(59999), "00:59");
    EXPECT_EQ(FormatTime(-65000), "-01:-05");
    EXPECT_EQ(FormatTime(INT32_MIN), "-35791:-23");
    EXPECT_EQ(FormatBpm(150.0f), "150");
    EXPECT_EQ(FormatBpm(145.5f), "145.5");
    EXPECT_EQ(FormatBpm(0.1f), "0.1");
    EXPECT_EQ(FormatBpm(1234567.0f), "1234567");
    EXPECT_EQ(FormatBpm(1e10f), "1E+10");
    EXPECT_EQ(FormatBpm(12345678.0f), "1.234568E+07");
    EXPECT_EQ(FormatBpm(-0.5f), "-0.5");
    EXPECT_EQ(FormatBpm(0.000001f), "1E-06");
}

class StatusTimerTest : public EngineFixture {};

TEST_F(StatusTimerTest, ReadoutIsDrawnUnlessMinimised) {
    struct Host final : PlayHost {
        void DrawStatus(const StatusReadout& r) override { texts.push_back(r.Text()); }
        std::vector<std::string> texts;
    } host;
    engine.SetHost(&host);
    model.MaxMeasure = 66;
    model.PlayTime = 130000;
    state.BarMeasure = 12;
    state.ElapsedMs = 25400;
    state.CurrentBpm = 150.0f;
    engine.StatusTimerProc();
    ASSERT_EQ(host.texts.size(), 1u);
    EXPECT_EQ(host.texts[0], "<12/66> [00:25/02:10]\r\nBPM: 150");
    state.IsMinimized = true;
    engine.StatusTimerProc();
    EXPECT_EQ(host.texts.size(), 1u);
}

}  // namespace
}  // namespace jov::test
