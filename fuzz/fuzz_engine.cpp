// The engine on charts of any bytes: load from memory, start placement, then a bounded
// number of clock passes with seeks at ticks and measures taken from the input's tail.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/chart_loader.h"
#include "engine/player.h"
#include "shell/clock.h"
#include "shell/status.h"

namespace {

struct Rig {
    jov::Shell shell;
    jov::VirtualClock clock{0};
    jov::Player player{shell, clock, nullptr, nullptr};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Rig* rig = new Rig;  // built once: each run resets what it uses
    uint8_t tail[12] = {};
    const size_t control = size < sizeof tail ? size : sizeof tail;
    std::memcpy(tail, data + size - control, control);
    const std::string_view chart(reinterpret_cast<const char*>(data), size - control);

    jov::Player& p = rig->player;
    rig->clock.Set(static_cast<int64_t>(tail[0]) << 24);
    p.State() = jov::EngineState{};
    p.State().WavLoadMode = tail[1] & 1;
    p.Reading().mode = (tail[1] & 2) != 0 ? jov::ReadingMode::Extended : jov::ReadingMode::Classic;
    jov::ChartContext& ctx = p.Context();
    jov::ResetChart(ctx);
    jov::ParseChartBytes(ctx, chart, "dir/fuzz.bms");
    jov::FinishChart(ctx);
    p.PlaceStart();

    int32_t seekTick = 0;
    std::memcpy(&seekTick, tail + 4, 4);
    int32_t seekMeasure = 0;
    std::memcpy(&seekMeasure, tail + 8, 4);
    const int step = 1 + tail[2] % 50;
    p.State().IsPlaying = true;
    for (int pass = 0; pass < 600 && !p.State().StopRequest; ++pass) {
        rig->clock.Advance(step);
        p.UpdatePlay();
        if (pass == tail[3]) p.SeekTo(seekTick, true);
        if (pass == tail[3] / 2 + 300) p.SeekTo(seekMeasure % 1100, false);
        const auto& s = p.State();
        if (s.NextEvent < 0 || s.NextEvent > static_cast<int32_t>(p.Model().Events.size())) __builtin_trap();
    }
    p.State().IsPlaying = false;
    return 0;
}
