#pragma once
// Which reading a chart gets: Classic, Extended, or Auto's choice between them. The
// one place the header scan, the chart reader, the tool and the windows ask; nobody
// else looks at the mode.
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace jov {

enum class ReadingMode { Auto, Classic, Extended };

// The reading of charts a run uses, shared by the loader and the header scan.
struct ChartReading {
    ReadingMode mode = ReadingMode::Auto;
    // Draws the #RANDOM numbers; seeded once per run so a run can be repeated.
    std::mt19937 random{1};
};

// Constructs only the Extended reading reads, as bits of a mask.
enum ExtendedConstruct : uint32_t {
    kBase36Slots = 1u << 0,   // a slot or object value that is not two hexadecimal digits
    kTempoSlots = 1u << 1,    // #BPMxx, channel 08
    kStops = 1u << 2,         // #STOPxx, channel 09
    kLongNotes = 1u << 3,     // channels 51-59 and 61-69, #LNOBJ
    kRandomBlocks = 1u << 4,  // the #RANDOM family
    kNoBpm = 1u << 5,         // not a single #BPM line
};

// The constructs of a chart's bytes (one pass over them).
uint32_t ExtendedConstructs(std::string_view bytes);

struct ReadingChoice {
    bool extended = false;
    uint32_t constructs = 0;  // under Auto: what chose Extended

    bool operator==(const ReadingChoice&) const = default;
};

// The reading `bytes` get: Classic with no reading or under Classic, Extended under
// Extended, and under Auto Extended exactly when the chart uses a construct above.
ReadingChoice ChooseReading(const ChartReading* reading, std::string_view bytes);

// The chart files a folder search finds, as name patterns in their order ("*.bms;*.bme",
// except under Classic "*.bml;*.pms", then "*.bmson"). Null reads Classic.
std::string ChartFilePatterns(const ChartReading* reading);

// "auto", "classic", "extended"; and back (nothing for any other text).
const char* ReadingModeName(ReadingMode mode);
std::optional<ReadingMode> ReadingModeNamed(std::string_view name);
// The reading's part of a cache key (the scan and the loudness caches): its mode's name.
std::string ReadingId(const ChartReading& reading);

// "#BPMxx tempos, stops, long notes": the constructs in words.
std::string ConstructNames(uint32_t constructs);
// What a list line's tool tip says of its chart, e.g. "Extended reading: stops".
std::string DescribeReading(ReadingMode mode, const ReadingChoice& choice);

}  // namespace jov
