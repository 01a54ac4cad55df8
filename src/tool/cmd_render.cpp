// The render command: the chart's audio, MIDI included, to a WAV, FLAC or Ogg Vorbis file
// chosen by the output name's extension. Built as a module
// the tool loads only for this command, so the other commands start without the sound libraries.
#include <cstdio>
#include <string>

#include "engine/loudness.h"
#include "engine/render_file.h"
#include "shell/json.h"
#include "tool/tool_args.h"
#include "tool/tool_commands.h"

namespace jov::tool {

int CmdRender(const Args& argsIn) {
    Args args = argsIn;
    const ReadingArgs reading = TakeReadingArgs(args, "render");
    if (!reading.ok) {
        return 2;
    }
    std::string chart, out;
    int64_t rate = 44100;
    bool even = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (a == "--rate" && i + 1 < args.size()) {
            auto v = ParseInt(args[++i]);
            if (!v || *v < 8000 || *v > 192000) {
                std::fputs("render: --rate is a whole number from 8000 to 192000\n", stderr);
                return 2;
            }
            rate = *v;
        } else if (a == "--even-loudness") {
            even = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            std::fprintf(stderr, "render: unknown or incomplete option %s\n", a.c_str());
            return 2;
        } else if (chart.empty()) {
            chart = a;
        } else {
            std::fputs("render: one chart only\n", stderr);
            return 2;
        }
    }
    if (chart.empty() || out.empty()) {
        std::fputs("usage: jov01-tool render CHART -o OUT.wav|.flac|.ogg [--rate HZ] [--even-loudness]\n", stderr);
        return 2;
    }
    if (!AudioFileTypeOf(out)) {
        std::fprintf(stderr, "render: %s\n", UnknownFormatText(out).c_str());
        return 2;
    }
    if (!Readable(chart)) {
        std::fprintf(stderr, "render: cannot read %s\n", chart.c_str());
        return 1;
    }
    RenderOptions options;
    options.rate = static_cast<int32_t>(rate);
    options.reading = reading.mode;
    options.seed = reading.seed;
    if (even) {
        // Measured as it plays at this rate, then played at the matching gain.
        if (auto l = MeasureLoudness(chart, options)) {
            const EvenGain gain = EvenLoudnessGain(*l);
            options.gainDb = gain.db;
            if (gain.capped)
                std::fprintf(stderr, "render: %s is too quiet to reach %g LUFS under the %g dBTP peak ceiling\n",
                             chart.c_str(), kTargetLufs, kPeakCeilingDbtp);
        }
    }
    RenderFileResult result = RenderChartToFile(chart, out, options);
    switch (result.status) {
    case RenderFileStatus::Done:
    case RenderFileStatus::Cancelled:
        break;
    case RenderFileStatus::ChartUnreadable:
        std::fprintf(stderr, "render: cannot read %s\n", chart.c_str());
        return 1;
    case RenderFileStatus::CannotWrite:
        std::fprintf(stderr, "render: cannot write %s\n", out.c_str());
        return 1;
    case RenderFileStatus::WriteFailed:
        std::fprintf(stderr, "render: writing %s failed\n", out.c_str());
        return 1;
    case RenderFileStatus::RenderFailed:
        std::fprintf(stderr, "render: %s\n", result.summary->error.c_str());
        return 1;
    case RenderFileStatus::UnknownFormat:
        std::fprintf(stderr, "render: %s\n", UnknownFormatText(out).c_str());
        return 2;
    }
    const RenderSummary* summary = &*result.summary;
    if (const std::string missing = MissingSoundsText(*summary); !missing.empty())
        std::fprintf(stderr, "render: %s: %s\n", chart.c_str(), missing.c_str());
    JsonWriter w;
    w.BeginObject()
        .Key("frames").Int(summary->frames)
        .Key("rate").Int(summary->rate)
        .Key("sounds").Int(summary->sounds)
        .Key("missing").BeginArray();
    for (int slot : summary->missing) w.Int(slot);
    w.EndArray().EndObject();
    std::printf("%s\n", w.str().c_str());
    return 0;
}

}  // namespace jov::tool

extern "C" __attribute__((visibility("default"))) int jov01_tool_run(const jov::tool::Args* args) { return jov::tool::CmdRender(*args); }
