#include "chart/conversions.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

namespace jov {
namespace {

bool IsValBlank(char32_t c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
int HexDigit(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

// A number read from text, normalised to ASCII for std::from_chars.
struct Scanned {
    bool hex = false;
    bool negative = false;
    std::string mantissa;  // decimal: digits[.digits]; hex: hex digits
    std::string exponent;  // [-]digits, may be empty
};

// Cursor over the characters; for Val it skips blanks, tabs and line feeds.
template <typename Ch>
struct Cursor {
    std::basic_string_view<Ch> s;
    size_t i = 0;
    bool skipBlanks;

    void Skip() {
        if (skipBlanks)
            while (i < s.size() && IsValBlank(static_cast<char32_t>(s[i]))) ++i;
    }
    char32_t Peek() {
        Skip();
        return i < s.size() ? static_cast<char32_t>(s[i]) : 0;
    }
    // The character after the next one (blanks skipped).
    char32_t PeekSecond() {
        Skip();
        size_t save = i;
        ++i;
        char32_t c = Peek();
        i = save;
        return c;
    }
    void Next() {
        Skip();
        ++i;
    }
    bool AtEnd() {
        Skip();
        return i >= s.size();
    }
};

// Reads the longest leading number; false when there is none.
template <typename Ch>
bool ScanNumber(Cursor<Ch>& c, Scanned& out) {
    char32_t ch = c.Peek();
    if (ch == '&') {
        char32_t h = c.PeekSecond();
        if (h != 'H' && h != 'h') return false;
        c.Next();
        c.Next();
        out.hex = true;
        while (HexDigit(c.Peek()) >= 0) {
            out.mantissa.push_back(static_cast<char>(c.Peek()));
            c.Next();
        }
        return !out.mantissa.empty();
    }
    if (ch == '+' || ch == '-') {
        out.negative = ch == '-';
        c.Next();
    }
    // Digits with an optional point and digits after it ("1.", "1.5"), or a point
    // followed by digits (".5"); a point alone is no number. Kept as digits[.digits]
    // so that from_chars reads it.
    const bool intDigits = IsDigit(c.Peek());
    if (!intDigits && !(c.Peek() == '.' && IsDigit(c.PeekSecond()))) return false;
    if (!intDigits) out.mantissa.push_back('0');
    while (IsDigit(c.Peek())) {
        out.mantissa.push_back(static_cast<char>(c.Peek()));
        c.Next();
    }
    if (c.Peek() == '.') {
        c.Next();
        if (IsDigit(c.Peek())) out.mantissa.push_back('.');
        while (IsDigit(c.Peek())) {
            out.mantissa.push_back(static_cast<char>(c.Peek()));
            c.Next();
        }
    }
    char32_t e = c.Peek();
    if (e == 'E' || e == 'e' || e == 'D' || e == 'd') {
        size_t save = c.i;
        c.Next();
        std::string exp;
        char32_t sign = c.Peek();
        if (sign == '+' || sign == '-') {
            if (sign == '-') exp.push_back('-');
            c.Next();
        }
        if (IsDigit(c.Peek())) {
            while (IsDigit(c.Peek())) {
                exp.push_back(static_cast<char>(c.Peek()));
                c.Next();
            }
            out.exponent = std::move(exp);
        } else {
            c.i = save;
        }
    }
    return true;
}

// Decimal exponent of the leading significant digit, clamped: tells overflow from
// underflow when from_chars reports a value out of range.
long long MagnitudeEstimate(const Scanned& s) {
    long long exp = 0;
    size_t k = 0;
    bool neg = false;
    if (k < s.exponent.size() && s.exponent[k] == '-') { neg = true; ++k; }
    for (; k < s.exponent.size(); ++k) {
        exp = exp * 10 + (s.exponent[k] - '0');
        if (exp > 1000000000LL) break;
    }
    if (neg) exp = -exp;
    size_t dot = s.mantissa.find('.');
    long long intDigits = static_cast<long long>(dot == std::string::npos ? s.mantissa.size() : dot);
    size_t first = s.mantissa.find_first_not_of("0.");
    if (first == std::string::npos) return std::numeric_limits<long long>::min();  // zero
    long long lead = first < static_cast<size_t>(intDigits) ? intDigits - static_cast<long long>(first)
                                                            : -static_cast<long long>(first - intDigits) + 1;
    return exp + lead;
}

template <typename T>
std::optional<T> ToFloating(const Scanned& s) {
    T value{};
    if (s.hex) {
        size_t first = s.mantissa.find_first_not_of('0');
        if (first == std::string::npos) return T(0);
        const char* b = s.mantissa.data() + first;
        const char* e = s.mantissa.data() + s.mantissa.size();
        auto r = std::from_chars(b, e, value, std::chars_format::hex);
        if (r.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
        return value;
    }
    std::string text;
    text.reserve(s.mantissa.size() + s.exponent.size() + 2);
    text += s.mantissa;
    if (!s.exponent.empty()) {
        text += 'e';
        text += s.exponent;
    }
    auto r = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        if (MagnitudeEstimate(s) > 0) return std::nullopt;
        value = T(0);  // underflow reads as zero
    } else if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return s.negative ? -value : value;
}

template <typename Ch>
std::optional<double> ValImpl(std::basic_string_view<Ch> text) {
    Cursor<Ch> c{text, 0, true};
    Scanned s;
    if (!ScanNumber(c, s)) return 0.0;
    return ToFloating<double>(s);
}

bool IsOuterBlank(char32_t c) { return c == ' ' || c == '\t'; }

// The whole text, blanks and tabs around it allowed, as one number.
template <typename Ch>
std::optional<Scanned> ScanWhole(std::basic_string_view<Ch> text) {
    size_t b = 0, e = text.size();
    while (b < e && IsOuterBlank(static_cast<char32_t>(text[b]))) ++b;
    while (e > b && IsOuterBlank(static_cast<char32_t>(text[e - 1]))) --e;
    Cursor<Ch> c{text.substr(b, e - b), 0, false};
    Scanned s;
    if (!ScanNumber(c, s) || !c.AtEnd()) return std::nullopt;
    return s;
}

template <typename Ch>
std::optional<double> WholeDoubleImpl(std::basic_string_view<Ch> text) {
    auto s = ScanWhole(text);
    if (!s) return std::nullopt;
    return ToFloating<double>(*s);
}

template <typename Ch>
std::optional<float> SingleImpl(std::basic_string_view<Ch> text) {
    auto s = ScanWhole(text);
    if (!s) return std::nullopt;
    return ToFloating<float>(*s);
}

template <typename Ch>
std::basic_string_view<Ch> TrimImpl(std::basic_string_view<Ch> text) {
    size_t b = 0, e = text.size();
    while (b < e && text[b] == static_cast<Ch>(' ')) ++b;
    while (e > b && text[e - 1] == static_cast<Ch>(' ')) --e;
    return text.substr(b, e - b);
}

}  // namespace

std::optional<double> Val(std::u32string_view text) { return ValImpl(text); }
std::optional<double> Val(std::string_view text) { return ValImpl(text); }

std::optional<double> WholeNumberDouble(std::u32string_view text) { return WholeDoubleImpl(text); }
std::optional<double> WholeNumberDouble(std::string_view text) { return WholeDoubleImpl(text); }

std::optional<int32_t> WholeNumber(std::u32string_view text) {
    auto d = WholeDoubleImpl(text);
    return d ? RoundToInt32(*d) : std::nullopt;
}
std::optional<int32_t> WholeNumber(std::string_view text) {
    auto d = WholeDoubleImpl(text);
    return d ? RoundToInt32(*d) : std::nullopt;
}

std::optional<float> SingleOf(std::u32string_view text) { return SingleImpl(text); }
std::optional<float> SingleOf(std::string_view text) { return SingleImpl(text); }

std::optional<int32_t> RoundToInt32(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    double r = std::nearbyint(x);
    if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
    return static_cast<int32_t>(r);
}

std::optional<int16_t> RoundToInt16(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    double r = std::nearbyint(x);
    if (r < -32768.0 || r > 32767.0) return std::nullopt;
    return static_cast<int16_t>(r);
}

std::optional<float> ToSingle(double x) {
    if (!std::isfinite(x)) return std::nullopt;
    float f = static_cast<float>(x);
    if (!std::isfinite(f)) return std::nullopt;
    return f;
}

std::u32string_view Trim(std::u32string_view text) { return TrimImpl(text); }
std::string_view Trim(std::string_view text) { return TrimImpl(text); }

std::u32string_view Mid(std::u32string_view text, size_t start) {
    if (start < 1 || start > text.size()) return {};
    return text.substr(start - 1);
}

std::u32string_view Mid(std::u32string_view text, size_t start, size_t count) {
    if (start < 1 || start > text.size()) return {};
    return text.substr(start - 1, count);
}

std::u32string UpperAscii(std::u32string_view text) {
    std::u32string out(text);
    for (char32_t& c : out)
        if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    return out;
}

}  // namespace jov
