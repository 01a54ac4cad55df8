// Auto's rule. Auto reads a chart the Extended way when any of these appears in it, else
// the Classic way: a #WAVxx/#BMPxx slot or an object value on any channel whose two
// characters are not both hexadecimal digits; a #BPMxx line or an object on channel 08;
// a #STOPxx line or an object on channel 09; an object on channels 51-59 or 61-69, or an
// #LNOBJ line; a line of the #RANDOM family (#RANDOM, #SETRANDOM, #IF, #ELSEIF, #ELSE,
// #ENDIF, #ENDRANDOM); no #BPM line. Lines are recognised as the Classic reader recognises
// them. So every chart the Classic reading can read keeps its Classic behaviour, and a
// chart using more no longer plays plainly wrong.
//
// The pass works on the bytes, not on decoded text: line breaks, "#" and every character
// the rule looks at are ASCII, and in UTF-8 and code page 932 those bytes are always
// characters of their own. Only a channel line holding other bytes is decoded (its pairs
// count characters), and UTF-16 text is decoded whole.
#include "chart/reading.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "chart/chart_text.h"
#include "chart/text_decode.h"

namespace jov {
namespace {

enum : uint8_t { kHex = 1, kBreak = 2, kHigh = 4, kBlank = 8 };

constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> t{};
    for (int c = '0'; c <= '9'; ++c) t[c] = kHex;
    for (int c = 'A'; c <= 'F'; ++c) t[c] = kHex;
    for (int c = 'a'; c <= 'f'; ++c) t[c] = kHex;
    t['\r'] = kBreak;
    t['\n'] = kBreak;
    t[' '] = kBlank;
    t['\t'] = kBlank;
    for (int c = 0x80; c < 0x100; ++c) t[c] = kHigh;
    return t;
}
constexpr std::array<uint8_t, 256> kClass = MakeClasses();

template <typename C>
uint8_t ClassOf(C c) {
    if constexpr (sizeof(C) == 1) return kClass[static_cast<unsigned char>(c)];
    else return c < 0x80 ? kClass[c] : uint8_t{kHigh};
}

template <typename C>
C Upper(C c) { return c >= 'a' && c <= 'z' ? static_cast<C>(c - 0x20) : c; }

// Case-insensitive: does `line` start with the upper-case ASCII `word`?
template <typename C>
bool StartsWith(std::basic_string_view<C> line, std::string_view word) {
    if (line.size() < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (Upper(line[i]) != static_cast<C>(word[i])) return false;
    return true;
}

template <typename C>
bool IsHexPair(std::basic_string_view<C> line, size_t at) {
    return line.size() >= at + 2 && ClassOf(line[at]) == kHex && ClassOf(line[at + 1]) == kHex;
}

// The #RANDOM family as the Extended reader takes it: the command word up to the first blank.
template <typename C>
bool IsRandomFamily(std::basic_string_view<C> line) {
    size_t end = 0;
    while (end < line.size() && ClassOf(line[end]) != kBlank) ++end;
    static constexpr std::string_view kWords[] = {"RANDOM", "SETRANDOM", "IF", "ELSEIF", "ELSE", "ENDIF", "ENDRANDOM"};
    for (std::string_view w : kWords)
        if (end == w.size() && StartsWith(line, w)) return true;
    return false;
}

bool IsLongNoteChannel(int32_t channel) { return (channel >= 51 && channel <= 59) || (channel >= 61 && channel <= 69); }
// Channels whose every object is a construct of its own.
bool IsMarkChannel(int32_t channel) { return channel == 8 || channel == 9 || IsLongNoteChannel(channel); }

class ConstructScan {
public:
    explicit ConstructScan(std::string_view whole) : whole_(whole) {}

    uint32_t Result() const { return found_ | (bpmLine_ ? 0u : uint32_t{kNoBpm}); }
    bool Found(uint32_t bits) const { return (found_ & bits) == bits; }

    template <typename C>
    void Header(std::basic_string_view<C> line) {
        if (line.empty()) return;
        switch (Upper(line[0])) {
            case 'W':
            case 'B':
                if (StartsWith(line, "WAV") || StartsWith(line, "BMP")) {
                    if (!IsHexPair(line, 3)) found_ |= kBase36Slots;
                } else if (StartsWith(line, "BPM")) {
                    // "#BPM 150" sets the tempo; anything else after the word names a slot.
                    if (line.size() > 3 && ClassOf(line[3]) != kBlank) found_ |= kTempoSlots;
                    else bpmLine_ = true;
                }
                return;
            case 'S':
                if (StartsWith(line, "STOP")) found_ |= kStops;
                else if (IsRandomFamily(line)) found_ |= kRandomBlocks;
                return;
            case 'L':
                if (StartsWith(line, "LNOBJ")) found_ |= kLongNotes;
                return;
            case 'R':
            case 'I':
            case 'E':
                if (IsRandomFamily(line)) found_ |= kRandomBlocks;
                return;
            default: return;
        }
    }

    // A line starting with a digit.
    template <typename C>
    void Channel(std::basic_string_view<C> line) {
        if constexpr (sizeof(C) == 1) {
            for (C c : line)
                if (ClassOf(c) == kHigh) return Decoded(line);
        }
        if (line.size() >= 5 && IsDigit(line[1]) && IsDigit(line[2]) && IsDigit(line[3]) && IsDigit(line[4])) {
            // Three digits: a measure in range. The channel's two digits, the data from position 7.
            const int32_t channel = static_cast<int32_t>(line[3] - '0') * 10 + static_cast<int32_t>(line[4] - '0');
            return Objects(channel, line.size() > 6 ? line.substr(6) : std::basic_string_view<C>());
        }
        std::u32string text;
        for (C c : line) text += static_cast<char32_t>(c);
        auto cl = ReadChannelLine(text);
        if (cl) Objects(cl->channel, cl->data);
    }

private:
    template <typename C>
    static bool IsDigit(C c) { return c >= '0' && c <= '9'; }

    template <typename C>
    void Objects(int32_t channel, std::basic_string_view<C> data) {
        if (channel == 2) return;  // a measure's length, not objects
        const uint32_t mark = channel == 8                ? kTempoSlots
                              : channel == 9              ? kStops
                              : IsLongNoteChannel(channel) ? kLongNotes
                                                          : 0u;
        const uint32_t all = kBase36Slots | mark;
        const size_t n = data.size() / 2;
        for (size_t k = 0; k < n && (found_ & all) != all; ++k) {
            const C a = data[2 * k];
            const C b = data[2 * k + 1];
            if (ClassOf(a) & ClassOf(b) & kHex) {
                if (a == '0' && b == '0') continue;
            } else {
                found_ |= kBase36Slots;
            }
            found_ |= mark;
        }
    }

    // A channel line holding bytes beyond ASCII: its characters, as the reader decodes them.
    void Decoded(std::string_view line) {
        if (!encoding_) encoding_ = DetectChartEncoding(whole_);
        decoded_.clear();
        AppendDecodedPiece(line, *encoding_, decoded_);
        Channel(std::u32string_view(decoded_));
    }

    std::string_view whole_;
    std::optional<ChartEncoding> encoding_;
    std::u32string decoded_;
    uint32_t found_ = 0;
    bool bpmLine_ = false;
};

template <typename C>
void ScanLine(ConstructScan& scan, std::basic_string_view<C> line) {
    if (!line.empty() && line[0] >= '0' && line[0] <= '9') scan.Channel(line);
    else scan.Header(line);
}

bool IsBreakByte(char c) { return c == '\r' || c == '\n'; }
bool IsDigitByte(char c) { return c >= '0' && c <= '9'; }

// The first byte from p on that is not a hexadecimal digit (or end).
const char* SkipHex(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i belowZero = _mm_set1_epi8('0' - 1), aboveNine = _mm_set1_epi8('9' + 1);
    const __m128i belowA = _mm_set1_epi8('a' - 1), aboveF = _mm_set1_epi8('f' + 1), caseBit = _mm_set1_epi8(0x20);
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(v, belowZero), _mm_cmplt_epi8(v, aboveNine));
        const __m128i low = _mm_or_si128(v, caseBit);
        const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(low, belowA), _mm_cmplt_epi8(low, aboveF));
        const int other = ~_mm_movemask_epi8(_mm_or_si128(digit, letter)) & 0xFFFF;
        if (other) return p + __builtin_ctz(static_cast<unsigned>(other));
    }
