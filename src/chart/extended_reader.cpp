#include "chart/extended_reader.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <optional>
#include <limits>

#include "chart/conversions.h"

namespace jov {
namespace {

constexpr size_t kMeasures = 1000;       // channel lines name measures 0..999
constexpr double kMaxMeasureLength = 1e6;  // beyond any real chart; keeps positions finite

int32_t Digit36(char32_t c) {
    if (c >= U'0' && c <= U'9') return static_cast<int32_t>(c - U'0');
    if (c >= U'A' && c <= U'Z') return static_cast<int32_t>(c - U'A') + 10;
    if (c >= U'a' && c <= U'z') return static_cast<int32_t>(c - U'a') + 10;
    return -1;
}

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t'; }

// The command word (up to the first blank), upper-cased, and the text after it.
std::u32string Word(std::u32string_view line, std::u32string_view& rest) {
    size_t end = 0;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    rest = line.substr(end);
    return UpperAscii(line.substr(0, end));
}

// #RANDOM and #IF blocks: which lines are read.
class Branches {
public:
    explicit Branches(std::mt19937* random) : random_(random) {}

    // True when the line was a control line (handled here, read or not).
    bool Control(std::u32string_view line) {
        if (line.empty()) return false;
        const char32_t c = line[0] & ~char32_t{0x20};
        if (c != U'R' && c != U'S' && c != U'I' && c != U'E') return false;
        std::u32string_view rest;
        const std::u32string word = Word(line, rest);
        if (word == U"RANDOM" || word == U"SETRANDOM") {
            // A range that is not a positive whole number draws nothing: no #IF matches.
            std::optional<int64_t> value;
            if (Active()) {
                const std::optional<int32_t> n = WholeNumber(rest);
                if (word == U"SETRANDOM")
                    value = n;
                else if (n && *n >= 1)
                    value = Draw(*n);
            }
            frames_.push_back({value, ifs_.size()});
        } else if (word == U"IF") {
            const bool parent = Active();
            const bool match = Matches(rest);
            ifs_.push_back({parent, match, parent && match});
        } else if (word == U"ELSEIF" || word == U"ELSE") {
            if (ifs_.size() <= Base()) return true;
            If& top = ifs_.back();
            const bool match = word == U"ELSE" || Matches(rest);
            top.active = top.parentActive && !top.taken && match;
            top.taken = top.taken || match;
        } else if (word == U"ENDIF") {
            if (ifs_.size() > Base()) ifs_.pop_back();
        } else if (word == U"ENDRANDOM") {
            if (frames_.empty()) return true;
            ifs_.resize(frames_.back().ifBase);
            frames_.pop_back();
        } else {
            return false;
        }
        return true;
    }

    bool Active() const { return ifs_.empty() || ifs_.back().active; }

private:
    struct Frame {
        std::optional<int64_t> value;
        size_t ifBase;  // the #IF blocks open when the frame began
    };
    struct If {
        bool parentActive;
        bool taken;
        bool active;
    };

    size_t Base() const { return frames_.empty() ? 0 : frames_.back().ifBase; }
    bool Matches(std::u32string_view rest) const {
        auto n = WholeNumber(rest);
        return n && !frames_.empty() && frames_.back().value && *frames_.back().value == *n;
    }
    int64_t Draw(int64_t n) {
        if (!random_) return 1;
        const double r = static_cast<double>((*random_)()) / 4294967296.0;
        return std::min<int64_t>(n, static_cast<int64_t>(std::floor(r * static_cast<double>(n))) + 1);
    }

