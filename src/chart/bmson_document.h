#pragma once
// The parts of a bmson file this program uses, read straight from the JSON text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jov {

struct BmsonNote {
    double y = 0.0;
    int64_t x = 0;    // lane; 0 (or none) is the background
    bool c = false;   // continues its channel's sound instead of restarting it
    uint32_t channel = 0;  // index into BmsonDocument::channelNames
};

struct BmsonEvent {
    double y = 0.0;
    double value = 0.0;  // BPM, or a stop's length in pulses
};

struct BmsonDocument {
    std::string title, subtitle, artist, genre, backImage, eyecatchImage;
    std::vector<std::string> subartists;
    double initBpm = 0.0;
    double level = 0.0;
    double total = 0.0;
    double resolution = 0.0;  // not positive: 240
    std::vector<double> lines;
    std::vector<BmsonEvent> bpmEvents;
    std::vector<BmsonEvent> stopEvents;
    std::vector<std::string> channelNames;
    std::vector<BmsonNote> notes;  // every channel's notes, in file order
};

// False when the text is not JSON, nests deeper than any bmson file does, lacks "info",
// or holds a value of the wrong type where the format names one. `doc` is emptied first
// (its buffers kept, so one document can serve chart after chart).
bool ReadBmsonDocument(std::string_view text, BmsonDocument& doc);

}  // namespace jov
