#include "shell/json.h"

#include <charconv>
#include <cmath>
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

JsonWriter& JsonWriter::String(std::string_view s) { Separator(); out_ += Escape(s); return *this; }

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

std::string JsonWriter::Escape(std::string_view s) {
    std::string o;
    o.reserve(s.size() + 2);
    o += '"';
    for (unsigned char c : s) {
        switch (c) {
            case '"': o += "\\\""; break;
            case '\\': o += "\\\\"; break;
            default:
                if (c < 0x20) {
                    char b[8];
                    std::snprintf(b, sizeof b, "\\u%04x", c);
                    o += b;
                } else {
                    o += static_cast<char>(c);
                }
        }
    }
    o += '"';
    return o;
}

}  // namespace jov