    std::mt19937* random_;
    std::vector<Frame> frames_;
    std::vector<If> ifs_;
};

enum class ValueKind { None, Hex, Base36 };

ValueKind KindOf(int32_t ch, bool timingOnly) {
    if (ch == kChannelTempo) return ValueKind::Hex;
    if (ch == kChannelExtendedTempo || ch == kChannelStop) return ValueKind::Base36;
    if (timingOnly) return ValueKind::None;
    if (ch == 1 || (ch >= 11 && ch <= 19) || (ch >= 21 && ch <= 29) || (ch >= 51 && ch <= 59) || (ch >= 61 && ch <= 69))
        return ValueKind::Base36;
    return ValueKind::None;
}

void ReadObjects(ExtendedWalk& w, const ChartLineReader& reader, const ChannelLine& cl, ValueKind kind) {
    auto read = [&](std::u32string_view pair, size_t k, size_t n) {
        if (pair[0] == U'0' && pair[1] == U'0') return;
        int32_t value = kind == ValueKind::Hex ? ObjectValue(pair) : Base36(pair);
        if (value <= 0) return;
        w.objects.push_back({cl.measure, cl.channel, value, static_cast<uint32_t>(k), static_cast<uint32_t>(n)});
    };
    if (reader.LineIsLong()) return ForEachDataPair(reader, cl, read);
    const std::u32string_view data = cl.data;
    const size_t n = data.size() / 2;
    for (size_t k = 0; k < n; ++k) read(data.substr(2 * k, 2), k, n);
}

// #BPMxx, #STOPxx, #LNOBJ; false for every other header line.
bool ExtendedHeader(ExtendedWalk& w, std::u32string_view line) {
    if (line.size() < 4) return false;
    const std::u32string head = UpperAscii(line.substr(0, 5));
    if (head.starts_with(U"BPM") && !IsBlank(line[3])) {
        const int32_t slot = line.size() >= 5 ? Base36(line.substr(3, 2)) : -1;
        if (slot < 0) return true;
        if (auto v = WholeNumberDouble(Trim(Mid(line, 7))); v && *v > 0 && *v <= std::numeric_limits<float>::max())
            w.bpmDefs[slot] = *v;  // the tempo in force is a single
        return true;
    }
    if (head.starts_with(U"STOP") && line.size() >= 6) {
        const int32_t slot = Base36(line.substr(4, 2));
        if (slot < 0) return true;
        if (auto v = WholeNumberDouble(Trim(Mid(line, 8))); v && *v >= 0 && std::isfinite(*v)) w.stopDefs[slot] = *v;
        return true;
    }
    if (head == U"LNOBJ") {
        w.lnObj = Base36(Trim(Mid(line, 7)));
        return true;
    }
    return false;
}

// Tie order at one exact position.
int Rank(int32_t channel) {
    switch (channel) {
        case kChannelBarLine: return 0;
        case kChannelTempo: return 1;
        case kChannelExtendedTempo: return 2;
        case kChannelStop: return 4;
        default: return 3;
    }
}

struct Item {
    double tick;
    uint32_t seq;
    int32_t rank;
    int32_t measure;
    int32_t channel;
    int32_t value;
    int32_t offset;
    double amount;
};

}  // namespace

int32_t Base36(std::u32string_view code) {
    if (code.size() != 2) return -1;
    const int32_t hi = Digit36(code[0]);
    const int32_t lo = Digit36(code[1]);
    return hi < 0 || lo < 0 ? -1 : hi * 36 + lo;
}

void WalkExtended(std::string_view bytes, std::mt19937* random, bool timingOnly, ExtendedWalk& w,
                  const ExtendedHeaderSink& header) {
    w.lengths.assign(kMeasures, 0.0);
    w.bpmDefs.assign(kKeySoundSlotsExtended, 0.0);
    w.stopDefs.assign(kKeySoundSlotsExtended, -1.0);
    Branches branches(random);
    ChartLineReader lines(bytes);
    std::u32string_view line;
    while (lines.Next(line)) {
        if (branches.Control(line) || !branches.Active()) continue;
        if (!line.empty() && line[0] >= U'0' && line[0] <= U'9') {
            auto cl = ReadChannelLine(line);
            if (!cl) continue;
            if (cl->measure > w.maxMeasure) w.maxMeasure = cl->measure;
            if (cl->channel == 2) {
                if (auto v = Val(cl->data)) w.lengths[static_cast<size_t>(cl->measure)] = *v;
            } else if (ValueKind kind = KindOf(cl->channel, timingOnly); kind != ValueKind::None) {
                ReadObjects(w, lines, *cl, kind);
            }
            continue;
        }
        if (ExtendedHeader(w, line)) continue;
        const HeaderCommand cmd = MatchHeader(line);
        header(lines, line, cmd, cmd == HeaderCommand::Wav ? Base36(Mid(line, 4, 2)) : -1);
    }
}

void BuildExtendedEvents(ExtendedWalk& w, ChartModel& m) {
    m.MaxMeasure = w.maxMeasure + 2;
    const auto last = static_cast<size_t>(m.MaxMeasure);
    std::vector<double> start(last + 2, 0.0);
    std::vector<double> span(last + 1, 192.0);
    for (size_t i = 0; i <= last; ++i) {
        double len = i < w.lengths.size() ? w.lengths[i] : 0.0;
        if (!(len > 0.0) || !std::isfinite(len)) len = 1.0;
        len = std::min(len, kMaxMeasureLength);
        if (i < m.MeasureLength.size()) m.MeasureLength[i] = static_cast<float>(len);
        span[i] = 192.0 * len;
        start[i + 1] = start[i] + span[i];
    }

    // Objects of different measures never share a position (lengths are positive), so
    // the items go into their measure's bucket first and only each bucket is sorted.
    std::vector<uint32_t> bucketStart(last + 2, 0);
    for (size_t i = 0; i <= last; ++i) ++bucketStart[i + 1];
    for (const RawObject& o : w.objects) ++bucketStart[static_cast<size_t>(o.measure) + 1];
    for (size_t i = 1; i < bucketStart.size(); ++i) bucketStart[i] += bucketStart[i - 1];
    std::vector<uint32_t> fill(bucketStart.begin(), bucketStart.end() - 1);
    std::vector<Item> items(bucketStart.back());
    for (size_t i = 0; i <= last; ++i)
        items[fill[i]++] = {start[i], 0, 0, static_cast<int32_t>(i), kChannelBarLine, 0, 0, 0.0};
    uint32_t seq = 0;
    size_t skipped = 0;
    for (const RawObject& o : w.objects) {
        ++seq;
        double amount = 0.0;
        if (o.channel == kChannelTempo) amount = o.value;
        if (o.channel == kChannelExtendedTempo) amount = w.bpmDefs[static_cast<size_t>(o.value)];
        if (o.channel == kChannelStop) amount = w.stopDefs[static_cast<size_t>(o.value)];
        const auto mi = static_cast<size_t>(o.measure);
        // Tempo and stop objects that name nothing defined change nothing.
        if ((o.channel == kChannelTempo || o.channel == kChannelExtendedTempo || o.channel == kChannelStop) &&
            !(amount > 0.0)) {
            items[fill[mi]++] = {0.0, seq, -1, o.measure, 0, 0, 0, 0.0};  // rank -1: dropped below
            ++skipped;
            continue;
        }
        const double fraction = static_cast<double>(o.k) / static_cast<double>(o.n);
        const int32_t offset = RoundToInt32(192.0 * fraction).value_or(0);
        items[fill[mi]++] = {start[mi] + span[mi] * fraction, seq, Rank(o.channel), o.measure, o.channel, o.value,
                             offset, amount};
    }
    if (skipped) items.erase(std::remove_if(items.begin(), items.end(), [](const Item& it) { return it.rank < 0; }),
                             items.end());
    auto before = [](const Item& a, const Item& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        if (a.rank != b.rank) return a.rank < b.rank;
        return a.seq < b.seq;
    };
    // Buckets shift by the removed items, so sort runs of one measure as they now stand.
    for (size_t lo = 0; lo < items.size();) {
        size_t hi = lo + 1;
        while (hi < items.size() && items[hi].measure == items[lo].measure) ++hi;
        if (!std::is_sorted(items.begin() + lo, items.begin() + hi, before))
            std::sort(items.begin() + lo, items.begin() + hi, before);
        lo = hi;
    }

    // At one position of one channel the later line wins (channel 01 layers all sound):
    // walk each run of equal positions backwards and drop what a later object hides.
    std::vector<bool> dropped(items.size(), false);
    for (size_t runEnd = items.size(); runEnd > 0;) {
        size_t runStart = runEnd - 1;
        while (runStart > 0 && items[runStart - 1].tick == items[runEnd - 1].tick) --runStart;
        if (runEnd - runStart > 1) {
            std::bitset<128> seen;
            for (size_t i = runEnd; i-- > runStart;) {
                const int32_t ch = items[i].channel;
                if (ch == kChannelBarLine || ch == kChannelBackground) continue;
                const auto bit = static_cast<size_t>(ch);
                if (seen[bit]) dropped[i] = true;
                seen.set(bit);
            }
        }
        runEnd = runStart;
    }

    // Long notes: on 51-59/61-69 starts and ends alternate; an #LNOBJ object ends one.
    std::bitset<128> open;
    m.Events.clear();
    m.Events.reserve(items.size());
    m.Extended.ExactTick.clear();
    m.Extended.ExactTick.reserve(items.size());
    m.Extended.Amount.clear();
    m.Extended.Amount.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        if (dropped[i]) continue;
        Item& it = items[i];
        if ((it.channel >= 51 && it.channel <= 59) || (it.channel >= 61 && it.channel <= 69)) {
            const auto bit = static_cast<size_t>(it.channel);
            open.flip(bit);
            if (!open[bit]) continue;  // the end is silent
        }
        if (it.value == w.lnObj && ((it.channel >= 11 && it.channel <= 19) || (it.channel >= 21 && it.channel <= 29)))
            continue;
        if (it.channel >= 21 && it.channel <= 29) it.channel = kChannelBackground;
        ChartEvent e;
        e.Measure = it.measure;
        e.Tick = RoundToInt32(it.tick).value_or(it.tick > 0 ? INT32_MAX : INT32_MIN);
        e.Offset = it.offset;
        e.Channel = it.channel;
        e.Value = it.value;
        m.Events.push_back(e);
        m.Extended.ExactTick.push_back(it.tick);
        m.Extended.Amount.push_back(it.amount);
    }
    m.EventCount = static_cast<int32_t>(m.Events.size());
    m.Extended.active = true;
    m.Extended.LastTick = start[last];
    if (!m.Events.empty()) m.LastTick = m.Events.back().Tick;
}

}  // namespace jov
