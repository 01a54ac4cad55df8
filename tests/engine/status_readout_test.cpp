#include "engine/status_readout.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace jov::test {
namespace {

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
