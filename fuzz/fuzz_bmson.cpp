// bmson reader, the load sequence and the header scan on arbitrary bytes: whatever the
// text, the model holds together (one exact tick, amount and offset per event, events in
// order) and every note names a slot of the table (tempo and stop events name their own).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "chart/entry_line.h"
#include "chart/extended_reader.h"
#include "chart/header_scan.h"
#include "engine/chart_loader.h"
#include "engine/engine_state.h"
#include "engine/extended_play.h"
#include "shell/clock.h"
#include "shell/status.h"

namespace {

struct Rig {
    jov::ChartModel model;
    jov::EngineState engine;
    jov::Shell shell;
    jov::VirtualClock clock;
    jov::ChartReading reading;
    jov::ChartContext ctx{model, engine, shell, clock, [](int) {}, [] {}, nullptr, &reading};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Rig* rig = new Rig;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    jov::ChartModel& m = rig->model;
    rig->engine.WavLoadMode = size % 2 == 0 ? 0 : 1;
    jov::ResetChart(rig->ctx);
    jov::ParseChartBytes(rig->ctx, bytes, "dir/fuzz.bmson");
    jov::FinishChart(rig->ctx);
    if (m.EventCount != static_cast<int32_t>(m.Events.size())) __builtin_trap();
    if (m.Extended.active) {
        const size_t n = m.Events.size();
        if (m.Extended.ExactTick.size() != n || m.Extended.Amount.size() != n || m.Extended.SliceMs.size() != n)
            __builtin_trap();
        for (size_t i = 0; i < n; ++i) {
            if (i > 0 && m.Extended.ExactTick[i] < m.Extended.ExactTick[i - 1]) __builtin_trap();
            if (!(m.Extended.SliceAt(i) >= 0.0)) __builtin_trap();
            const jov::ChartEvent& e = m.Events[i];
            if (jov::IsExtendedSoundChannel(e.Channel) && (e.Value < 1 || e.Value >= m.SlotCount())) __builtin_trap();
        }
    }
    jov::ChartInfo entry;
    jov::ScanHeaderBytes(bytes, "dir/fuzz.bmson", entry, &rig->reading);
    (void)jov::FormatEntryLine(entry);
    return 0;
}
