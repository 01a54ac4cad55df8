#pragma once
// Number fields of the skin file: whole-number text, the leading number of the judge
// line, hex clip numbers, and the checked stores into 16- and 32-bit tables.
#include <cstdint>
#include <optional>
#include <string_view>

namespace jov {

// The whole field (spaces and tabs around allowed) as a whole number of the chart's
// forms ("1.", ".5", "&HFF", "1E3"; nothing else), unrounded. Fails beyond the double range.
std::optional<double> FieldNumber(std::u32string_view field);
// Spaces and tabs skipped, then the longest [+|-]digits[.digits][(E|D)[+|-]digits]; the
// rest is ignored and no number gives 0. Fails beyond the double range.
std::optional<double> LeadingDecimal(std::u32string_view text);
// Blanks and tabs anywhere skipped, then the leading hex digits (none gives 0); the
// value saturates, so anything beyond 32 bits still compares as large.
uint64_t HexField(std::u32string_view field);

// Nearest integer, halves to even; fails when the target cannot hold it.
std::optional<int16_t> RoundToInt16(std::optional<double> value);
std::optional<int32_t> RoundToInt32(std::optional<double> value);
std::optional<int32_t> SumToInt32(int64_t a, int64_t b);

}  // namespace jov
