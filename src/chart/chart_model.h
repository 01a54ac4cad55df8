#pragma once
// The one loaded chart: header, timed events, measure lengths, key-sound table.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jov {

class clsMIDI;

struct ChartInfo {
    std::string Title;
    std::string Artist;
    std::string Genre;
    float Bpm = 0.0f;
    int32_t Player = 0;
    int32_t PlayLevel = 0;
    std::string MidiFile;
    int32_t Rank = 0;
    int32_t VolWav = 0;
    int32_t Total = 0;
    int32_t PlayTime = 0;
    std::string StageFile;
    int32_t WavCount = 0;
    int32_t BmpCount = 0;
    std::string FilePath;

    bool operator==(const ChartInfo&) const = default;
};

// Channel codes held in the event list.
enum : int32_t {
    kChannelBarLine = -1,
    kChannelBackground = 1,
    kChannelTempo = 3,
};

struct ChartEvent {
    int32_t Measure = 0;
    int32_t Tick = 0;
    int32_t Offset = 0;
    int32_t Channel = 0;
    int32_t Value = 0;

    bool operator==(const ChartEvent&) const = default;
};

constexpr int kKeySoundSlots = 256;
constexpr int kKeySoundSlotsExtended = 36 * 36;  // "00" .. "ZZ" in base 36
constexpr int kMeasureLengthSlots = 2049;  // 0 To 2048

// Channels only the Extended reading puts in the event list.
enum : int32_t {
    kChannelExtendedTempo = 8,  // Value: the #BPMxx slot; its tempo in ExtendedChart::Amount
    kChannelStop = 9,           // Value: the #STOPxx slot; its length in ticks in Amount
};

// What the Extended reading adds to the event list, entry for entry: positions that are
// not rounded to whole ticks, and the tempo or stop length each tempo or stop event stands for.
struct ExtendedChart {
    bool active = false;
    std::vector<double> ExactTick;
    std::vector<double> Amount;  // BPM of channels 3 and 8, ticks of channel 9, else 0
    double LastTick = 0.0;
    double StartBpm = 0.0;  // #BPM, or 130 without it
    // Sliced sounds (bmson), entry for entry when not empty: how far into its sound a
    // note starts, in ms of the clock line since its channel's last restart (0: restart).
    std::vector<double> SliceMs;

    double SliceAt(size_t i) const { return i < SliceMs.size() ? SliceMs[i] : 0.0; }
};

struct ChartModel {
    ChartModel();
    ~ChartModel();
    ChartModel(const ChartModel&) = delete;
    ChartModel& operator=(const ChartModel&) = delete;

    ChartInfo Chart;
    // Grows as needed; entries 0 .. EventCount-1 are in use (EventCount == Events.size()).
    std::vector<ChartEvent> Events;
    int32_t EventCount = 0;
    int32_t MaxMeasure = 0;
    std::array<float, kMeasureLengthSlots> MeasureLength{};
    // kKeySoundSlots entries; kKeySoundSlotsExtended in the Extended reading; one per
    // sound channel and one unused slot 0 for bmson.
    std::vector<std::string> WavFile;
    std::vector<uint8_t> WavLoaded;
    std::string NowPlaying;
    // Shared so that the chart layer need not know the MIDI player's type to destroy it.
    std::shared_ptr<clsMIDI> Midi;
    int32_t PlayTime = 0;
    int32_t LastTick = 0;
    ExtendedChart Extended;

    int32_t SlotCount() const { return static_cast<int32_t>(WavFile.size()); }
    // Position of event i: exact in the Extended reading, else its whole Tick.
    double EventTick(size_t i) const { return Extended.active ? Extended.ExactTick[i] : Events[i].Tick; }
};

}  // namespace jov
