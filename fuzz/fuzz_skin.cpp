// Skin files of any bytes: the reader, then frames drawn from what it read, at clock
// values and event ticks taken from the input too.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "chart/chart_model.h"
#include "engine/engine_state.h"
#include "notes/note_renderer.h"
#include "notes/skin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace jov;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // No display objects: "#FIL" lines never touch the disk.
    DirectDraw noDisplay;
    SkinTables skin;
    LoadSkinBytes(skin, noDisplay, bytes, "/nonexistent");

    DirectDraw ddraw;
    ddraw.InitDirectDraw(nullptr, true, UiLanguage::English, nullptr, nullptr);
    if (!ddraw.CreateSurface(skin.SkinSurface, 64, 48)) return 0;
    NotesScreen screen;
    ResizeNotesScreen(screen, ddraw, skin, 40, 30, RECT{});

    EngineState engine;
    ChartModel chart;
    uint64_t seed = 0;
    std::memcpy(&seed, data + (size >= 8 ? size - 8 : 0), size >= 8 ? 8 : 0);
    engine.CurrentTick = static_cast<double>(static_cast<int64_t>(seed % 4000) - 1000);
    engine.ElapsedMs = static_cast<int32_t>(seed >> 32);
    for (int i = 0; i < 12; ++i) {
        chart.Events.push_back(ChartEvent{0, static_cast<int32_t>(i * 37 + (seed >> 8) % 500), 0,
                                          static_cast<int32_t>((seed >> (i % 50)) % 32) - 2, 1});
    }
    chart.EventCount = static_cast<int32_t>(chart.Events.size());
    NoteRenderer renderer(skin, screen, ddraw, engine, chart);
    renderer.DrawNotes();
    engine.CurrentTick = -engine.CurrentTick * 1e9;
    renderer.DrawNotes();
    return 0;
}