#endif
    while (p < end && kClass[static_cast<unsigned char>(*p)] == kHex) ++p;
    return p;
}

// The first CR or LF from p on (or end).
const char* SkipToBreak(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hit = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (hit) return p + __builtin_ctz(static_cast<unsigned>(hit));
    }
#endif
    while (p < end && !IsBreakByte(*p)) ++p;
    return p;
}

// Scans the line that starts at r (after its "#") and returns where it ends. Nearly every
// byte of a chart is the data of a channel line of hexadecimal pairs: those are passed
// sixteen at a time, and only a line holding anything else is looked at character by character.
size_t ScanLineAt(ConstructScan& scan, const char* p, size_t r, size_t n) {
    const char* end = p + n;
    if (r + 6 <= n && IsDigitByte(p[r]) && IsDigitByte(p[r + 1]) && IsDigitByte(p[r + 2]) && IsDigitByte(p[r + 3]) &&
        IsDigitByte(p[r + 4]) && !IsBreakByte(p[r + 5])) {
        const int channel = (p[r + 3] - '0') * 10 + (p[r + 4] - '0');
        if (channel != 2 && !IsMarkChannel(channel)) {
            const char* data = p + r + 6;
            if (scan.Found(kBase36Slots)) return static_cast<size_t>(SkipToBreak(data, end) - p);
            const char* q = SkipHex(data, end);
            if (q == end || IsBreakByte(*q)) return static_cast<size_t>(q - p);
        }
    }
    const size_t lineEnd = static_cast<size_t>(SkipToBreak(p + r, end) - p);
    ScanLine(scan, std::string_view(p + r, lineEnd - r));
    return lineEnd;
}

}  // namespace

