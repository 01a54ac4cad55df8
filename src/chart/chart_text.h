#pragma once
// What the chart reader and the header scan share: reading the file, preparing its
// text, walking its "#" lines, and telling header commands and channel lines apart.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "chart/chart_model.h"
#include "chart/text_decode.h"

namespace jov {

// The file's bytes (anything but a regular file reads as nothing, so a device or a pipe
// can neither hang nor flood the reader; so does a file over 256 MiB, far beyond any
// chart, or one that grows while it is read).
std::string ReadFileBytes(const std::string& path);

// The path up to and including its last "/"; empty when it has none.
std::string ChartFolder(const std::string& path);

// Yields the text after each CR LF "#": from there to the first CR LF found strictly
// after the line's first character (so a line holding only "#" takes the next line).
class LineWalker {
public:
    explicit LineWalker(std::u32string_view text);
    bool Next(std::u32string_view& line);

private:
    std::u32string_view text_;
    size_t readPos_;
};

// The "#" lines of a chart's bytes as LineWalker yields them from the decoded text, cut at
// its first NUL, every CR LF, lone CR and lone LF made a CR LF, and a CR LF put in front.
// The text is decoded and walked a piece at a time, so the work per byte stays the same
// however large the file; a line stays valid until the next call.
//
// A line longer than kLongLineBytes is never decoded whole (it would take four times its
// size, twice): Next() yields only its first characters, and the functions below walk
// all of it in bounded pieces.
class ChartLineReader {
public:
    static constexpr size_t kLongLineBytes = size_t{1} << 20;
    static constexpr size_t kLongLineHeadBytes = size_t{16} << 10;

    explicit ChartLineReader(std::string_view bytes);
    bool Next(std::u32string_view& line);

    bool LineIsLong() const { return long_.data() != nullptr; }
    size_t LongLineBytes() const { return long_.size(); }
    // Characters in the current long line.
    size_t LongLineLength() const;
    // Calls f with the current long line's characters from index `from` (0-based) on, a
    // bounded piece at a time.
    void ForEachLongPiece(size_t from, const std::function<void(std::u32string_view)>& f) const;

private:
    bool NextPiece();
    bool TakeLongLine(size_t end);

    std::string_view rest_;  // bytes not decoded yet
    std::string_view long_;  // the current long line's bytes after its "#" (null: none)
    ChartEncoding encoding_;
    std::string utf8_;       // UTF-16 text, as UTF-8
    std::u32string decoded_;
    std::u32string text_;
    LineWalker walker_{std::u32string_view()};
};

enum class HeaderCommand { None, Wav, Bmp, Stage, Title, Artist, Genre, Bpm, Rank, Total, VolWav, Midi, Player, PlayLevel };

// By the upper-cased first three characters, then the first six.
HeaderCommand MatchHeader(std::u32string_view line);
// The value position of each command (from 1): the command word's length plus 2.
size_t ValueStart(HeaderCommand command);
// Trim(text from the command's value position), as UTF-8.
std::string HeaderText(std::u32string_view line, HeaderCommand command);
// The header members the reader and the scan set alike (title, artist, genre, tempo and
// the whole numbers); false for the other commands. A failed conversion keeps the member.
// Texts of a long line are read whole through `reader`; numbers from its first characters.
bool ApplyCommonHeader(ChartInfo& info, std::u32string_view line, HeaderCommand command,
                       const ChartLineReader* reader = nullptr);

struct ChannelLine {
    int32_t measure = 0;
    int32_t channel = 0;
    std::u32string_view data;  // from position 7, untrimmed
};

// Measure and channel of a line starting with a digit; nullopt when the measure lies
// outside 0..999 (the line is then ignored entirely).
std::optional<ChannelLine> ReadChannelLine(std::u32string_view line);

// Every character pair of a channel line's data, long or not: f(pair, k, n) for pair k of n.
void ForEachDataPair(const ChartLineReader& reader, const ChannelLine& line,
                     const std::function<void(std::u32string_view pair, size_t k, size_t n)>& f);
// Trim(text from the command's value position) of the current line, as UTF-8.
std::string HeaderText(const ChartLineReader& reader, std::u32string_view line, HeaderCommand command);

// Calls f(offset, value) for every object pair of a channel's data ("00" skipped).
template <typename F>
void ForEachObject(std::u32string_view data, F&& f);

// Key-sound number of a two-character code: round(Val("&H" & code)).
int32_t ObjectValue(std::u32string_view code);
// Offset of pair k with the Single step 192 / n.
int32_t ObjectOffset(float step, size_t k);

// The same over the reader's current line, long or not.
template <typename F>
void ForEachLineObject(const ChartLineReader& reader, const ChannelLine& line, F&& f) {
    if (!reader.LineIsLong()) return ForEachObject(line.data, f);
    float step = 0.0f;
    ForEachDataPair(reader, line, [&](std::u32string_view pair, size_t k, size_t n) {
        if (k == 0) step = static_cast<float>(192.0 / static_cast<double>(n));
        if (pair[0] == U'0' && pair[1] == U'0') return;
        f(ObjectOffset(step, k), ObjectValue(pair));
    });
}

template <typename F>
void ForEachObject(std::u32string_view data, F&& f) {
    size_t n = data.size() / 2;
    if (n == 0) return;
    float step = static_cast<float>(192.0 / static_cast<double>(n));
    for (size_t k = 0; k < n; ++k) {
        std::u32string_view pair = data.substr(2 * k, 2);
        if (pair[0] == U'0' && pair[1] == U'0') continue;
        f(ObjectOffset(step, k), ObjectValue(pair));
    }
}

}  // namespace jov
