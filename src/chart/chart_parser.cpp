// Filling the chart model from a chart file's lines.
#include "chart/chart_parser.h"
#include "chart/bmson_reader.h"
#include "chart/chart_format.h"
#include "chart/chart_text.h"
#include "chart/chart_timing.h"
#include "chart/clock_line.h"
#include "chart/conversions.h"
#include "chart/extended_chart.h"
#include "chart/extended_reader.h"
#include "chart/reading.h"
#include "chart/text_decode.h"

namespace jov {
namespace {

void HandleHeader(ChartModel& m, const ParseHooks& hooks, std::u32string_view line, const std::string& folder) {
    ChartInfo& info = m.Chart;
    HeaderCommand cmd = MatchHeader(line);
    if (ApplyCommonHeader(info, line, cmd)) return;
    auto value = [&] { return Trim(Mid(line, ValueStart(cmd))); };
    switch (cmd) {
        case HeaderCommand::Wav: {
            int32_t n = ObjectValue(Mid(line, 4, 2));
            if (n < 0 || n >= kKeySoundSlots) return;
            m.WavFile[n] = folder + ToUtf8(value());
            m.WavLoaded[n] = 0;
            if (hooks.loadSoundsWhileParsing) {
                if (hooks.LoadKeySound) hooks.LoadKeySound(n);
                m.WavLoaded[n] = 255;
            }
            return;
        }
        case HeaderCommand::Midi: info.MidiFile = folder + ToUtf8(value()); return;
        default: return;  // "BMP", "STA" and unknown lines are ignored
    }
}

bool IsObjectChannel(int32_t ch) {
    return ch == 1 || ch == 3 || (ch >= 11 && ch <= 19) || (ch >= 21 && ch <= 29);
}

void HandleChannel(ChartModel& m, std::u32string_view line) {
    auto cl = ReadChannelLine(line);
    if (!cl) return;
    if (cl->measure > m.MaxMeasure) m.MaxMeasure = cl->measure;
    if (IsObjectChannel(cl->channel)) {
        const int32_t measure = cl->measure;
        const int32_t channel = cl->channel;
        ForEachObject(cl->data, [&](int32_t offset, int32_t value) {
            ChartEvent e;
            e.Channel = channel;
            e.Measure = measure;
            e.Offset = offset;
            e.Tick = measure * 192 + offset;
            e.Value = value;
            m.Events.push_back(e);
        });
        m.EventCount = static_cast<int32_t>(m.Events.size());
    } else if (cl->channel == 2) {
        if (auto v = Val(cl->data))
            if (auto f = ToSingle(*v)) m.MeasureLength[cl->measure] = *f;
    }
}

}  // namespace

void ParseChartBytes(ChartModel& model, std::string_view bytes, const std::string& path, const ParseHooks& hooks) {
    const std::string folder = ChartFolder(path);
    model.Chart.FilePath = path;
    if (FormatOf(path) == ChartFormat::Bmson) {
        ParseBmsonBytes(model, bytes, folder, hooks);  // an unreadable one stays empty
        return;
    }
    if (ChooseReading(hooks.reading, bytes).extended) {
        ParseExtendedBytes(model, bytes, folder, hooks);
        return;
    }
    ChartLineReader lines(bytes);
    std::u32string_view line;
    while (lines.Next(line)) {
        if (!line.empty() && line[0] >= U'0' && line[0] <= U'9')
            HandleChannel(model, line);
        else
            HandleHeader(model, hooks, line, folder);
    }
}

void ParseChartFile(ChartModel& model, const std::string& path, const ParseHooks& hooks) {
    std::string bytes = ReadFileBytes(path);
    ParseChartBytes(model, bytes, path, hooks);
}

void RunTimingPass(ChartModel& m) {
    if (m.Extended.active) {  // the Extended reader has timed its events already
        m.PlayTime = ExtendedPlayTime(m);
        m.Chart.PlayTime = m.PlayTime;
        return;
    }
    AddBarLines(m.Events, m.MaxMeasure, m.MeasureLength.data(), m.MeasureLength.size());
    m.EventCount = static_cast<int32_t>(m.Events.size());
    SortEvents(m.Events);
    ScaleEvents(m.Events, m.MeasureLength.data(), m.MeasureLength.size());
    m.PlayTime = ComputePlayTime(m.Events, m.Chart.Bpm);
    m.Chart.PlayTime = m.PlayTime;
    if (!m.Events.empty()) m.LastTick = m.Events.back().Tick;
}

}  // namespace jov
