#include "chart/extended_chart.h"

#include "chart/clock_line.h"
#include "chart/conversions.h"
#include "chart/extended_reader.h"
#include "chart/text_decode.h"

namespace jov {

void ParseExtendedBytes(ChartModel& m, std::string_view bytes, const std::string& folder, const ParseHooks& hooks) {
    m.WavFile.assign(kKeySoundSlotsExtended, std::string());
    m.WavLoaded.assign(kKeySoundSlotsExtended, 0);
    thread_local ExtendedWalk walk;  // its buffers are reused from one chart to the next
    walk.objects.clear();
    walk.maxMeasure = 0;
    walk.lnObj = -1;
    std::mt19937* random = hooks.reading ? &hooks.reading->random : nullptr;
    WalkExtended(bytes, random, false, walk,
                 [&](const ChartLineReader& reader, std::u32string_view line, HeaderCommand cmd, int32_t slot) {
        if (ApplyCommonHeader(m.Chart, line, cmd, &reader)) return;
        if (cmd == HeaderCommand::Midi) m.Chart.MidiFile = folder + HeaderText(reader, line, cmd);
        if (cmd != HeaderCommand::Wav || slot < 0) return;
        m.WavFile[static_cast<size_t>(slot)] = folder + HeaderText(reader, line, cmd);
        m.WavLoaded[static_cast<size_t>(slot)] = 0;
        if (hooks.loadSoundsWhileParsing) {
            if (hooks.LoadKeySound) hooks.LoadKeySound(slot);
            m.WavLoaded[static_cast<size_t>(slot)] = 255;
        }
    });
    if (!(m.Chart.Bpm > 0.0f)) m.Chart.Bpm = static_cast<float>(kDefaultBpm);
    BuildExtendedEvents(walk, m);
    m.Extended.StartBpm = m.Chart.Bpm;
    if (walk.objects.capacity() > (size_t{1} << 20)) std::vector<RawObject>().swap(walk.objects);
}

void ScanExtendedBytes(std::string_view bytes, ChartInfo& entry, std::mt19937* random) {
    ExtendedWalk walk;
    int32_t wavCount = 0;
    int32_t bmpCount = 0;
    WalkExtended(bytes, random, true, walk,
                 [&](const ChartLineReader& reader, std::u32string_view line, HeaderCommand cmd, int32_t) {
        if (ApplyCommonHeader(entry, line, cmd, &reader)) return;
        switch (cmd) {
            case HeaderCommand::Wav: ++wavCount; return;
            case HeaderCommand::Bmp: ++bmpCount; return;
            case HeaderCommand::Stage: entry.StageFile = HeaderText(reader, line, cmd); return;
            case HeaderCommand::Midi: entry.MidiFile = HeaderText(reader, line, cmd); return;
            default: return;
        }
    });
    entry.WavCount = wavCount;
    entry.BmpCount = bmpCount;
    if (!(entry.Bpm > 0.0f)) entry.Bpm = static_cast<float>(kDefaultBpm);
    ChartModel timing;
    BuildExtendedEvents(walk, timing);
    timing.Extended.StartBpm = entry.Bpm;
    entry.PlayTime = ExtendedPlayTime(timing);
}

}  // namespace jov
