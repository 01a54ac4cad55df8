#include "engine/chart_loader.h"

#include "audio/cls_midi.h"
#include "shell/clock.h"
#include "engine/engine_state.h"
#include "shell/status.h"

namespace jov {

void ResetChart(ChartContext& ctx) {
    ChartModel& m = ctx.model;
    m.Chart = ChartInfo{};
    m.WavFile.assign(kKeySoundSlots, std::string());
    m.WavLoaded.assign(kKeySoundSlots, 0);
    m.Extended = ExtendedChart{};
    if (ctx.ReleaseSounds) ctx.ReleaseSounds();
    m.Events.clear();
    m.EventCount = 0;
    m.MaxMeasure = 0;
    ctx.engine.TickOffset = 0.0;
    ctx.engine.HoldTick = -1.0e300;
    m.MeasureLength.fill(0.0f);
    if (m.Midi) {
        m.Midi->SetFileName("");
        m.Midi.reset();
    }
    ctx.engine.CurrentTick = 0.0;
    ctx.engine.ElapsedMs = 0;
    // A chart whose start cannot be placed must not run on the previous chart's clock.
    ctx.engine.NextEvent = 0;
    ctx.engine.StartTime = static_cast<int32_t>(static_cast<uint32_t>(ctx.clock.NowMs()));
}

namespace {

ParseHooks HooksOf(ChartContext& ctx) {
    ParseHooks hooks;
    hooks.loadSoundsWhileParsing = ctx.engine.WavLoadMode == 0;
    hooks.LoadKeySound = ctx.LoadKeySound;
    hooks.reading = ctx.reading;
    return hooks;
}

}  // namespace

void ParseChart(ChartContext& ctx, const std::string& path) { ParseChartFile(ctx.model, path, HooksOf(ctx)); }

void ParseChartBytes(ChartContext& ctx, std::string_view bytes, const std::string& path) {
    ParseChartBytes(ctx.model, bytes, path, HooksOf(ctx));
}

void FinishChart(ChartContext& ctx) {
    ChartModel& m = ctx.model;
    RunTimingPass(m);
    if (!m.Chart.MidiFile.empty()) {
        ctx.shell.SetCaption("loading MIDI file...");
        m.Midi = std::make_unique<clsMIDI>(ctx.midiDevice, &ctx.clock);
        m.Midi->SetFileName(m.Chart.MidiFile);
    }
    m.NowPlaying = "[" + m.Chart.Genre + "] " + m.Chart.Title + " / " + m.Chart.Artist;
    ctx.shell.SetCaption(m.NowPlaying);
    ctx.engine.CurrentBpm = m.Chart.Bpm;
    ctx.engine.TicksPerMs = static_cast<float>(static_cast<double>(m.Chart.Bpm) / 1250.0);
    if (!m.Events.empty()) m.LastTick = m.Events.back().Tick;
}

bool LoadChart(ChartContext& ctx, const std::string& path) {
    ctx.shell.SetCaption("loading...");
    ResetChart(ctx);
    if (!ctx.shell.FileExists(path)) return false;
    ParseChart(ctx, path);
    FinishChart(ctx);
    return true;
}

}  // namespace jov
