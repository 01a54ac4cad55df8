#include "tool/tool_json.h"

#include <cstdio>

#include "chart/text_decode.h"
#include "engine/chart_loader.h"
#include "engine/engine_state.h"
#include "shell/clock.h"
#include "shell/status.h"

namespace jov::tool {

void WriteChartInfoMembers(JsonWriter& w, const ChartInfo& c) {
    w.Key("Title").String(c.Title);
    w.Key("Artist").String(c.Artist);
    w.Key("Genre").String(c.Genre);
    w.Key("Bpm").Single(c.Bpm);
    w.Key("Player").Int(c.Player);
    w.Key("PlayLevel").Int(c.PlayLevel);
    w.Key("MidiFile").String(c.MidiFile);
    w.Key("Rank").Int(c.Rank);
    w.Key("VolWav").Int(c.VolWav);
    w.Key("Total").Int(c.Total);
    w.Key("PlayTime").Int(c.PlayTime);
    w.Key("StageFile").String(c.StageFile);
    w.Key("WavCount").Int(c.WavCount);
    w.Key("BmpCount").Int(c.BmpCount);
    // A path is bytes; shown decoded as list texts are (valid UTF-8, else code page 932).
    w.Key("FilePath").String(DecodeUtf8OrCp932(c.FilePath));
}

void PrintJsonLine(const JsonWriter& w) {
    std::fwrite(w.str().data(), 1, w.str().size(), stdout);
    std::fputc('\n', stdout);
}

bool LoadChartQuietly(const std::string& path, ChartReading& reading, ChartModel& model) {
    Shell shell;
    if (!shell.FileExists(path)) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    EngineState engine;
    engine.WavLoadMode = 1;
    VirtualClock clock;
    ChartContext ctx{model, engine, shell, clock, [](int) {}, [] {}, nullptr, &reading};
    LoadChart(ctx, path);
    return true;
}

}  // namespace jov::tool