uint32_t ExtendedConstructs(std::string_view bytes) {
    ConstructScan scan(bytes);
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        ChartLineReader lines(bytes);  // UTF-16: as the reader walks it
        std::u32string_view line;
        while (lines.Next(line)) ScanLine(scan, line);
        return scan.Result();
    }
    std::string_view text = bytes;
    if (size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    // A byte-order mark is dropped only from valid UTF-8; otherwise its bytes begin the first line.
    if (text.starts_with("\xEF\xBB\xBF") && DetectChartEncoding(bytes) == ChartEncoding::Utf8) text.remove_prefix(3);

    const char* p = text.data();
    const size_t n = text.size();
    auto nextBreak = [&](size_t i) { return static_cast<size_t>(SkipToBreak(p + i, p + n) - p); };
    // Every line the walk yields starts after a line break (or the text's start) with "#".
    size_t i = 0;
    while (i < n) {
        if (p[i] == '#') {
            const size_t r = i + 1;
            if (r < n && (p[r] == '\r' || p[r] == '\n')) {
                // A lone "#" takes the next line as its text, which then starts with the
                // line break and is no command at all.
                const size_t j = r + (p[r] == '\r' && r + 1 < n && p[r + 1] == '\n' ? 2 : 1);
                i = nextBreak(j);
            } else {
                i = ScanLineAt(scan, p, r, n);
            }
        } else {
            i = nextBreak(i);
        }
        // Past the line break: CR LF, a lone CR or a lone LF each end one line.
        if (i < n && p[i] == '\r' && i + 1 < n && p[i + 1] == '\n') ++i;
        ++i;
    }
    return scan.Result();
}

ReadingChoice ChooseReading(const ChartReading* reading, std::string_view bytes) {
    ReadingChoice choice;
    if (!reading || reading->mode == ReadingMode::Classic) return choice;
    if (reading->mode == ReadingMode::Extended) {
        choice.extended = true;
        return choice;
    }
    choice.constructs = ExtendedConstructs(bytes);
    choice.extended = choice.constructs != 0;
    return choice;
}

std::string ChartFilePatterns(const ChartReading* reading) {
    // Both are BMS text too; the Classic reading keeps to the two names it always knew.
    // bmson has one meaning, so every reading finds it, after the BMS family.
    if (!reading || reading->mode == ReadingMode::Classic) return "*.bms;*.bme;*.bmson";
    return "*.bms;*.bme;*.bml;*.pms;*.bmson";
}

const char* ReadingModeName(ReadingMode mode) {
    switch (mode) {
        case ReadingMode::Classic: return "classic";
        case ReadingMode::Extended: return "extended";
        case ReadingMode::Auto: break;
    }
    return "auto";
}

std::optional<ReadingMode> ReadingModeNamed(std::string_view name) {
    for (ReadingMode m : {ReadingMode::Auto, ReadingMode::Classic, ReadingMode::Extended})
        if (name == ReadingModeName(m)) return m;
    return std::nullopt;
}

std::string ReadingId(const ChartReading& reading) { return ReadingModeName(reading.mode); }

std::string ConstructNames(uint32_t constructs) {
    static constexpr struct {
        uint32_t bit;
        const char* name;
    } kNames[] = {
        {kBase36Slots, "base-36 slots"}, {kTempoSlots, "#BPMxx tempos"}, {kStops, "stops"},
        {kLongNotes, "long notes"},      {kRandomBlocks, "#RANDOM blocks"}, {kNoBpm, "no #BPM"},
    };
    std::string text;
    for (const auto& e : kNames) {
        if (!(constructs & e.bit)) continue;
        if (!text.empty()) text += ", ";
        text += e.name;
    }
    return text;
}

std::string DescribeReading(ReadingMode mode, const ReadingChoice& choice) {
    if (!choice.extended) return "Classic reading";
    if (mode != ReadingMode::Auto || choice.constructs == 0) return "Extended reading";
    return "Extended reading: " + ConstructNames(choice.constructs);
}

}  // namespace jov
