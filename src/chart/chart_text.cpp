#include "chart/chart_text.h"

#include <algorithm>

#include "chart/conversions.h"
#include "chart/text_decode.h"
#include "shell/file_read.h"

namespace jov {

std::string ReadFileBytes(const std::string& path) {
    return ReadRegularFile(path, kMaxInputBytes).value_or(std::string());
}

namespace {

// Pieces of about this many bytes keep both buffers in the processor's cache.
constexpr size_t kPieceBytes = size_t{64} << 10;

bool IsBreak(char c) { return c == '\n' || c == '\r'; }

// Where to end a piece at or after `from`: just after a line break that ends a line
// other than a lone "#" (which LineWalker joins to the next line). In UTF-8 and code page
// 932 a CR or LF byte is always a character of its own. The whole rest when there is none.
size_t PieceEnd(std::string_view bytes, size_t from) {
    const size_t n = bytes.size();
    for (size_t i = from; i < n; ++i) {
        const char c = bytes[i];
        if (!IsBreak(c)) continue;
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') continue;  // the pair ends at the LF
        size_t lineEnd = c == '\n' && i > 0 && bytes[i - 1] == '\r' ? i - 1 : i;
        bool loneHash = lineEnd >= 1 && bytes[lineEnd - 1] == '#' && (lineEnd == 1 || IsBreak(bytes[lineEnd - 2]));
        if (!loneHash) return i + 1;
    }
    return n;
}

// Where to end a piece before `limit` so that the line running past it starts a piece of
// its own: just after the last line break that ends a line other than a lone "#"; 0 when
// there is none.
size_t LastPieceEnd(std::string_view bytes, size_t limit) {
    for (size_t i = limit; i-- > 0;) {
        const char c = bytes[i];
        if (!IsBreak(c)) continue;
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;  // the pair ends at the LF
        const size_t lineEnd = c == '\n' && i > 0 && bytes[i - 1] == '\r' ? i - 1 : i;
        const bool loneHash = lineEnd >= 1 && bytes[lineEnd - 1] == '#' && (lineEnd == 1 || IsBreak(bytes[lineEnd - 2]));
        if (!loneHash) return i + 1;
    }
    return 0;
}

// Appends "\r\n" and the decoded text with CR LF, lone CR and lone LF each made a CR LF.
void AppendNormalised(std::u32string_view decoded, std::u32string& text) {
    text += U"\r\n";
    // Copied in runs between line ends: one test per character, not a push_back each.
    const char32_t* p = decoded.data();
    const size_t n = decoded.size();
    size_t run = 0;
    for (size_t i = 0; i < n; ++i) {
        const char32_t c = p[i];
        if (c > U'\r' || (c != U'\r' && c != U'\n')) continue;
        text.append(p + run, i - run);
        text += U"\r\n";
        if (c == U'\r' && i + 1 < n && p[i + 1] == U'\n') ++i;
        run = i + 1;
    }
    text.append(p + run, n - run);
}

}  // namespace

ChartLineReader::ChartLineReader(std::string_view bytes) : rest_(bytes), encoding_(DetectChartEncoding(bytes)) {
    if (encoding_ == ChartEncoding::Utf16LE || encoding_ == ChartEncoding::Utf16BE) {
        // As UTF-8, it is read in pieces as any other: never four bytes a character at once.
        utf8_ = Utf16ToUtf8(bytes.substr(2), encoding_ == ChartEncoding::Utf16BE);
        rest_ = utf8_;
        encoding_ = ChartEncoding::Utf8;
    } else if (encoding_ == ChartEncoding::Utf8 && rest_.substr(0, 3) == "\xEF\xBB\xBF") {
        rest_.remove_prefix(3);
    }
    // Only a NUL byte decodes to U+0000 in these encodings, and the text ends there.
    if (size_t nul = rest_.find('\0'); nul != std::string_view::npos) rest_ = rest_.substr(0, nul);
}

bool ChartLineReader::NextPiece() {
    if (rest_.empty()) return false;
    decoded_.clear();
    long_ = {};
    const size_t end = PieceEnd(rest_, std::min(kPieceBytes, rest_.size()));
    if (end > kLongLineBytes) return TakeLongLine(end);
    AppendDecodedPiece(rest_.substr(0, end), encoding_, decoded_);
    rest_.remove_prefix(end);
    text_.clear();
    AppendNormalised(decoded_, text_);
    walker_ = LineWalker(text_);
    return true;
}

// The piece holds a line too long to decode whole. The lines before it go as a piece of
// their own; the long line itself yields its head, and its bytes are kept for the walks.
bool ChartLineReader::TakeLongLine(size_t end) {
    const size_t start = LastPieceEnd(rest_, std::min(kPieceBytes, rest_.size()));
    if (start > 0) {
        AppendDecodedPiece(rest_.substr(0, start), encoding_, decoded_);
        rest_.remove_prefix(start);
        text_.clear();
        AppendNormalised(decoded_, text_);
        walker_ = LineWalker(text_);
        return true;
    }
    // rest_ starts the line; it ends at its first line break.
    size_t contentEnd = end;
    while (contentEnd > 0 && IsBreak(rest_[contentEnd - 1])) --contentEnd;
    const std::string_view line = rest_.substr(0, contentEnd);
    rest_.remove_prefix(end);
    text_.clear();
    // Only a line starting "#" is walked; one joined to a lone "#" before it starts with a
    // line break and is no command either.
    if (line.size() >= 2 && line[0] == '#' && !IsBreak(line[1])) {
        long_ = line.substr(1);
        AppendDecodedPiece(long_.substr(0, CharBoundary(long_, kLongLineHeadBytes, encoding_)), encoding_, decoded_);
        text_ = U"\r\n#";
        text_ += decoded_;
    }
    walker_ = LineWalker(text_);
    return true;
}

size_t ChartLineReader::LongLineLength() const {
    size_t n = 0;
    ForEachLongPiece(0, [&](std::u32string_view piece) { n += piece.size(); });
    return n;
}

void ChartLineReader::ForEachLongPiece(size_t from, const std::function<void(std::u32string_view)>& f) const {
    std::string_view rest = long_;
    std::u32string piece;
    size_t skip = from;
    while (!rest.empty()) {
        const size_t cut = CharBoundary(rest, kPieceBytes, encoding_);
        piece.clear();
        AppendDecodedPiece(rest.substr(0, cut), encoding_, piece);
        rest.remove_prefix(cut);
        if (skip >= piece.size()) {
            skip -= piece.size();
            continue;
        }
        f(std::u32string_view(piece).substr(skip));
        skip = 0;
    }
}

void ForEachDataPair(const ChartLineReader& reader, const ChannelLine& line,
                     const std::function<void(std::u32string_view pair, size_t k, size_t n)>& f) {
    if (!reader.LineIsLong()) {
        const size_t n = line.data.size() / 2;
        for (size_t k = 0; k < n; ++k) f(line.data.substr(2 * k, 2), k, n);
        return;
    }
    // The data starts at the line's seventh character.
    const size_t length = reader.LongLineLength();
    const size_t n = length > 6 ? (length - 6) / 2 : 0;
    size_t k = 0;
    char32_t pair[2];
    size_t held = 0;
    reader.ForEachLongPiece(6, [&](std::u32string_view piece) {
        for (char32_t c : piece) {
            if (k >= n) return;
            pair[held++] = c;
            if (held < 2) continue;
            held = 0;
            f(std::u32string_view(pair, 2), k, n);
            ++k;
        }
    });
}

std::string HeaderText(const ChartLineReader& reader, std::u32string_view line, HeaderCommand command) {
    if (!reader.LineIsLong()) return HeaderText(line, command);
    std::string text;
    text.reserve(reader.LongLineBytes());  // about its size in UTF-8: no growing by copies
    reader.ForEachLongPiece(ValueStart(command) - 1, [&](std::u32string_view piece) {
        for (char32_t c : piece) AppendUtf8(text, c);
    });
    const std::string_view trimmed = Trim(std::string_view(text));
    text.erase(0, static_cast<size_t>(trimmed.data() - text.data()));
    text.resize(trimmed.size());
    return text;
}

bool ChartLineReader::Next(std::u32string_view& line) {
    while (!walker_.Next(line))
        if (!NextPiece()) return false;
    return true;
}

std::string ChartFolder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

LineWalker::LineWalker(std::u32string_view text) : text_(text) {
    size_t p = text_.find(U"\r\n#");
    readPos_ = p == std::u32string_view::npos ? std::u32string_view::npos : p + 3;
}

bool LineWalker::Next(std::u32string_view& line) {
    if (readPos_ == std::u32string_view::npos) return false;
    size_t r = readPos_;
    size_t end = text_.find(U"\r\n", r + 1);
    if (end == std::u32string_view::npos) {
        line = text_.substr(r);
        readPos_ = std::u32string_view::npos;
        return true;
    }
    line = text_.substr(r, end - r);
    size_t p = text_.find(U"\r\n#", end);
    readPos_ = p == std::u32string_view::npos ? std::u32string_view::npos : p + 3;
    return true;
}

HeaderCommand MatchHeader(std::u32string_view line) {
    std::u32string three = UpperAscii(line.substr(0, 3));
    static constexpr struct {
        std::u32string_view prefix;
        HeaderCommand command;
    } kThree[] = {
        {U"WAV", HeaderCommand::Wav},   {U"BMP", HeaderCommand::Bmp},    {U"STA", HeaderCommand::Stage},
        {U"TIT", HeaderCommand::Title}, {U"ART", HeaderCommand::Artist}, {U"GEN", HeaderCommand::Genre},
        {U"BPM", HeaderCommand::Bpm},   {U"RAN", HeaderCommand::Rank},   {U"TOT", HeaderCommand::Total},
        {U"VOL", HeaderCommand::VolWav}, {U"MID", HeaderCommand::Midi},
    };
    for (const auto& e : kThree)
        if (three == e.prefix) return e.command;
    std::u32string six = UpperAscii(line.substr(0, 6));
    if (six == U"PLAYER") return HeaderCommand::Player;
    if (six == U"PLAYLE") return HeaderCommand::PlayLevel;
    return HeaderCommand::None;
}

size_t ValueStart(HeaderCommand command) {
    switch (command) {
        case HeaderCommand::Wav: return 7;
        case HeaderCommand::Bmp: return 7;
        case HeaderCommand::Stage: return 11;
        case HeaderCommand::Title: return 7;
        case HeaderCommand::Artist: return 8;
        case HeaderCommand::Genre: return 7;
        case HeaderCommand::Bpm: return 5;
        case HeaderCommand::Rank: return 6;
        case HeaderCommand::Total: return 7;
        case HeaderCommand::VolWav: return 8;
        case HeaderCommand::Midi: return 10;
        case HeaderCommand::Player: return 8;
        case HeaderCommand::PlayLevel: return 11;
        case HeaderCommand::None: break;
    }
    return 1;
}

std::string HeaderText(std::u32string_view line, HeaderCommand command) {
    return ToUtf8(Trim(Mid(line, ValueStart(command))));
}

bool ApplyCommonHeader(ChartInfo& info, std::u32string_view line, HeaderCommand command,
                       const ChartLineReader* reader) {
    auto value = [&] { return Trim(Mid(line, ValueStart(command))); };
    if (reader && reader->LineIsLong()) {
        switch (command) {
            case HeaderCommand::Title: info.Title = HeaderText(*reader, line, command); return true;
            case HeaderCommand::Artist: info.Artist = HeaderText(*reader, line, command); return true;
            case HeaderCommand::Genre: info.Genre = HeaderText(*reader, line, command); return true;
            default: break;
        }
    }
    auto whole = [&](int32_t& target) {
        if (auto v = WholeNumber(value())) target = *v;
    };
    switch (command) {
        case HeaderCommand::Title: info.Title = ToUtf8(value()); return true;
        case HeaderCommand::Artist: info.Artist = ToUtf8(value()); return true;
        case HeaderCommand::Genre: info.Genre = ToUtf8(value()); return true;
        case HeaderCommand::Bpm:
            if (auto v = SingleOf(value())) info.Bpm = *v;
            return true;
        case HeaderCommand::Rank: whole(info.Rank); return true;
        case HeaderCommand::Total: whole(info.Total); return true;
        case HeaderCommand::VolWav: whole(info.VolWav); return true;
        case HeaderCommand::Player: whole(info.Player); return true;
        case HeaderCommand::PlayLevel: whole(info.PlayLevel); return true;
        default: return false;
    }
}

std::optional<ChannelLine> ReadChannelLine(std::u32string_view line) {
    auto measureVal = Val(Mid(line, 1, 3));
    if (!measureVal || *measureVal < 0.0 || *measureVal > 999.0) return std::nullopt;
    auto measure = RoundToInt32(*measureVal);
    auto channelVal = Val(Mid(line, 4, 2));
    auto channel = channelVal ? RoundToInt32(*channelVal) : std::nullopt;
    if (!measure) return std::nullopt;
    ChannelLine out;
    out.measure = *measure;
    out.channel = channel.value_or(0);
    out.data = Mid(line, 7);
    return out;
}

namespace {

int32_t HexDigit(char32_t c) {
    if (c >= U'0' && c <= U'9') return static_cast<int32_t>(c - U'0');
    if (c >= U'A' && c <= U'F') return static_cast<int32_t>(c - U'A' + 10);
    if (c >= U'a' && c <= U'f') return static_cast<int32_t>(c - U'a' + 10);
    return -1;
}

}  // namespace

int32_t ObjectValue(std::u32string_view code) {
    // Two hex digits, nearly every object of every chart, without the general number reader.
    if (code.size() == 2) {
        const int32_t hi = HexDigit(code[0]);
        const int32_t lo = HexDigit(code[1]);
        if (hi >= 0 && lo >= 0) return hi * 16 + lo;
    }
    char32_t buf[4] = {U'&', U'H', 0, 0};
    size_t len = 2;
    for (char32_t c : code) buf[len++] = c;
    auto v = Val(std::u32string_view(buf, len));
    return v ? RoundToInt32(*v).value_or(0) : 0;
}

int32_t ObjectOffset(float step, size_t k) {
    return RoundToInt32(static_cast<double>(step) * static_cast<double>(k)).value_or(0);
}

}  // namespace jov
