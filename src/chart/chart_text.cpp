#include "chart/chart_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "chart/conversions.h"
#include "chart/text_decode.h"
#include "shell/file_read.h"

namespace jov {

namespace {

constexpr off_t kMaxChartBytes = off_t{256} << 20;

}  // namespace

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    int fd = OpenRegularFile(path);  // never a FIFO or device
    if (fd < 0) return bytes;
    struct stat st {};
    // Charts run to a few megabytes; a file far beyond any chart is not read into memory.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= kMaxChartBytes) {
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            ssize_t r = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += static_cast<size_t>(r);
        }
        bytes.resize(got);
    }
    ::close(fd);
    return bytes;
}

void PrepareChartText(std::string_view bytes, std::u32string& text) {
    // Reused from one chart to the next: decoding into fresh pages every time costs more
    // than the decoding itself.
    thread_local std::u32string decoded;
    DecodeChartTextInto(bytes, decoded);
    size_t nul = decoded.find(U'\0');
    if (nul != std::u32string::npos) decoded.resize(nul);
    text.clear();
    text.reserve(decoded.size() + decoded.size() / 16 + 2);
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
    ReleaseIfHuge(decoded);
}

void ReleaseIfHuge(std::u32string& buffer) {
    // A one-off giant file should not keep its memory for the rest of the run.
    constexpr size_t kKeep = size_t{4} << 20;  // code points
    if (buffer.capacity() > kKeep) std::u32string().swap(buffer);
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

int32_t ObjectValue(std::u32string_view code) {
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
