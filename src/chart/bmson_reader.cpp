#include "chart/bmson_reader.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "chart/bmson_document.h"
#include "chart/clock_line.h"
#include "chart/conversions.h"
#include "chart/extended_reader.h"

namespace jov {
namespace {

constexpr double kDefaultResolution = 240.0;
constexpr double kStandardMeasure = 192.0;
// 100,000 standard measures, days of music: a place beyond it is not a real chart, and
// the bar lines filled in up to it stay bounded.
constexpr double kMaxTick = kStandardMeasure * 100000.0;

// Lanes 1-5 are keys 1-5, 6-7 keys 6-7 and 8 the turntable, as the BMS channels the
// notes window draws; the background (0) and every other lane sound on channel 01.
int32_t LaneChannel(int64_t x) {
    if (x >= 1 && x <= 5) return static_cast<int32_t>(10 + x);
    if (x == 6) return 18;
    if (x == 7) return 19;
    if (x == 8) return 16;
    return kChannelBackground;
}

// Tie order at one place, as the Extended reading has it.
enum Rank : int32_t { kBar = 0, kTempo = 2, kNote = 3, kStop = 4 };

struct Item {
    double tick;
    int32_t rank;
    int32_t channel;
    int32_t value;
    double amount;
    bool cont;
};

struct Key {
    double tick;
    uint64_t order;  // tie rank, then the item's index
};
constexpr uint64_t kIndexBits = (uint64_t{1} << 40) - 1;

struct Built {
    std::vector<Item> items;  // in the order they were added
    std::vector<Key> keys;    // sorted: the events' order
    std::vector<double> bars;  // every measure's start, the last one the end
    std::vector<uint32_t> starts;  // bucket bounds of the sort
    double startBpm = kDefaultBpm;
};

bool Arrange(const BmsonDocument& d, Built& b) {
    const double scale = 48.0 / (d.resolution > 0.0 ? d.resolution : kDefaultResolution);
    auto place = [&](double pulses, double& tick) {
        tick = pulses * scale;
        return std::isfinite(tick) && tick >= 0.0 && tick <= kMaxTick;
    };
    if (d.channelNames.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;

    b.items.clear();
    b.keys.clear();
    b.bars.clear();
    b.startBpm = d.initBpm > 0.0 ? d.initBpm : kDefaultBpm;
    std::vector<Item>& items = b.items;
    items.reserve(d.notes.size() + d.bpmEvents.size() + d.stopEvents.size());
    double last = 0.0;
    auto add = [&](double tick, int32_t rank, int32_t channel, int32_t value, double amount, bool cont) {
        items.push_back({tick, rank, channel, value, amount, cont});
        last = std::max(last, tick);
    };
    double tick = 0.0;
    for (size_t i = 0; i < d.bpmEvents.size(); ++i) {
        if (!place(d.bpmEvents[i].y, tick)) return false;
        // A tempo that is not positive changes nothing, as an undefined one does in BMS.
        if (d.bpmEvents[i].value > 0.0) add(tick, kTempo, kChannelExtendedTempo, int32_t(i + 1), d.bpmEvents[i].value, false);
    }
    for (size_t i = 0; i < d.stopEvents.size(); ++i) {
        double length = 0.0;
        if (!place(d.stopEvents[i].y, tick) || !place(d.stopEvents[i].value, length)) return false;
        if (length > 0.0) add(tick, kStop, kChannelStop, int32_t(i + 1), length, false);
    }
    for (const BmsonNote& n : d.notes) {
        if (!place(n.y, tick)) return false;
        add(tick, kNote, LaneChannel(n.x), static_cast<int32_t>(n.channel + 1), 0.0, n.c);
    }

    std::vector<double>& bars = b.bars;
    bars.reserve(d.lines.size() + 4);
    bars.push_back(0.0);
    for (double y : d.lines) {
        if (!place(y, tick)) return false;
        bars.push_back(tick);
    }
    std::sort(bars.begin(), bars.end());
    bars.erase(std::unique(bars.begin(), bars.end()), bars.end());
    // Past the last line, measures of four quarter notes; then, as for a BMS chart, the
    // measure after the last object's and the end of that one.
    while (bars.back() <= last) bars.push_back(bars.back() + kStandardMeasure);
    const size_t lastMeasure = static_cast<size_t>(std::upper_bound(bars.begin(), bars.end(), last) - bars.begin()) - 1;
    while (bars.size() < lastMeasure + 3) bars.push_back(bars.back() + kStandardMeasure);
    for (size_t i = 0; i < bars.size(); ++i) items.push_back({bars[i], kBar, kChannelBarLine, 0, 0.0, false});

    // Sorted as small keys: place, then tie rank, then the order items were added in
    // (file order; bar lines never share a place).
    // Items go first into the bucket of their standard measure (a counting pass), so only
    // each bucket's few keys need sorting.
    const size_t buckets = static_cast<size_t>(bars.back() / kStandardMeasure) + 2;
    auto bucketOf = [](double tick) { return static_cast<size_t>(tick / kStandardMeasure); };
    b.starts.assign(buckets + 1, 0);
    for (const Item& it : items) ++b.starts[bucketOf(it.tick) + 1];
    for (size_t i = 1; i <= buckets; ++i) b.starts[i] += b.starts[i - 1];
    b.keys.resize(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        b.keys[b.starts[bucketOf(items[i].tick)]++] = {items[i].tick, (uint64_t(items[i].rank) << 40) | i};
    auto before = [](const Key& a, const Key& c) { return a.tick != c.tick ? a.tick < c.tick : a.order < c.order; };
    for (size_t i = 0, from = 0; i < buckets; from = b.starts[i++])
        if (!std::is_sorted(b.keys.begin() + from, b.keys.begin() + b.starts[i], before))
            std::sort(b.keys.begin() + from, b.keys.begin() + b.starts[i], before);
    return true;
}

void Commit(Built& b, ChartModel& m) {
    const std::vector<double>& bars = b.bars;
    m.MaxMeasure = static_cast<int32_t>(bars.size() - 1);
    for (size_t i = 0; i < bars.size() && i < m.MeasureLength.size(); ++i) {
        const double span = i + 1 < bars.size() ? bars[i + 1] - bars[i] : kStandardMeasure;
        m.MeasureLength[i] = static_cast<float>(span / kStandardMeasure);
    }
    const size_t n = b.items.size();
    m.Events.clear();
    m.Events.reserve(n);
    ExtendedChart& x = m.Extended;
    x = ExtendedChart{};
    x.ExactTick.reserve(n);
    x.Amount.reserve(n);
    size_t measure = 0;
    for (const Key& k : b.keys) {
        const Item& it = b.items[k.order & kIndexBits];
        while (measure + 1 < bars.size() && bars[measure + 1] <= it.tick) ++measure;
        const double span = measure + 1 < bars.size() ? bars[measure + 1] - bars[measure] : kStandardMeasure;
        ChartEvent e;
        e.Measure = static_cast<int32_t>(measure);
        e.Tick = RoundToInt32(it.tick).value_or(0);
        e.Offset = RoundToInt32((it.tick - bars[measure]) * kStandardMeasure / span).value_or(0);
        e.Channel = it.channel;
        e.Value = it.value;
        m.Events.push_back(e);
        x.ExactTick.push_back(it.tick);
        x.Amount.push_back(it.amount);
    }
    m.EventCount = static_cast<int32_t>(n);
    x.active = true;
    x.StartBpm = b.startBpm;
    x.LastTick = bars.back();
    m.LastTick = m.Events.empty() ? 0 : m.Events.back().Tick;

    // A continuation note starts where its channel's sound would be had it run on since
    // the channel's last restart; with no restart before it, it is one.
    const std::vector<double> times = EventTimesMs(m);
    std::vector<double> restart(static_cast<size_t>(m.SlotCount() > 0 ? m.SlotCount() : 0), NAN);
    x.SliceMs.assign(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        const Item& it = b.items[b.keys[i].order & kIndexBits];
        if (it.rank != kNote || it.value < 0 || static_cast<size_t>(it.value) >= restart.size()) continue;
        double& from = restart[static_cast<size_t>(it.value)];
        if (!it.cont || std::isnan(from)) {
            from = times[i];
            continue;
        }
        const double slice = times[i] - from;
        x.SliceMs[i] = std::isfinite(slice) && slice > 0.0 ? slice : 0.0;
    }
}

void FillInfo(const BmsonDocument& d, double startBpm, ChartInfo& info) {
    info.Title = d.title;
    if (!d.subtitle.empty()) info.Title.append(" ").append(d.subtitle);
    info.Artist = d.artist;
    for (const std::string& s : d.subartists) info.Artist.append(info.Artist.empty() ? "" : " / ").append(s);
    info.Genre = d.genre;
    info.Bpm = ToSingle(startBpm).value_or(static_cast<float>(kDefaultBpm));
    info.PlayLevel = RoundToInt32(d.level).value_or(0);
    info.Total = RoundToInt32(d.total).value_or(0);
    info.StageFile = d.eyecatchImage.empty() ? d.backImage : d.eyecatchImage;
    info.WavCount = static_cast<int32_t>(d.channelNames.size());
}

// Buffers kept from one chart to the next, as the jukebox reads chart after chart.
struct Scratch {
    BmsonDocument doc;
    Built built;
};

Scratch& ThreadScratch() {
    thread_local Scratch scratch;
    // After a huge chart, let its memory go.
    if (scratch.built.items.capacity() > (size_t{1} << 22)) scratch = Scratch{};
    return scratch;
}

}  // namespace

bool ParseBmsonBytes(ChartModel& m, std::string_view bytes, const std::string& folder, const ParseHooks& hooks) {
    Scratch& s = ThreadScratch();
    const BmsonDocument& doc = s.doc;
    if (!ReadBmsonDocument(bytes, s.doc) || !Arrange(doc, s.built)) return false;
    FillInfo(doc, s.built.startBpm, m.Chart);
    const size_t slots = doc.channelNames.size() + 1;
    m.WavFile.assign(slots, std::string());
    m.WavLoaded.assign(slots, 0);
    for (size_t k = 0; k + 1 < slots; ++k)
        if (!doc.channelNames[k].empty()) m.WavFile[k + 1] = folder + doc.channelNames[k];
    Commit(s.built, m);
    if (hooks.loadSoundsWhileParsing) {
        for (size_t w = 1; w < slots; ++w) {
            if (m.WavFile[w].empty()) continue;
            if (hooks.LoadKeySound) hooks.LoadKeySound(static_cast<int>(w));
            m.WavLoaded[w] = 255;
        }
    }
    return true;
}

bool ScanBmsonBytes(std::string_view bytes, ChartInfo& entry) {
    Scratch& s = ThreadScratch();
    if (!ReadBmsonDocument(bytes, s.doc) || !Arrange(s.doc, s.built)) return false;
    FillInfo(s.doc, s.built.startBpm, entry);
    ChartModel timing;
    timing.WavFile.assign(s.doc.channelNames.size() + 1, std::string());
    Commit(s.built, timing);
    entry.PlayTime = ExtendedPlayTime(timing);
    return true;
}

}  // namespace jov
