#include "engine/offline_render.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "audio/audio_system.h"
#include "audio/midi_synth.h"
#include "audio/path_resolver.h"
#include "chart/chart_model.h"
#include "shell/clock.h"
#include "shell/file_read.h"
#include "engine/key_sounds.h"
#include "engine/play_loop.h"
#include "engine/player.h"
#include "shell/status.h"

namespace jov {

namespace {

// The mixer stays this far behind the engine: a trigger is stamped with its event's
// time, which lies up to one pass before the pass itself.
constexpr double kLagMs = 100.0;
constexpr double kChunkMs = 20.0;

// Length of a sound file in ms, 0 when unknown.
double SoundLengthMs(const std::string& name) {
    auto path = ResolvePath(name);
    if (!path) return 0.0;
    SF_INFO info{};
    const int fd = OpenRegularFile(*path);
    if (fd < 0) return 0.0;
    SNDFILE* f = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
    if (f) sf_close(f);
    ::close(fd);
    if (!f) return 0.0;
    if (info.samplerate <= 0 || info.frames <= 0) return 0.0;
    return static_cast<double>(info.frames) * 1000.0 / info.samplerate;
}

class RenderDriver final : public PlayHost, public DispatchListener, public KeySoundListener {
public:
    RenderDriver(AudioSystem& audio, Clock& clock, const PcmSink& sink) : audio_(audio), clock_(clock), sink_(sink) {}

    void StartAt(double ms) { renderedMs_ = ms; }
    void PumpEvents() override {
        if (cancel && !cancelled && cancel()) {
            cancelled = true;
            state->StopRequest = true;
        }
        const double upTo = static_cast<double>(clock_.NowMs()) - kLagMs;
        if (upTo - renderedMs_ >= kChunkMs) RenderUntil(upTo);
    }
    void OnDispatch(const ChartEvent&, bool sounded) override { sounds += sounded; }
    void OnLoadKeySound(int slot) override {
        Grow(slot);
        attempted[slot] = 1;
    }
    void OnPlayKeySound(int slot, double, double atMs) override {
        Grow(slot);
        lastTrigger[slot] = atMs;
        triggerMs.push_back(atMs);
    }

    void RenderUntil(double ms) {
        buffer_.clear();
        audio_.RenderUntil(ms, buffer_);
        renderedMs_ = std::max(renderedMs_, ms);
        if (!buffer_.empty()) {
            const int64_t frames = static_cast<int64_t>(buffer_.size() / 2);
            totalFrames += frames;
            if (sink_) sink_(buffer_.data(), frames);
        }
    }

    int64_t sounds = 0;
    int64_t totalFrames = 0;
    // By slot, as far as the chart's slots reach.
    std::vector<uint8_t> attempted;
    std::vector<double> lastTrigger;
    std::vector<double> triggerMs;
    std::function<bool()> cancel;
    EngineState* state = nullptr;
    bool cancelled = false;

private:
    void Grow(int slot) {
        if (slot < 0 || static_cast<size_t>(slot) < attempted.size()) return;
        attempted.resize(static_cast<size_t>(slot) + 1, 0);
        lastTrigger.resize(static_cast<size_t>(slot) + 1, -INFINITY);
    }

    AudioSystem& audio_;
    Clock& clock_;
    const PcmSink& sink_;
    std::vector<int16_t> buffer_;
    double renderedMs_ = 0.0;
};

bool Readable(const std::string& path) {
    const int fd = OpenRegularFile(path);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

}  // namespace

std::optional<RenderSummary> RenderChart(const std::string& chartPath, const RenderOptions& options,
                                         const PcmSink& sink) {
    if (!Readable(chartPath)) return std::nullopt;
    Shell shell;
    double lowest = 0, highest = 0;
    const bool synthRate = MidiSynth::SupportsRate(options.rate, &lowest, &highest);
    // At a rate the synthesiser cannot do it is not started (a chart with MIDI is refused below).
    auto audio = AudioSystem::CreateOffline(options.rate, &shell, synthRate ? options.soundFont : std::string());
    // Engine ms 0 is frame 0, and play starts at 0.
    VirtualClock clock(0, std::clamp(options.passMs, 1, 50));
    Player player(shell, clock, &audio->Sound(), &audio->Midi());
    player.State().WavLoadMode = options.loadMode;
    player.Reading().mode = options.reading;
    player.Reading().random.seed(options.seed);
    player.State().SleepMs = std::clamp(options.passMs, 1, 50);

    RenderDriver driver(*audio, clock, sink);
    driver.cancel = options.cancel;
    driver.state = &player.State();
    player.SetHost(&driver);
    player.Engine().SetDispatchListener(&driver);
    player.Sounds().SetListener(&driver);

    player.LoadChart(chartPath);
    if (!synthRate && !player.Model().Chart.MidiFile.empty()) {
        RenderSummary refused;
        refused.rate = options.rate;
        refused.error = "the MIDI synthesiser cannot run at " + std::to_string(options.rate) + " Hz (it runs at " +
                        std::to_string(static_cast<int64_t>(lowest)) + " to " + std::to_string(static_cast<int64_t>(highest)) +
                        " Hz); choose --rate within that";
        return refused;
    }
    player.PlaceStart();
    // Frame 0 is the start point's exact time, so the first sound is not cut by the
    // rounding of the clock's start to a whole millisecond.
    const EngineState& st = player.State();
    double startMs = static_cast<double>(clock.NowMs());
    if (st.TicksPerMs > 0.0f) {
        const double line = (st.CurrentTick - st.TickOffset) / st.TicksPerMs - st.ElapsedMs;
        if (std::isfinite(line)) startMs += std::clamp(line, -1.0, 1.0);
    }
    audio->GetMixer().SetOfflineAnchor(startMs, 0.0);
    if (options.mixTap) audio->GetMixer().SetMixTap(options.mixTap);
    if (options.gainDb != 0) audio->GetMixer().SetOutputGain(float(std::pow(10.0, options.gainDb / 20.0)));
    driver.StartAt(startMs);
    player.RunPlayLoop();
    RenderSummary summary;
    if (driver.cancelled) {
        summary.cancelled = true;
        return summary;
    }

    // The file ends with the loop, plus whatever is still ringing (bounded).
    const double endMs = static_cast<double>(clock.NowMs());
    double tailEnd = endMs;
    for (int w = 0; w < player.Model().SlotCount() && static_cast<size_t>(w) < driver.attempted.size(); ++w) {
        summary.soundFiles += driver.attempted[w];
        if (driver.attempted[w] && !player.Sounds().HasBuffer(w)) summary.missing.push_back(w);
        if (std::isfinite(driver.lastTrigger[w]) && player.Sounds().HasBuffer(w))
            tailEnd = std::max(tailEnd, driver.lastTrigger[w] + SoundLengthMs(player.Model().WavFile[w]));
    }
    tailEnd = std::min(tailEnd, endMs + options.maxTailMs);
    // Whatever the end cuts (a long sound, the MIDI background) fades out instead of stepping.
    audio->GetMixer().FadeOutAll(tailEnd - 6.0);  // the 5 ms fade done before the last frame
    driver.RenderUntil(tailEnd);

    summary.frames = driver.totalFrames;
    summary.rate = options.rate;
    summary.sounds = driver.sounds;
    summary.startMs = startMs;
    summary.triggerMs = std::move(driver.triggerMs);
    summary.mixPeak = audio->GetMixer().PeakBeforeLimiter();
    return summary;
}

}  // namespace jov
