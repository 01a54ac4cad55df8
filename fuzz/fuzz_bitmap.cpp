// Skin bitmaps of any bytes (BMP, PNG, whatever the image reader takes), then a clip of
// it copied as the renderer copies note pieces.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "notes/surfaces.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    jov::Surface skin;
    if (!skin.LoadBytes(bytes)) return 0;
    jov::Surface back;
    if (!back.Create(64, 48)) __builtin_trap();
    back.BltFast(-3, 5, skin, jov::RECT{0, 0, 40, 30});
    return 0;
}
