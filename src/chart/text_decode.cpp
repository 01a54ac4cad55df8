#include "chart/text_decode.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

namespace jov {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Decodes one byte sequence with iconv; 0 when it is not exactly one character.
char32_t IconvOne(iconv_t cd, const unsigned char* bytes, size_t len) {
    char in[2] = {static_cast<char>(bytes[0]), len > 1 ? static_cast<char>(bytes[1]) : '\0'};
    char* inPtr = in;
    size_t inLeft = len;
    uint32_t out[4] = {};
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (r == static_cast<size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 4) return 0;
    return out[0];
}

// Every single byte and every lead/trail pair decoded once, so decoding a file is a
// table walk rather than one iconv call per character.
struct Cp932Table {
    std::array<char32_t, 256> single{};
    std::array<char32_t, 256 * 256> pair{};  // indexed lead * 256 + trail; 0 = no character

    Cp932Table() {
        single.fill(kReplacement);
        iconv_t cd = iconv_open("UTF-32LE", "CP932");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            for (int b = 0; b < 0x80; ++b) single[b] = static_cast<char32_t>(b);
            return;
        }
        for (int b = 0; b < 256; ++b) {
            unsigned char byte = static_cast<unsigned char>(b);
            if (IsCp932Lead(byte) || b == 0x80 || b == 0xA0 || b >= 0xFD) continue;
            char32_t c = IconvOne(cd, &byte, 1);
            if (c != 0 || b == 0) single[b] = c;
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsCp932Lead(static_cast<unsigned char>(lead))) continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                unsigned char two[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
                pair[lead * 256 + trail] = IconvOne(cd, two, 2);
            }
        }
        iconv_close(cd);
    }
};

const Cp932Table& Table() {
    static const auto table = std::make_unique<Cp932Table>();
    return *table;
}

// Decodes valid UTF-8 into `out`; false (out unspecified) at the first invalid sequence.
bool DecodeUtf8(std::string_view bytes, std::u32string* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        unsigned char b = p[i];
        if (b < 0x80) {
            // A run of ASCII in one append.
            size_t end = i + 1;
            while (end < n && p[end] < 0x80) ++end;
            if (out) out->append(p + i, p + end);
            i = end;
            continue;
        }
        int len;
        char32_t c;
        char32_t min;
        if (b >= 0xC2 && b <= 0xDF) { len = 2; c = b & 0x1F; min = 0x80; }
        else if (b >= 0xE0 && b <= 0xEF) { len = 3; c = b & 0x0F; min = 0x800; }
        else if (b >= 0xF0 && b <= 0xF4) { len = 4; c = b & 0x07; min = 0x10000; }
        else return false;
        if (n - i < static_cast<size_t>(len)) return false;
        for (int k = 1; k < len; ++k) {
            unsigned char t = p[i + k];
            if ((t & 0xC0) != 0x80) return false;
            c = (c << 6) | (t & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        if (out) out->push_back(c);
        i += len;
    }
    return true;
}

std::u32string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u32string out;
    out.reserve(bytes.size() / 2);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    auto unit = [&](size_t at) -> char32_t {
        return bigEndian ? static_cast<char32_t>((p[at] << 8) | p[at + 1])
                         : static_cast<char32_t>(p[at] | (p[at + 1] << 8));
    };
    size_t i = 0;
    while (i + 1 < n) {
        char32_t u = unit(i);
        i += 2;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < n) {
                char32_t low = unit(i);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    out.push_back(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                    i += 2;
                    continue;
                }
            }
            out.push_back(kReplacement);
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            out.push_back(kReplacement);
        } else {
            out.push_back(u);
        }
    }
    if (i < n) out.push_back(kReplacement);  // odd last byte
    return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string ToUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) AppendUtf8(out, c);
    return out;
}

bool IsValidUtf8(std::string_view bytes) { return DecodeUtf8(bytes, nullptr); }

