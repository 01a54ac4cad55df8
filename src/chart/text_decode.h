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

}  // namespace jov
