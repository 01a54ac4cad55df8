#include "shell/json.h"

#include <charconv>
#include <cmath>
#include <algorithm>
#include <cstdio>

namespace jov {

void JsonWriter::Separator() {
    if (needComma_) out_ += ',';
    needComma_ = true;
}

JsonWriter& JsonWriter::BeginObject() { Separator(); out_ += '{'; needComma_ = false; return *this; }
JsonWriter& JsonWriter::EndObject() { out_ += '}'; needComma_ = true; return *this; }
JsonWriter& JsonWriter::BeginArray() { Separator(); out_ += '['; needComma_ = false; return *this; }
JsonWriter& JsonWriter::EndArray() { out_ += ']'; needComma_ = true; return *this; }

JsonWriter& JsonWriter::Key(std::string_view key) {
    Separator();
    out_ += Escape(key);
    out_ += ':';
    needComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view s) {
    Separator();
    // Straight into the output: a long text is not held twice more.
    if (out_.capacity() < out_.size() + s.size() + 2) out_.reserve(std::max(out_.size() + s.size() + 2, out_.capacity() * 3 / 2));
    EscapeInto(s, out_);
    return *this;
}

JsonWriter& JsonWriter::Int(int64_t v) { Separator(); out_ += std::to_string(v); return *this; }

// The shortest text that reads back to the same value; null when not finite.
template <typename T>
static void AppendShortest(std::string& out, T v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

JsonWriter& JsonWriter::Single(float v) { Separator(); AppendShortest(out_, v); return *this; }
JsonWriter& JsonWriter::Double(double v) { Separator(); AppendShortest(out_, v); return *this; }

JsonWriter& JsonWriter::Bool(bool v) { Separator(); out_ += v ? "true" : "false"; return *this; }
JsonWriter& JsonWriter::Null() { Separator(); out_ += "null"; return *this; }
JsonWriter& JsonWriter::Raw(std::string_view json) { Separator(); out_ += json; return *this; }

// Length of the well-formed UTF-8 sequence at s[i] (lead byte 0x80 or above), 0 if none.
static std::size_t Utf8SequenceAt(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char c = b(0);
    std::size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || s.size() - i < n) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((b(k) & 0xC0) != 0x80) return 0;
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    if ((c == 0xE0 && b(1) < 0xA0) || (c == 0xED && b(1) > 0x9F) || (c == 0xF0 && b(1) < 0x90) ||
        (c == 0xF4 && b(1) > 0x8F))
        return 0;
    return n;
}

// Always valid UTF-8: a byte that is not part of a well-formed character becomes U+FFFD.
std::string JsonWriter::Escape(std::string_view s) {
    std::string o;
    o.reserve(s.size() + 2);
    EscapeInto(s, o);
    return o;
}

void JsonWriter::EscapeInto(std::string_view s, std::string& o) {
    o += '"';
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        switch (c) {
            case '"': o += "\\\""; break;
            case '\\': o += "\\\\"; break;
            default:
                if (c < 0x20) {
                    char b[8];
                    std::snprintf(b, sizeof b, "\\u%04x", c);
                    o += b;
                } else if (c < 0x80) {
                    o += static_cast<char>(c);
                } else if (std::size_t n = Utf8SequenceAt(s, i)) {
                    o.append(s.substr(i, n));
                    i += n - 1;
                } else {
                    o += "\xEF\xBF\xBD";
                }
        }
    }
    o += '"';
}

}  // namespace jov
