#pragma once
// Making a chart file the loaded chart: reset, file check, parse, timing pass, MIDI open.
#include <functional>
#include <string>
#include <string_view>

#include "chart/chart_model.h"
#include "chart/chart_parser.h"

namespace jov {

class Shell;
class Clock;
class MidiDevice;
struct EngineState;
struct ChartReading;

// What the load sequence touches besides the chart model.
struct ChartContext {
    ChartModel& model;
    EngineState& engine;
    Shell& shell;
    Clock& clock;
    // LoadKeySound(n) of the key-sound layer (load mode 0 calls it during the parse).
    std::function<void(int)> LoadKeySound;
    // Releases every key-sound buffer (ResetChart).
    std::function<void()> ReleaseSounds;
    // The command layer a new MIDI player talks to; nullptr leaves MIDI silent.
    MidiDevice* midiDevice = nullptr;
    // Classic reading when null or not extended.
    ChartReading* reading = nullptr;
};

void ResetChart(ChartContext& ctx);
void ParseChart(ChartContext& ctx, const std::string& path);
// ParseChart on bytes already read; `path` gives FilePath and the chart folder.
void ParseChartBytes(ChartContext& ctx, std::string_view bytes, const std::string& path);
// Timing pass, MIDI open, NowPlaying, tempo, LastTick.
void FinishChart(ChartContext& ctx);
// False when the file check failed (the chart is then empty).
bool LoadChart(ChartContext& ctx, const std::string& path);

}  // namespace jov
