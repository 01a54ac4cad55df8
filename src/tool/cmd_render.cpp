// The render command: the chart's audio, MIDI included, to a sound file. Built as a module
// the tool loads only for this command, so the other commands start without the sound libraries.
#include <cstdio>
#include <string>

#include <sndfile.h>

#include "engine/offline_render.h"
#include "shell/json.h"
#include "tool/tool_args.h"
#include "tool/tool_commands.h"

namespace jov::tool {

int CmdRender(const Args& args) {
    std::string chart, out;
    int64_t rate = 44100;
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
        std::fputs("usage: jov01-tool render CHART -o OUT.wav [--rate HZ]\n", stderr);
        return 2;
    }
    if (!Readable(chart)) {
        std::fprintf(stderr, "render: cannot read %s\n", chart.c_str());
        return 1;
    }
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = 2;
    // RF64, which a WAV becomes again at the end when it stays under 4 GiB: a plain WAV's
    // 32-bit sizes would wrap on a longer render.
    info.format = SF_FORMAT_RF64 | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(out.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "render: cannot write %s\n", out.c_str());
        return 1;
    }
    sf_command(file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    bool writeFailed = false;
    RenderOptions options;
    options.rate = static_cast<int32_t>(rate);
    auto summary = RenderChart(chart, options, [&](const int16_t* pcm, int64_t frames) {
        if (sf_writef_short(file, pcm, frames) != frames) writeFailed = true;
    });
    if (sf_close(file) != 0) writeFailed = true;
    // A file that is not what was asked for is not left behind as if it were.
    if (!summary || !summary->error.empty() || writeFailed) std::remove(out.c_str());
    if (!summary) {
        std::fprintf(stderr, "render: cannot read %s\n", chart.c_str());
        return 1;
    }
    if (!summary->error.empty()) {
        std::fprintf(stderr, "render: %s\n", summary->error.c_str());
        return 1;
    }
    if (writeFailed) {
        std::fprintf(stderr, "render: writing %s failed\n", out.c_str());
        return 1;
    }
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
