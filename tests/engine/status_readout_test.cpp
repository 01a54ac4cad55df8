#include "engine/status_readout.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace jov::test {
namespace {

TEST(StatusReadoutTest, TimesAndTempoText) {
    for (auto [ms, text] : {std::pair<int32_t, const char*>{0, "00:00"}, {65000, "01:05"}, {6000000, "100:00"},
                            {59999, "00:59"}, {-65000, "-01:-05"}, {INT32_MIN, "-35791:-23"}})
        EXPECT_EQ(FormatTime(ms), text) << ms;
    for (auto [bpm, text] : {std::pair<float, const char*>{150.0f, "150"}, {145.5f, "145.5"}, {0.1f, "0.1"},
                             {1234567.0f, "1234567"}, {1e10f, "1E+10"}, {12345678.0f, "1.234568E+07"},
                             {-0.5f, "-0.5"}, {0.000001f, "1E-06"}})
        EXPECT_EQ(FormatBpm(bpm), text) << bpm;
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
    state.IsMinimized = true;
    engine.StatusTimerProc();
    EXPECT_EQ(host.texts, std::vector<std::string>{"<12/66> [00:25/02:10]\r\nBPM: 150"});
}

}  // namespace
}  // namespace jov::test
