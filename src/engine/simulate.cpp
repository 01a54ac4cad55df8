#include "engine/simulate.h"

#include <algorithm>

#include "chart/chart_model.h"
#include "engine/engine_state.h"
#include "engine/key_sounds.h"
#include "engine/play_loop.h"
#include "engine/player.h"
#include "shell/clock.h"
#include "shell/json.h"
#include "shell/status.h"

namespace jov {

namespace {

constexpr int64_t kStartMs = 100000;

// Writes the event and load lines as they happen and jumps over idle passes.
class SimulateDriver final : public PlayHost, public KeySoundListener, public DispatchListener {
public:
    SimulateDriver(PlayEngine& engine, EngineState& state, VirtualClock& clock, const SimulateOptions& o,
                   const SimulateSink& sink)
        : engine_(engine), state_(state), clock_(clock), options_(o), sink_(sink) {}

    void SetLooping(bool on) { looping_ = on; }

    void PumpEvents() override {
        if (!looping_) return;
        const int64_t step = options_.sleepMs > 1 ? options_.sleepMs : 1;
        if (options_.maxPasses > 0 && engine_.LoopPasses() >= options_.maxPasses) {
            state_.StopRequest = true;
            return;
        }
        if (!options_.jumpIdlePasses) return;
        int64_t n = engine_.IdlePassesAhead(clock_.NowMs(), step);
        if (options_.maxPasses > 0) n = std::min(n, options_.maxPasses - engine_.LoopPasses() - 1);
        clock_.Advance(n * step);
        engine_.CountSkippedPasses(n);
    }

    void OnLoadKeySound(int slot) override {
        JsonWriter w;
        w.BeginObject().Key("pass").Int(Pass()).Key("load").Int(slot).EndObject();
        sink_(Pass(), w.str());
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
        sink_(Pass(), w.str());
    }

    void Finish() {
        JsonWriter w;
        w.BeginObject().Key("passes").Int(engine_.LoopPasses()).Key("elapsed").Int(state_.ElapsedMs).EndObject();
        sink_(-1, w.str());
    }

private:
    int64_t Pass() const { return looping_ ? engine_.LoopPasses() : 0; }

    PlayEngine& engine_;
    EngineState& state_;
    VirtualClock& clock_;
    const SimulateOptions& options_;
    const SimulateSink& sink_;
    bool looping_ = false;
};

}  // namespace

void Simulate(const std::string& chartPath, const SimulateOptions& options, const SimulateSink& sink) {
    Shell shell;
    VirtualClock clock(kStartMs, options.sleepMs > 1 ? options.sleepMs : 1);
    // No sound device: nothing is output, every load attempt is still made and logged.
    Player player(shell, clock, nullptr, nullptr);
    player.State().WavLoadMode = options.loadMode;
    player.Reading().mode = options.reading;
    player.Reading().random.seed(options.seed);
    player.State().SleepMs = static_cast<int32_t>(options.sleepMs);

    SimulateDriver driver(player.Engine(), player.State(), clock, options, sink);
    player.SetHost(&driver);
    player.Sounds().SetListener(&driver);
    player.Engine().SetDispatchListener(&driver);

    player.LoadChart(chartPath);
    player.PlaceStart();
    driver.SetLooping(true);
    player.RunPlayLoop();
    driver.Finish();
}

}  // namespace jov
