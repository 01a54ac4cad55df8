#pragma once
// How much of a chart sounds: its background and key objects, counted without a load.
#include <cstdint>
#include <string_view>

namespace jov {

// Objects on the background channel (01), the visible key channels of both sides
// (11-19, 21-29) and, when `extended` (the only reading that plays them), the long-note
// channels (51-59, 61-69); every #RANDOM branch alike. A bmson chart (by `path`'s
// name) counts every note of every lane. A measure of how full a chart is, to pick the
// fullest of a song's charts.
int32_t CountSoundingObjects(std::string_view bytes, std::string_view path = {}, bool extended = true);

}  // namespace jov
