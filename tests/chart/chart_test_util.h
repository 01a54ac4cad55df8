#pragma once
// A loaded-chart fixture for the chart tests: model, engine state, shell and clock.
#include <string>
#include <string_view>
#include <vector>

#include "engine/chart_loader.h"
#include "shell/clock.h"
#include "engine/engine_state.h"
#include "shell/status.h"

namespace jov::testing {

struct Loaded {
    ChartModel model;
    EngineState engine;
    Shell shell;
    VirtualClock clock{5000};
    std::vector<int> loads;
    int releases = 0;
    ChartContext ctx{model, engine, shell, clock, [this](int n) { loads.push_back(n); }, [this] { ++releases; }, nullptr};

    // Parse only (events raw, in file order).
    ChartModel& Parse(std::string_view bytes, const std::string& path = "songs/a.bms") {
        ResetChart(ctx);
        ParseChartBytes(ctx, bytes, path);
        return model;
    }
    // Parse and finish (timing pass, NowPlaying, tempo).
    ChartModel& Load(std::string_view bytes, const std::string& path = "songs/a.bms") {
        Parse(bytes, path);
        FinishChart(ctx);
        return model;
    }
    std::vector<ChartEvent> EventsOf(int channel) const {
        std::vector<ChartEvent> out;
        for (const auto& e : model.Events)
            if (e.Channel == channel) out.push_back(e);
        return out;
    }
};

}  // namespace jov::testing
