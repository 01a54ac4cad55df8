#pragma once
// Bytes of chart, skin and list files to UTF-8 text.
#include <string>
#include <string_view>

namespace jov {

bool IsValidUtf8(std::string_view bytes);
// Charts and skins: UTF-16 when a UTF-16 byte-order mark leads; UTF-8 when the bytes are
// valid UTF-8 (a leading UTF-8 BOM removed); otherwise code page 932, each undecodable
// byte becoming U+FFFD. Never fails.
std::string DecodeChartBytes(std::string_view bytes);
// List-file texts: valid UTF-8 is kept as it is (a leading U+FEFF stays); otherwise
// code page 932 as above.
std::string DecodeUtf8OrCp932(std::string_view bytes);

// How a chart's or skin's bytes are decoded, decided on the whole file as described above.
enum class ChartEncoding { Utf16LE, Utf16BE, Utf8, Cp932 };
ChartEncoding DetectChartEncoding(std::string_view bytes);
// Appends the code points of a piece of the file in Utf8 (valid, no byte-order mark) or
// Cp932; a piece cut after a line break decodes as it does within the whole file.
void AppendDecodedPiece(std::string_view piece, ChartEncoding encoding, std::u32string& out);

// The first character boundary at or after `target` in bytes of Utf8 or Cp932 that start
// on a boundary (the end when there is none).
size_t CharBoundary(std::string_view bytes, size_t target, ChartEncoding encoding);

// UTF-16 text (after its byte-order mark) as UTF-8, decoded a bounded piece at a time;
// it decodes back to the very code points the UTF-16 gives.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// The same decoding as DecodeChartBytes, as code points (the chart reader counts
// character positions in code points).
std::u32string DecodeChartText(std::string_view bytes);
// The same into a buffer the caller reuses (no fresh memory for every chart).
void DecodeChartTextInto(std::string_view bytes, std::u32string& out);
// Code page 932 alone (0x80, 0xA0, 0xFD-0xFF and a lead byte whose pair does not
// decode each give one U+FFFD).
std::u32string DecodeCp932(std::string_view bytes);

// Code points to UTF-8; surrogates and values beyond U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t c);
std::string ToUtf8(std::u32string_view text);

}  // namespace jov
