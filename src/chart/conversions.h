#pragma once
// The number conversions of chart, skin and list reading. Failures are std::nullopt:
// the caller skips the assignment and the target keeps its value.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jov {

// Longest leading number: blanks, tabs and line feeds skipped wherever they stand, then
// [+|-]mantissa[(E|D)[+|-]digits], the mantissa digits[.[digits]] or .digits ("1.", ".5";
// "." alone is none), or "&H" and hex digits (unsigned). No number gives 0; a number
// beyond the double range fails.
std::optional<double> Val(std::u32string_view text);
std::optional<double> Val(std::string_view text);

// The whole text (blanks and tabs around allowed) as a number of the forms above,
// through a double, rounded half to even into 32 bits.
std::optional<int32_t> WholeNumber(std::u32string_view text);
std::optional<int32_t> WholeNumber(std::string_view text);
// As WholeNumber, but the double itself (not rounded).
std::optional<double> WholeNumberDouble(std::u32string_view text);
std::optional<double> WholeNumberDouble(std::string_view text);

// The whole text as a Single, rounded once from the decimal text.
std::optional<float> SingleOf(std::u32string_view text);
std::optional<float> SingleOf(std::string_view text);

std::optional<int32_t> RoundToInt32(double x);
std::optional<int16_t> RoundToInt16(double x);
// A double stored into a Single; fails when it does not fit.
std::optional<float> ToSingle(double x);

// Leading and trailing space characters removed (not tabs).
std::u32string_view Trim(std::u32string_view text);
std::string_view Trim(std::string_view text);

// Characters `start` (from 1) to the end / `count` characters from `start`, like Mid.
std::u32string_view Mid(std::u32string_view text, size_t start);
std::u32string_view Mid(std::u32string_view text, size_t start, size_t count);

// ASCII letters upper-cased, everything else as it is.
std::u32string UpperAscii(std::u32string_view text);

}  // namespace jov
