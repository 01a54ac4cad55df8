// Chart reader, timing pass and header scan on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/chart_loader.h"
#include "chart/entry_line.h"
#include "chart/header_scan.h"
#include "shell/clock.h"
#include "engine/engine_state.h"
#include "shell/status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    jov::ChartModel model;
    jov::EngineState engine;
    engine.WavLoadMode = size % 2 == 0 ? 0 : 1;
    jov::Shell shell;
    jov::VirtualClock clock;
    int loads = 0;
    jov::ChartContext ctx{model, engine, shell, clock, [&](int) { ++loads; }, [] {}, nullptr};
    jov::ResetChart(ctx);
    jov::ParseChartBytes(ctx, bytes, "dir/fuzz.bms");
    jov::FinishChart(ctx);
    if (model.EventCount != static_cast<int32_t>(model.Events.size())) __builtin_trap();
    if (model.LastTick != model.Events.back().Tick) __builtin_trap();
    jov::ChartInfo entry;
    jov::ScanHeaderBytes(bytes, "dir/fuzz.bms", entry);
    (void)jov::FormatEntryLine(entry);
    return 0;
}
