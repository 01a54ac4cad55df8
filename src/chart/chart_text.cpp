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
        whole_ = true;
        return;
    }
    if (encoding_ == ChartEncoding::Utf8 && rest_.substr(0, 3) == "\xEF\xBB\xBF") rest_.remove_prefix(3);
    // Only a NUL byte decodes to U+0000 in these encodings, and the text ends there.
    if (size_t nul = rest_.find('\0'); nul != std::string_view::npos) rest_ = rest_.substr(0, nul);
}

bool ChartLineReader::NextPiece() {
    if (rest_.empty()) return false;
    decoded_.clear();
    if (whole_) {
        DecodeChartTextInto(rest_, decoded_);
        if (size_t nul = decoded_.find(U'\0'); nul != std::u32string::npos) decoded_.resize(nul);
        rest_ = {};
    } else {
        const size_t end = PieceEnd(rest_, std::min(kPieceBytes, rest_.size()));
        AppendDecodedPiece(rest_.substr(0, end), encoding_, decoded_);
        rest_.remove_prefix(end);
    }
    text_.clear();
    AppendNormalised(decoded_, text_);
    walker_ = LineWalker(text_);
    return true;
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

bool ApplyCommonHeader(ChartInfo& info, std::u32string_view line, HeaderCommand command) {
    auto value = [&] { return Trim(Mid(line, ValueStart(command))); };
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
