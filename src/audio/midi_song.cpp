#include "audio/midi_song.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "shell/file_read.h"

namespace jov {
namespace {

constexpr std::size_t kMaxFileBytes = 16u << 20;
constexpr std::size_t kMaxEvents = 4u << 20;
constexpr int kMaxTracks = 4096;

struct RawEvent {
    uint64_t tick;
    uint32_t order;      // file order, keeps equal ticks stable
    uint32_t tempo;      // microseconds per quarter, 0 = not a tempo event
    MidiEvent ev;
    bool isChannel;
};

uint32_t Be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

// A variable-length quantity of at most four bytes.
bool ReadVlq(const uint8_t* p, std::size_t end, std::size_t& pos, uint32_t& out) {
    out = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= end) return false;
        uint8_t b = p[pos++];
        out = (out << 7) | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return false;
}

int DataBytes(uint8_t status) {
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0: return 1;
        default: return 2;
    }
}

// Reads one track; events past a malformed spot are dropped, the ones before it stay.
void ReadTrack(const uint8_t* p, std::size_t begin, std::size_t end, uint32_t& order,
               std::vector<RawEvent>& out, uint64_t& lastTick) {
    std::size_t pos = begin;
    uint64_t tick = 0;
    uint8_t running = 0;
    while (pos < end && out.size() < kMaxEvents) {
        uint32_t delta;
        if (!ReadVlq(p, end, pos, delta)) return;
        tick += delta;
        lastTick = std::max(lastTick, tick);
        if (pos >= end) return;
        uint8_t status = p[pos];
        if (status == 0xFF) {
            if (pos + 2 > end) return;
            uint8_t type = p[pos + 1];
            pos += 2;
            uint32_t len;
            if (!ReadVlq(p, end, pos, len) || len > end - pos) return;
            if (type == 0x51 && len == 3) {
                uint32_t tempo = (uint32_t(p[pos]) << 16) | (uint32_t(p[pos + 1]) << 8) | p[pos + 2];
                if (tempo > 0) out.push_back(RawEvent{tick, order++, tempo, {}, false});
            }
            pos += len;
            if (type == 0x2F) return;
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            ++pos;
            uint32_t len;
            if (!ReadVlq(p, end, pos, len) || len > end - pos) return;
            pos += len;
            continue;
        }
        if (status & 0x80) {
            if (status >= 0xF0) return;  // system common bytes have no place in a file
            running = status;
            ++pos;
        } else if (!running) {
            return;
        }
        int n = DataBytes(running);
        if (pos + n > end) return;
        MidiEvent ev;
        ev.status = running;
        ev.data1 = p[pos] & 0x7F;
        ev.data2 = n == 2 ? (p[pos + 1] & 0x7F) : 0;
        pos += n;
        out.push_back(RawEvent{tick, order++, 0, ev, true});
    }
}

}  // namespace

std::optional<MidiSong> ParseSmf(const uint8_t* data, std::size_t size) {
    if (!data || size < 14 || std::memcmp(data, "MThd", 4) != 0) return std::nullopt;
    uint32_t headerLen = Be32(data + 4);
    if (headerLen < 6 || headerLen > size - 8) return std::nullopt;
    uint16_t division = Be16(data + 12);
    if (division == 0) return std::nullopt;
    // Ticks to microseconds: by quarter notes under the tempo, or fixed SMPTE frames.
    bool smpte = division & 0x8000;
    double smpteUsPerTick = 0;
    if (smpte) {
        int fps = -static_cast<int8_t>(division >> 8);
        int perFrame = division & 0xFF;
        if (fps <= 0 || perFrame == 0) return std::nullopt;
        smpteUsPerTick = 1e6 / (fps == 29 ? 29.97 : fps) / perFrame;
    }

    std::vector<RawEvent> raw;
    uint32_t order = 0;
    uint64_t lastTick = 0;
    int tracks = 0;
    std::size_t pos = 8 + headerLen;
    while (pos + 8 <= size && tracks < kMaxTracks) {
        uint32_t len = Be32(data + pos + 4);
        bool isTrack = std::memcmp(data + pos, "MTrk", 4) == 0;
        std::size_t begin = pos + 8;
        std::size_t end = len > size - begin ? size : begin + len;  // a cut last track reads what is there
        if (isTrack) {
            ReadTrack(data, begin, end, order, raw, lastTick);
            ++tracks;
        }
        pos = end;
    }
    if (tracks == 0) return std::nullopt;

    std::stable_sort(raw.begin(), raw.end(), [](const RawEvent& a, const RawEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    MidiSong song;
    double usPerTick = smpte ? smpteUsPerTick : 500000.0 / division;
    double baseUs = 0;
    uint64_t baseTick = 0;
    auto msAt = [&](uint64_t tick) { return (baseUs + double(tick - baseTick) * usPerTick) / 1000.0; };
    song.events.reserve(raw.size());
    for (const RawEvent& r : raw) {
        if (!r.isChannel) {
            if (!smpte) {
                baseUs += double(r.tick - baseTick) * usPerTick;
                baseTick = r.tick;
                usPerTick = double(r.tempo) / division;
            }
            continue;
        }
        MidiEvent ev = r.ev;
        ev.ms = msAt(r.tick);
        song.events.push_back(ev);
    }
    song.lengthMs = msAt(std::max(lastTick, baseTick));
    return song;
}

std::optional<MidiSong> LoadSmfFile(const std::string& path) {
    auto bytes = ReadRegularFile(path, kMaxFileBytes);  // never a FIFO or device
    if (!bytes) return std::nullopt;
    return ParseSmf(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
}

}  // namespace jov
