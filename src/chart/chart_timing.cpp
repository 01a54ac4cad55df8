#include "chart/chart_timing.h"

#include <optional>
#include <utility>

#include "chart/conversions.h"

namespace jov {

void AddBarLines(std::vector<ChartEvent>& events, int32_t& maxMeasure, float* lengths, size_t lengthCount) {
    maxMeasure += 2;
    events.reserve(events.size() + static_cast<size_t>(maxMeasure > 0 ? maxMeasure + 1 : 0));
    for (int32_t m = 0; m <= maxMeasure; ++m) {
        if (static_cast<size_t>(m) < lengthCount && lengths[m] == 0.0f) lengths[m] = 1.0f;
        ChartEvent bar;
        bar.Measure = m;
        bar.Tick = m * 192;
        bar.Offset = 0;
        bar.Channel = kChannelBarLine;
        bar.Value = 0;
        events.push_back(bar);
    }
}

void SortEvents(std::vector<ChartEvent>& events) {
    if (events.size() < 2) return;
    // Equal ticks keep the order this exact quicksort leaves them in, so its steps are
    // kept. They run on one array of keys, the tick (made unsigned) above the entry's
    // index: comparing a key with the pivot's tick shifted up, or with all index bits set,
    // compares ticks alone. Each entry moves once at the end.
    const size_t n = events.size();
    auto tickBits = [](int32_t tick) { return static_cast<uint64_t>(static_cast<uint32_t>(tick) ^ 0x80000000u) << 32; };
    std::vector<uint64_t> keys(n);
    for (size_t k = 0; k < n; ++k) keys[k] = tickBits(events[k].Tick) | k;
    uint64_t* key = keys.data();
    auto tickOf = [](uint64_t k) { return k >> 32; };
    std::vector<std::pair<int64_t, int64_t>> stack;
    stack.emplace_back(0, static_cast<int64_t>(n) - 1);
    while (!stack.empty()) {
        auto [lo, hi] = stack.back();
        stack.pop_back();
        if (lo >= hi) continue;
        uint64_t a = tickOf(key[lo]);
        uint64_t m = tickOf(key[(lo + hi) / 2]);
        uint64_t b = tickOf(key[hi]);
        if (m < a) std::swap(m, a);
        if (m > b) {
            std::swap(m, b);
            if (m < a) std::swap(m, a);
        }
        const uint64_t below = m << 32;            // a key under it has a smaller tick
        const uint64_t above = below | 0xFFFFFFFFu;  // a key over it has a greater tick
        int64_t i = lo - 1;
        int64_t j = hi + 1;
        for (;;) {
            do ++i; while (key[i] < below);
            do --j; while (key[j] > above);
            if (i >= j) break;
            std::swap(key[i], key[j]);
        }
        stack.emplace_back(j + 1, hi);
        stack.emplace_back(lo, i - 1);
    }
    std::vector<ChartEvent> sorted;
    sorted.reserve(n);
    for (uint64_t k : keys) sorted.push_back(events[k & 0xFFFFFFFFu]);
    events.swap(sorted);
}

void ScaleEvents(std::vector<ChartEvent>& events, const float* lengths, size_t lengthCount) {
    auto lengthOf = [&](int32_t measure) -> double {
        return measure >= 0 && static_cast<size_t>(measure) < lengthCount ? static_cast<double>(lengths[measure]) : 0.0;
    };
    std::optional<int32_t> current;
    int32_t measureStart = 0;
    for (ChartEvent& e : events) {
        if (!current || e.Measure != *current) {
            if (current) {
                if (auto s = RoundToInt32(static_cast<double>(measureStart) + lengthOf(*current) * 192.0)) measureStart = *s;
            }
            current = e.Measure;
        }
        if (auto t = RoundToInt32(static_cast<double>(measureStart) + static_cast<double>(e.Offset) * lengthOf(*current)))
            e.Tick = *t;
        if (e.Channel >= 21 && e.Channel <= 29) e.Channel = kChannelBackground;
    }
}

int32_t ComputePlayTime(const std::vector<ChartEvent>& events, float bpm) {
    int16_t c = RoundToInt16(bpm).value_or(0);
    double acc = 0.0;
    for (const ChartEvent& e : events) {
        if (e.Channel != kChannelTempo) continue;
        double t = e.Tick;
        if (c != 0) acc = acc - (t - acc) / (c / 1250.0) * static_cast<double>(int64_t{e.Value} - c) / 1250.0;
        if (e.Value >= -32768 && e.Value <= 32767) c = static_cast<int16_t>(e.Value);
    }
    if (c <= 0 || events.empty()) return 0;
    double last = events.back().Tick;
    double result = last / (c / 1250.0) - acc / (c / 1250.0);
    return RoundToInt32(result).value_or(0);
}

int32_t ScanPlayTime(const std::vector<ChartEvent>& events, float bpm) {
    int16_t c = RoundToInt16(bpm).value_or(0);
    double acc = 0.0;
    for (const ChartEvent& e : events) {
        if (e.Channel != kChannelTempo) continue;
        double t = e.Tick;
        if (c != 0) acc = acc - static_cast<double>(int64_t{e.Value} - c) / 1250.0 * ((t - acc) / (c / 1250.0));
        if (e.Value >= -32768 && e.Value <= 32767) c = static_cast<int16_t>(e.Value);
    }
    if (c <= 0 || events.empty()) return 0;
    int64_t last = events.back().Tick;
    double result = static_cast<double>(last * 1250) / c - acc * 1250 / c;
    return RoundToInt32(result).value_or(0);
}

}  // namespace jov
