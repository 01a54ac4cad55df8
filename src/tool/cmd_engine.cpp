#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "chart/chart_model.h"
#include "shell/clock.h"
#include "engine/engine_state.h"
#include "engine/key_sounds.h"
#include "engine/play_loop.h"
#include "engine/player.h"
#include "shell/json.h"
#include "shell/status.h"
#include "tool/tool_args.h"
#include "tool/tool_commands.h"

namespace jov::tool {

namespace {

constexpr int64_t kSimulateStartMs = 100000;

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

}  // namespace jov::tool
