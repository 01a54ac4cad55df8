#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <sndfile.h>

#include "chart/chart_model.h"
#include "engine/clock.h"
#include "engine/engine_state.h"
#include "engine/key_sounds.h"
#include "engine/play_loop.h"
#include "engine/offline_render.h"
#include "engine/player.h"
#include "shell/json.h"
#include "shell/status.h"
#include "tool/tool_commands.h"

namespace jov::tool {

namespace {

constexpr int64_t kSimulateStartMs = 100000;

std::optional<int64_t> ParseInt(const std::string& s) {
    int64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

bool Readable(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream f(path, std::ios::binary);
    return f.good();
}

// Writes the event and load lines of a simulated play as they happen.
class SimulateLog final : public KeySoundListener, public DispatchListener {
public:
    SimulateLog(const PlayEngine& engine, const EngineState& state) : engine_(engine), state_(state) {}

    void SetLooping(bool on) { looping_ = on; }

    void OnLoadKeySound(int slot) override {
        JsonWriter w;
        w.BeginObject().Key("pass").Int(Pass()).Key("load").Int(slot).EndObject();
        Emit(w);
    }

    void OnDispatch(const ChartEvent& e, bool sounded) override {
        JsonWriter w;
        w.BeginObject()
            .Key("pass").Int(Pass())
            .Key("elapsed").Int(state_.ElapsedMs)
            .Key("at").Double(state_.CurrentTick)
            .Key("tick").Int(e.Tick)
            .Key("channel").Int(e.Channel)
            .Key("value").Int(e.Value)
            .Key("sounded").Bool(sounded)
            .EndObject();
        Emit(w);
    }

    void Finish(int64_t passes) {
        JsonWriter w;
        w.BeginObject().Key("passes").Int(passes).Key("elapsed").Int(state_.ElapsedMs).EndObject();
        Emit(w);
    }

private:
    int64_t Pass() const { return looping_ ? engine_.LoopPasses() : 0; }
    static void Emit(const JsonWriter& w) {
        std::fwrite(w.str().data(), 1, w.str().size(), stdout);
        std::fputc('\n', stdout);
    }

    const PlayEngine& engine_;
    const EngineState& state_;
    bool looping_ = false;
};

}  // namespace

int CmdSimulate(const Args& args) {
    std::string chart;
    int64_t sleepMs = 10;
    int32_t loadMode = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--sleep" || a == "--load-mode") && i + 1 < args.size()) {
            auto v = ParseInt(args[++i]);
            if (!v) {
                std::fprintf(stderr, "simulate: %s needs a whole number\n", a.c_str());
                return 2;
            }
            if (a == "--sleep") {
                if (*v < 0 || *v > 2147483647) {
                    std::fputs("simulate: --sleep out of range\n", stderr);
                    return 2;
                }
                sleepMs = *v;
            } else {
                if (*v != 0 && *v != 1) {
                    std::fputs("simulate: --load-mode is 0 or 1\n", stderr);
                    return 2;
                }
                loadMode = static_cast<int32_t>(*v);
            }
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            std::fprintf(stderr, "simulate: unknown or incomplete option %s\n", a.c_str());
            return 2;
        } else if (chart.empty()) {
            chart = a;
        } else {
            std::fputs("simulate: one chart only\n", stderr);
            return 2;
        }
    }
    if (chart.empty()) {
        std::fputs("usage: jov01-tool simulate CHART [--sleep MS] [--load-mode 0|1]\n", stderr);
        return 2;
    }
    if (!Readable(chart)) {
        std::fprintf(stderr, "simulate: cannot read %s\n", chart.c_str());
        return 1;
    }

    Shell shell;
    VirtualClock clock(kSimulateStartMs, sleepMs > 1 ? sleepMs : 1);
    // No sound device: nothing is output, every load attempt is still made and logged.
    Player player(shell, clock, nullptr, nullptr);
    player.State().WavLoadMode = loadMode;
    player.State().SleepMs = static_cast<int32_t>(sleepMs);

    SimulateLog log(player.Engine(), player.State());
    player.Sounds().SetListener(&log);
    player.Engine().SetDispatchListener(&log);

    player.LoadChart(chart);
    player.PlaceStart();
    log.SetLooping(true);
    player.RunPlayLoop();
    log.Finish(player.Engine().LoopPasses());
    std::fflush(stdout);
    return 0;
}

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
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(out.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "render: cannot write %s\n", out.c_str());
        return 1;
    }
    bool writeFailed = false;
    RenderOptions options;
    options.rate = static_cast<int32_t>(rate);
    auto summary = RenderChart(chart, options, [&](const int16_t* pcm, int64_t frames) {
        if (sf_writef_short(file, pcm, frames) != frames) writeFailed = true;
    });
    sf_close(file);
    if (!summary) {
        std::fprintf(stderr, "render: cannot read %s\n", chart.c_str());
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
