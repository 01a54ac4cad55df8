#pragma once
// A Standard MIDI File read into one list of channel events, each at its time in
// milliseconds under the file's own tempo map.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jov {

struct MidiEvent {
    double ms = 0;
    uint8_t status = 0;  // 0x80..0xEF (channel messages only)
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

struct MidiSong {
    std::vector<MidiEvent> events;  // sorted by time, file order kept for equal times
    double lengthMs = 0;            // the time of the last event or track end
};

// nullopt when the bytes are not a Standard MIDI File with at least one track.
std::optional<MidiSong> ParseSmf(const uint8_t* data, std::size_t size);
// Reads at most a few megabytes; larger, missing or unreadable files give nullopt.
std::optional<MidiSong> LoadSmfFile(const std::string& path);

}  // namespace jov
