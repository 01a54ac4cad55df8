#include "notes/skin.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "chart/text_decode.h"
#include "notes/skin_fields.h"
#include "shell/file_read.h"

namespace jov {

namespace {

// The decoded text is UTF-8; anything malformed still becomes U+FFFD rather than being trusted.
std::u32string Utf8ToCodePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int extra = b < 0x80 ? 0 : (b >> 5) == 0x6 ? 1 : (b >> 4) == 0xE ? 2 : (b >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= n) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : (b & (0x3F >> extra));
        bool ok = true;
        for (int k = 1; k <= extra && ok; ++k) {
            const auto t = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            ok = (t & 0xC0) == 0x80;
            c = (c << 6) | (t & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(c);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

// Characters from column `start` (counted from 1) to the end.
std::u32string_view From(std::u32string_view line, size_t start) {
    return line.size() >= start ? line.substr(start - 1) : std::u32string_view();
}

std::optional<int> HexDigit(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    return std::nullopt;
}

// Two characters at column `start`, both hex (`base` 16) or both decimal digits.
std::optional<int> TwoDigits(std::u32string_view line, size_t start, int base) {
    if (line.size() < start + 1) return std::nullopt;
    auto hi = HexDigit(line[start - 1]);
    auto lo = HexDigit(line[start]);
    if (!hi || !lo || *hi >= base || *lo >= base) return std::nullopt;
    return *hi * base + *lo;
}

void SplitFields(std::u32string_view text, std::vector<std::u32string_view>& fields) {
    fields.clear();
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(U',', start);
        if (comma == std::u32string_view::npos) {
            fields.push_back(text.substr(start));
            return;
        }
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

template <class T>
void Store(T& target, std::optional<T> value) {
    if (value) target = *value;
}

class SkinReader {
public:
    SkinReader(SkinTables& skin, const DirectDraw& ddraw, const std::string& folder)
        : skin_(skin), ddraw_(ddraw), folder_(folder) {}

    void Line(std::u32string_view line) {
        if (line.size() < 4) return;
        char32_t key[4];
        for (int i = 0; i < 4; ++i) {
            char32_t c = line[static_cast<size_t>(i)];
            key[i] = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
        }
        const std::u32string_view k(key, 4);
        if (k == U"#FIL") Bitmap(line);
        else if (k == U"#YPO") JudgeLine(line);
        else if (k == U"#CLI") Clip(line);
        else if (k == U"#NOT") Note(line);
        else if (k == U"#LAY") Layer(line);
    }

private:
    void Bitmap(std::u32string_view line) {
        // The name is taken literally: no trimming, no case folding.
        std::string path = folder_ + "/" + ToUtf8(From(line, 7));
        Surface picture;
        if (!ddraw_.CreateSurfaceFromFile(picture, path)) return;  // the earlier bitmap stays
        skin_.SkinSurface = std::move(picture);
        skin_.SkinBitmap = std::move(path);
    }

    void JudgeLine(std::u32string_view line) {
        Store(skin_.JudgeLinePos, RoundToInt16(LeadingDecimal(From(line, 11))));
    }

    void Clip(std::u32string_view line) {
        if (skin_.ClipCount >= kClipSlots - 1) return;
        auto number = TwoDigits(line, 6, 16);
        if (!number) return;
        SplitFields(From(line, 9), fields_);
        const size_t count = fields_.size();
        if (count < 4 || count == 5) return;
        const bool animated = count >= 6;
        std::optional<double> frames, interval;
        if (animated) {
            frames = FieldNumber(fields_[4]);
            if (frames && std::nearbyint(*frames) < 0) return;
            interval = FieldNumber(fields_[5]);
        }

        const auto n = static_cast<size_t>(*number);
        Store(skin_.ClipWidth[n], RoundToInt16(FieldNumber(fields_[2])));
        Store(skin_.ClipHeight[n], RoundToInt16(FieldNumber(fields_[3])));
        ClipDef& clip = skin_.ClipDefs[n];
        if (animated) {
            Store(clip.FrameCount, RoundToInt16(frames));
            if (interval) {
                Store(clip.AnimInterval, RoundToInt32(std::fabs(*interval)));
                clip.AnimMode = *interval >= 0 ? 1 : 2;
            }
        }
        if (clip.FrameCount <= 0) clip.FrameCount = 1;

        const int32_t width = skin_.ClipWidth[n];
        const int32_t height = skin_.ClipHeight[n];
        const auto left = RoundToInt32(FieldNumber(fields_[0]));
        const auto top = FieldNumber(fields_[1]);
        clip.FrameRects.assign(static_cast<size_t>(clip.FrameCount), RECT{});
        for (size_t i = 0; i < clip.FrameRects.size(); ++i) {
            RECT& r = clip.FrameRects[i];
            Store(r.Left, left);
            if (top) Store(r.Top, RoundToInt32(*top + static_cast<double>(height) * static_cast<double>(i)));
            Store(r.Right, SumToInt32(r.Left, width));
            Store(r.Bottom, SumToInt32(r.Top, height));
        }
        clip.CurrentRect = clip.FrameRects[0];

        ++skin_.ClipCount;
        skin_.ClipList[static_cast<size_t>(skin_.ClipCount)] = static_cast<int16_t>(n);
    }

    void Note(std::u32string_view line) {
        auto channel = TwoDigits(line, 6, 10);
        if (!channel || *channel < kFirstNoteChannel || *channel > kLastNoteChannel) return;
        SplitFields(From(line, 9), fields_);
        if (fields_.size() < 2) return;
        const uint64_t clip = HexField(fields_[0]);
        if (clip >= kClipSlots) return;
        skin_.NoteClip[*channel] = static_cast<int16_t>(clip);
        Store(skin_.NoteX[*channel], RoundToInt16(FieldNumber(fields_[1])));
    }

    void Layer(std::u32string_view line) {
        if (skin_.LayerCount >= kLayerSlots - 1) return;
        auto piece = TwoDigits(line, 7, 10);
        if (!piece) return;
        SplitFields(From(line, 10), fields_);
        if (fields_.size() < 3) return;
        const uint64_t clip = HexField(fields_[0]);
        if (clip >= kClipSlots) return;
        const auto k = static_cast<size_t>(*piece);
        skin_.LayerClip[k] = static_cast<int16_t>(clip);
        Store(skin_.LayerX[k], RoundToInt16(FieldNumber(fields_[1])));
        Store(skin_.LayerY[k], RoundToInt16(FieldNumber(fields_[2])));
        ++skin_.LayerCount;
        skin_.LayerList[static_cast<size_t>(skin_.LayerCount)] = static_cast<int16_t>(k);
    }

    SkinTables& skin_;
    const DirectDraw& ddraw_;
    const std::string& folder_;
    std::vector<std::u32string_view> fields_;
};

}  // namespace

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

void LoadSkinBytes(SkinTables& skin, const DirectDraw& ddraw, std::string_view bytes,
                   const std::string& folder) {
    skin = SkinTables{};
    const std::u32string text = Utf8ToCodePoints(DecodeChartBytes(bytes));
    SkinReader reader(skin, ddraw, folder);
    // Every CR LF, lone CR and lone LF ends a line.
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != U'\r' && text[end] != U'\n') ++end;
        reader.Line(std::u32string_view(text).substr(start, end - start));
        if (end < text.size() && text[end] == U'\r' && end + 1 < text.size() && text[end + 1] == U'\n') ++end;
        start = end + 1;
    }
}

constexpr std::size_t kMaxSkinBytes = 16u << 20;  // a skin is a few kilobytes of text

bool LoadSkin(SkinTables& skin, const DirectDraw& ddraw, const std::string& hrdPath) {
    // Only a regular file of a sane size: a FIFO or a device would block or never end.
    auto bytes = ReadRegularFile(hrdPath, kMaxSkinBytes);
    if (!bytes) {
        skin = SkinTables{};
        return false;
    }
    LoadSkinBytes(skin, ddraw, *bytes, FolderOf(hrdPath));
    return true;
}

}  // namespace jov
