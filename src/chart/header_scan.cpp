#include "chart/header_scan.h"

#include <vector>

#include "chart/bmson_reader.h"
#include "chart/chart_format.h"
#include "chart/chart_text.h"
#include "chart/chart_timing.h"
#include "chart/conversions.h"
#include "chart/extended_chart.h"
#include "chart/extended_reader.h"
#include "chart/reading.h"
#include "chart/text_decode.h"
#include "shell/status.h"

namespace jov {
namespace {

// Private to one scan: tempo changes and bar lines only.
struct ScanState {
    std::vector<ChartEvent> events;
    std::array<float, kMeasureLengthSlots> lengths{};
    int32_t maxMeasure = 0;
    int32_t wavCount = 0;
    int32_t bmpCount = 0;
};

void HandleHeader(ScanState& s, ChartInfo& entry, std::u32string_view line) {
    HeaderCommand cmd = MatchHeader(line);
    if (ApplyCommonHeader(entry, line, cmd)) return;
    auto value = [&] { return Trim(Mid(line, ValueStart(cmd))); };
    switch (cmd) {
        case HeaderCommand::Wav: ++s.wavCount; return;
        case HeaderCommand::Bmp: ++s.bmpCount; return;
        case HeaderCommand::Stage: entry.StageFile = ToUtf8(value()); return;
        case HeaderCommand::Midi: entry.MidiFile = ToUtf8(value()); return;
        default: return;
    }
}

void HandleChannel(ScanState& s, std::u32string_view line) {
    auto cl = ReadChannelLine(line);
    if (!cl) return;
    if (cl->measure > s.maxMeasure) s.maxMeasure = cl->measure;
    if (cl->channel == 2) {
        if (auto v = Val(cl->data))
            if (auto f = ToSingle(*v)) s.lengths[cl->measure] = *f;
    } else if (cl->channel == kChannelTempo) {
        const int32_t measure = cl->measure;
        ForEachObject(cl->data, [&](int32_t offset, int32_t value) {
            ChartEvent e;
            e.Channel = kChannelTempo;
            e.Measure = measure;
            e.Offset = offset;
            e.Tick = measure * 192 + offset;
            e.Value = value;
            s.events.push_back(e);
        });
    }
}

}  // namespace

void ScanHeaderBytes(std::string_view bytes, const std::string& path, ChartInfo& entry, ChartReading* reading,
                     ReadingChoice* chosen) {
    entry.FilePath = path;
    if (FormatOf(path) == ChartFormat::Bmson) {
        if (chosen) *chosen = ReadingChoice{true, 0};  // bmson fills the Extended model
        ScanBmsonBytes(bytes, entry);
        return;
    }
    const ReadingChoice choice = ChooseReading(reading, bytes);
    if (chosen) *chosen = choice;
    if (choice.extended) {
        ScanExtendedBytes(bytes, entry, &reading->random);
        return;
    }
    ScanState s;
    ChartLineReader lines(bytes);
    std::u32string_view line;
    while (lines.Next(line)) {
        if (!line.empty() && line[0] >= U'0' && line[0] <= U'9')
            HandleChannel(s, line);
        else
            HandleHeader(s, entry, line);
    }
    entry.WavCount = s.wavCount;
    entry.BmpCount = s.bmpCount;
    AddBarLines(s.events, s.maxMeasure, s.lengths.data(), s.lengths.size());
    SortEvents(s.events);
    ScaleEvents(s.events, s.lengths.data(), s.lengths.size());
    entry.PlayTime = ScanPlayTime(s.events, entry.Bpm);
}

void ScanHeaders(const std::string& path, ChartInfo& entry, Shell& shell, ChartReading* reading,
                 ReadingChoice* chosen) {
    if (!shell.FileExists(path)) return;
    ScanHeaderBytes(ReadFileBytes(path), path, entry, reading, chosen);
}

}  // namespace jov
