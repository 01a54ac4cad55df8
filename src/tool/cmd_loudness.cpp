// The loudness command: each chart's loudness as it plays and the gain that matches it.
// A module like render, since it renders.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/loudness.h"
#include "shell/json.h"
#include "tool/tool_args.h"
#include "tool/tool_commands.h"

namespace jov::tool {

int CmdLoudness(const Args& argsIn) {
    Args args = argsIn;
    const ReadingArgs reading = TakeReadingArgs(args, "loudness");
    if (!reading.ok) return 2;
    std::vector<std::string> charts;
    for (const std::string& a : args) {
        if (!a.empty() && a[0] == '-' && a != "-") {
            std::fprintf(stderr, "loudness: unknown option %s\n", a.c_str());
            return 2;
        }
        charts.push_back(a);
    }
    if (charts.empty()) {
        std::fputs("usage: jov01-tool loudness CHART... [--reading auto|classic|extended] [--seed N]\n", stderr);
        return 2;
    }
    int exitCode = 0;
    for (const std::string& chart : charts) {
        RenderOptions options;
        options.reading = reading.mode;
        options.seed = reading.seed;
        std::optional<Loudness> l = Readable(chart) ? MeasureLoudness(chart, options) : std::nullopt;
        JsonWriter w;
        w.BeginObject().Key("FilePath").String(chart);
        if (l) {
            const EvenGain gain = EvenLoudnessGain(*l);
            w.Key("Integrated").Double(l->integrated).Key("Range").Double(l->range).Key("TruePeak").Double(l->truePeak);
            w.Key("Gain").Double(gain.db);
            if (gain.capped)
                std::fprintf(stderr, "loudness: %s is too quiet to reach %g LUFS under the %g dBTP peak ceiling\n",
                             chart.c_str(), kTargetLufs, kPeakCeilingDbtp);
        } else {
            w.Key("Integrated").Null().Key("Range").Null().Key("TruePeak").Null().Key("Gain").Null();
            exitCode = 1;
        }
        w.EndObject();
        std::printf("%s\n", w.str().c_str());
        std::fflush(stdout);
    }
    return exitCode;
}

}  // namespace jov::tool

extern "C" __attribute__((visibility("default"))) int jov01_tool_run(const jov::tool::Args* args) { return jov::tool::CmdLoudness(*args); }
