// jov01-tool scan / parse: the playlist entry of a chart and the loaded chart, as JSON.
#include <cstdio>
#include <string>

#include "engine/chart_loader.h"
#include "chart/entry_line.h"
#include "chart/header_scan.h"
#include "chart/extended_reader.h"
#include "shell/clock.h"
#include "engine/engine_state.h"
#include "shell/json.h"
#include "shell/status.h"
#include "tool/tool_args.h"
#include "tool/tool_commands.h"
#include "tool/tool_json.h"

namespace jov::tool {

int CmdScan(const Args& argsIn) {
    Args args = argsIn;
    const ReadingArgs r = TakeReadingArgs(args, "scan");
    if (!r.ok) return 2;
    ChartReading reading = MakeReading(r);
    if (args.empty()) {
        std::fputs("usage: jov01-tool scan CHART...\n", stderr);
        return 2;
    }
    int code = 0;
    Shell shell;
    for (const std::string& path : args) {
        ChartInfo entry;
        ReadingChoice choice;
        if (!shell.FileExists(path)) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            code = 1;
        } else {
            ScanHeaders(path, entry, shell, &reading, &choice);
        }
        JsonWriter w;
        w.BeginObject();
        WriteChartInfoMembers(w, entry);
        w.Key("Line").String(FormatEntryLine(entry));
        if (r.mode != ReadingMode::Classic) w.Key("Reading").String(choice.extended ? "extended" : "classic");
        w.EndObject();
        PrintJsonLine(w);
    }
    return code;
}

int CmdParse(const Args& argsIn) {
    Args args = argsIn;
    const ReadingArgs r = TakeReadingArgs(args, "parse");
    if (!r.ok) return 2;
    ChartReading reading = MakeReading(r);
    if (args.size() != 1) {
        std::fputs("usage: jov01-tool parse CHART\n", stderr);
        return 2;
    }
    ChartModel model;
    if (!LoadChartQuietly(args[0], reading, model)) return 1;

    JsonWriter w;
    w.BeginObject();
    w.Key("Chart").BeginObject();
    WriteChartInfoMembers(w, model.Chart);
    w.EndObject();
    w.Key("NowPlaying").String(model.NowPlaying);
    w.Key("MaxMeasure").Int(model.MaxMeasure);
    w.Key("EventCount").Int(model.EventCount);
    w.Key("PlayTime").Int(model.PlayTime);
    w.Key("LastTick").Int(model.LastTick);
    w.Key("Events").BeginArray();
    for (int32_t i = 0; i < model.EventCount; ++i) {
        const ChartEvent& e = model.Events[i];
        w.BeginArray().Int(e.Measure).Int(e.Tick).Int(e.Offset).Int(e.Channel).Int(e.Value).EndArray();
    }
    w.EndArray();
    w.Key("MeasureLength").BeginArray();
    for (int32_t m = 0; m <= model.MaxMeasure && m < kMeasureLengthSlots; ++m) w.Single(model.MeasureLength[m]);
    w.EndArray();
    w.Key("WavFile").BeginObject();
    // Slot numbers as the chart writes them: hexadecimal, or base 36 in the Extended reading.
    static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const int base = model.Extended.active ? 36 : 16;
    for (int n = 0; n < model.SlotCount(); ++n) {
        if (model.WavFile[n].empty()) continue;
        // Two digits, more for the slots past "ZZ" a bmson chart's channels may reach.
        std::string key;
        for (int v = n; v > 0 || key.size() < 2; v /= base) key.insert(key.begin(), kDigits[v % base]);
        w.Key(key).String(model.WavFile[n]);
    }
    w.EndObject();
    w.EndObject();
    PrintJsonLine(w);
    return 0;
}

}  // namespace jov::tool
