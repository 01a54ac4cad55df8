#pragma once
// What the chart reader and the header scan share: reading the file, preparing its
// text, walking its "#" lines, and telling header commands and channel lines apart.
#include <cstdint>
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
class ChartLineReader {
public:
    explicit ChartLineReader(std::string_view bytes);
    bool Next(std::u32string_view& line);

private:
    bool NextPiece();

    std::string_view rest_;  // bytes not decoded yet
    ChartEncoding encoding_;
    bool whole_ = false;     // UTF-16: decoded in one piece
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
bool ApplyCommonHeader(ChartInfo& info, std::u32string_view line, HeaderCommand command);

struct ChannelLine {
    int32_t measure = 0;
    int32_t channel = 0;
    std::u32string_view data;  // from position 7, untrimmed
};

// Measure and channel of a line starting with a digit; nullopt when the measure lies
// outside 0..999 (the line is then ignored entirely).
std::optional<ChannelLine> ReadChannelLine(std::u32string_view line);

// Calls f(offset, value) for every object pair of a channel's data ("00" skipped).
template <typename F>
void ForEachObject(std::u32string_view data, F&& f);

// Key-sound number of a two-character code: round(Val("&H" & code)).
int32_t ObjectValue(std::u32string_view code);
// Offset of pair k with the Single step 192 / n.
int32_t ObjectOffset(float step, size_t k);

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