// Appends: never more characters than bytes, so written through a pointer and cut to
// size at the end.
void AppendCp932(std::string_view bytes, std::u32string& out) {
    const Cp932Table& t = Table();
    const size_t start = out.size();
    out.resize(start + bytes.size());
    char32_t* o = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        unsigned char b = p[i];
        if (IsCp932Lead(b)) {
            char32_t c = i + 1 < n ? t.pair[b * 256 + p[i + 1]] : 0;
            *o++ = c != 0 ? c : kReplacement;
            i += c != 0 ? 2 : 1;
        } else {
            *o++ = t.single[b];
            ++i;
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    constexpr size_t kPiece = size_t{64} << 10;
    std::string out;
    out.reserve(bytes.size() / 2);
    while (!bytes.empty()) {
        size_t cut = std::min(kPiece, bytes.size());
        // Never between the two halves of a surrogate pair.
        if (cut + 1 < bytes.size()) {
            const auto hi = static_cast<unsigned char>(bytes[bigEndian ? cut - 2 : cut - 1]);
            if (hi >= 0xD8 && hi <= 0xDB) cut += 2;
        }
        for (char32_t c : DecodeUtf16(bytes.substr(0, cut), bigEndian)) AppendUtf8(out, c);
        bytes.remove_prefix(cut);
    }
    return out;
}

size_t CharBoundary(std::string_view bytes, size_t target, ChartEncoding encoding) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    if (target >= n) return n;
    if (encoding != ChartEncoding::Cp932) {
        while (target < n && (p[target] & 0xC0) == 0x80) ++target;
        return target;
    }
    // A pair is told only from the start, as the decoder reads it.
    const Cp932Table& t = Table();
    size_t i = 0;
    while (i < target) i += IsCp932Lead(p[i]) && i + 1 < n && t.pair[p[i] * 256 + p[i + 1]] != 0 ? 2 : 1;
    return std::min(i, n);
}

std::u32string DecodeCp932(std::string_view bytes) {
    std::u32string out;
    AppendCp932(bytes, out);
    return out;
}

ChartEncoding DetectChartEncoding(std::string_view bytes) {
    if (bytes.size() >= 2) {
        auto b0 = static_cast<unsigned char>(bytes[0]);
        auto b1 = static_cast<unsigned char>(bytes[1]);
        if (b0 == 0xFF && b1 == 0xFE) return ChartEncoding::Utf16LE;
        if (b0 == 0xFE && b1 == 0xFF) return ChartEncoding::Utf16BE;
    }
    return IsValidUtf8(bytes) ? ChartEncoding::Utf8 : ChartEncoding::Cp932;
}

void AppendDecodedPiece(std::string_view piece, ChartEncoding encoding, std::u32string& out) {
    if (encoding == ChartEncoding::Utf8)
        DecodeUtf8(piece, &out);
    else
        AppendCp932(piece, out);
}

void DecodeChartTextInto(std::string_view bytes, std::u32string& out) {
    out.clear();
    const ChartEncoding encoding = DetectChartEncoding(bytes);
    switch (encoding) {
        case ChartEncoding::Utf16LE: out = DecodeUtf16(bytes.substr(2), false); return;
        case ChartEncoding::Utf16BE: out = DecodeUtf16(bytes.substr(2), true); return;
        case ChartEncoding::Utf8:
            out.reserve(bytes.size());
            if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
            break;
        case ChartEncoding::Cp932: break;
    }
    AppendDecodedPiece(bytes, encoding, out);
}

std::u32string DecodeChartText(std::string_view bytes) {
    std::u32string out;
    DecodeChartTextInto(bytes, out);
    return out;
}

std::string DecodeChartBytes(std::string_view bytes) { return ToUtf8(DecodeChartText(bytes)); }

std::string DecodeUtf8OrCp932(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return ToUtf8(DecodeCp932(bytes));
}

}  // namespace jov
