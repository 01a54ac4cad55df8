#pragma once
// A small JSON writer for jov01-tool's output: exact keys in the order written,
// singles and doubles printed with the shortest text that reads back to the same value.
#include <cstdint>
#include <string>
#include <string_view>

namespace jov {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view s);
    JsonWriter& Int(int64_t v);
    JsonWriter& Single(float v);
    JsonWriter& Double(double v);
    JsonWriter& Bool(bool v);
    JsonWriter& Null();
    // Inserts already-formatted JSON as one value.
    JsonWriter& Raw(std::string_view json);

    const std::string& str() const { return out_; }
    static std::string Escape(std::string_view s);
    static void EscapeInto(std::string_view s, std::string& out);

private:
    void Separator();
    std::string out_;
    bool needComma_ = false;
};

}  // namespace jov
