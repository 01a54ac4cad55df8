#include "notes/skin_fields.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "chart/conversions.h"

namespace jov {

namespace {

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t'; }
bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

int HexValue(char32_t c) {
    if (IsDigit(c)) return static_cast<int>(c - U'0');
    if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A' + 10);
    if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a' + 10);
    return -1;
}

// Length of the decimal number at the start of `text` (0 when there is none).
size_t DecimalLength(std::u32string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == U'+' || text[i] == U'-')) ++i;
    const size_t digitsStart = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == digitsStart) return 0;
    if (i + 1 < text.size() && text[i] == U'.' && IsDigit(text[i + 1])) {
        i += 1;
        while (i < text.size() && IsDigit(text[i])) ++i;
    }
    if (i < text.size() && (text[i] == U'E' || text[i] == U'e' || text[i] == U'D' || text[i] == U'd')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == U'+' || text[j] == U'-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) ++j;
            i = j;
        }
    }
    return i;
}

// The decimal number of DecimalLength, read in the C locale whatever the user's is.
std::optional<double> DecimalValue(std::u32string_view number) {
    std::string ascii;
    ascii.reserve(number.size());
    for (char32_t c : number) ascii.push_back(c == U'D' || c == U'd' ? 'E' : static_cast<char>(c));
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const double v = strtod_l(ascii.c_str(), nullptr, cLocale);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

}  // namespace

std::optional<double> FieldNumber(std::u32string_view field) { return WholeNumberDouble(field); }

std::optional<double> LeadingDecimal(std::u32string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    const size_t len = DecimalLength(text);
    if (len == 0) return 0.0;
    return DecimalValue(text.substr(0, len));
}

uint64_t HexField(std::u32string_view field) {
    constexpr uint64_t kCap = uint64_t{1} << 40;
    uint64_t v = 0;
    for (char32_t c : field) {
        if (IsBlank(c)) continue;
        const int d = HexValue(c);
        if (d < 0) break;
        v = v >= kCap ? kCap : v * 16 + static_cast<uint64_t>(d);
    }
    return v;
}

std::optional<int16_t> RoundToInt16(std::optional<double> value) {
    if (!value) return std::nullopt;
    const double r = std::nearbyint(*value);
    if (!(r >= std::numeric_limits<int16_t>::min() && r <= std::numeric_limits<int16_t>::max())) {
        return std::nullopt;
    }
    return static_cast<int16_t>(r);
}

std::optional<int32_t> RoundToInt32(std::optional<double> value) {
    if (!value) return std::nullopt;
    const double r = std::nearbyint(*value);
    if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<int32_t>(r);
}

std::optional<int32_t> SumToInt32(int64_t a, int64_t b) {
    const int64_t s = a + b;
    if (s < std::numeric_limits<int32_t>::min() || s > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(s);
}

}  // namespace jov
