// One frame of the notes window: a 400 x 600 back surface, ten layout pieces and a
// thousand notes between the top and the judge line.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "chart/chart_model.h"
#include "engine/engine_state.h"
#include "notes/note_renderer.h"
#include "notes/skin.h"

// Counts heap allocations, so the run shows that a frame makes none.
std::atomic<long> gAllocations{0};

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace jov;

struct Scene {
    DirectDraw ddraw;
    SkinTables skin;
    NotesScreen screen;
    EngineState engine;
    ChartModel chart;

    Scene() {
        ddraw.InitDirectDraw(nullptr, true, UiLanguage::English, nullptr, nullptr);
        std::string hrd =
            "#YPO      -60\r\n"
            "#CLI 01 0,0,40,8\r\n#CLI 02 40,0,24,8\r\n#CLI 03 64,0,24,8\r\n#CLI 04 0,16,240,1\r\n"
            "#CLI 05 0,20,240,4,4,-12\r\n#CLI 10 0,40,400,256\r\n#CLI 11 0,300,400,64\r\n"
            "#NOT 10 04,4\r\n#NOT 16 01,6\r\n";
        const int keys[] = {11, 12, 13, 14, 15, 18, 19};
        for (int i = 0; i < 7; ++i) {
            hrd += "#NOT " + std::to_string(keys[i]) + (i % 2 ? " 03," : " 02,") + std::to_string(51 + i * 28) + "\r\n";
        }
        for (int k = 0; k < 8; ++k) hrd += "#LAY  0" + std::to_string(k) + " 10,0," + std::to_string(k * 80) + "\r\n";
        hrd += "#LAY  08 11,0,-64\r\n#LAY  09 05,4,-62\r\n";
        LoadSkinBytes(skin, ddraw, hrd, ".");
        ddraw.CreateSurface(skin.SkinSurface, 400, 364);
        skin.SkinSurface.BltColorFill(RECT{0, 0, 40, 8}, 0xe02828);
        skin.SkinSurface.BltColorFill(RECT{40, 0, 88, 8}, 0xe4e4e8);
        skin.SkinSurface.BltColorFill(RECT{0, 40, 400, 300}, 0x101018);
        ResizeNotesScreen(screen, ddraw, skin, 400, 600, RECT{0, 0, 400, 600});

        // 1,000 events over the 540 visible ticks, every channel the renderer draws.
        const int channels[] = {11, 12, 13, 14, 15, 16, 18, 19, -1};
        for (int i = 0; i < 1000; ++i) {
            chart.Events.push_back(ChartEvent{0, 10000 + i * 540 / 1000, 0, channels[i % 9], 1});
        }
        chart.EventCount = static_cast<int32_t>(chart.Events.size());
        engine.CurrentTick = 10000;
    }
};

void BM_DrawNotes(benchmark::State& state) {
    Scene scene;
    NoteRenderer renderer(scene.skin, scene.screen, scene.ddraw, scene.engine, scene.chart);
    int pass = 0;
    const long before = gAllocations.load();
    for (auto _ : state) {
        scene.engine.CurrentTick = 10000 + (pass++ % 8) * 0.25;
        scene.engine.ElapsedMs = pass;
        renderer.DrawNotes();
        benchmark::DoNotOptimize(scene.screen.BackSurface.Image().constBits());
    }
    state.counters["allocs_per_frame"] =
        static_cast<double>(gAllocations.load() - before) / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawNotes)->Unit(benchmark::kMicrosecond);

}  // namespace
