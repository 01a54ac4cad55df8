// Chart reader, timing pass and header scan on arbitrary bytes, all in memory. The model,
// context and scratch objects are built once and reset by each run, as the jukebox
// reuses them from one chart to the next.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "chart/entry_line.h"
#include "chart/extended_reader.h"
#include "chart/header_scan.h"
#include "engine/chart_loader.h"
#include "engine/engine_state.h"
#include "shell/clock.h"
#include "shell/status.h"

namespace {

struct Rig {
    jov::ChartModel model;
    jov::EngineState engine;
    jov::Shell shell;
    jov::VirtualClock clock;
    int loads = 0;
    jov::ChartReading reading;
    jov::ChartContext ctx{model, engine, shell, clock, [this](int) { ++loads; }, [] {}, nullptr, &reading};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Rig* rig = new Rig;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    jov::ChartModel& model = rig->model;
    rig->engine.WavLoadMode = size % 2 == 0 ? 0 : 1;
    for (bool extended : {false, true}) {  // the classic and the Extended reading
        rig->reading.mode = extended ? jov::ReadingMode::Extended : jov::ReadingMode::Classic;
        jov::ResetChart(rig->ctx);
        jov::ParseChartBytes(rig->ctx, bytes, "dir/fuzz.bms");
        jov::FinishChart(rig->ctx);
        if (model.EventCount != static_cast<int32_t>(model.Events.size())) __builtin_trap();
        if (model.LastTick != model.Events.back().Tick) __builtin_trap();
        if (extended && (model.Extended.ExactTick.size() != model.Events.size() ||
                         model.Extended.Amount.size() != model.Events.size()))
            __builtin_trap();
        jov::ChartInfo entry;
        jov::ScanHeaderBytes(bytes, "dir/fuzz.bms", entry, &rig->reading);
        (void)jov::FormatEntryLine(entry);
    }
    return 0;
}
