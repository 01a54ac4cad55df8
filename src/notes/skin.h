#pragma once
// The note skin: "bms.hrd" cuts clips out of one bitmap, may animate them, gives each
// note channel a clip and a column, places fixed layout pieces and sets the judge line.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "notes/surfaces.h"

namespace jov {

struct ClipDef {
    int16_t FrameCount = 0;
    std::vector<RECT> FrameRects;  // 0 .. FrameCount-1, stacked downwards in the bitmap
    uint8_t AnimMode = 0;          // 0 still, 1 by elapsed ms, 2 by chart ticks
    int32_t AnimInterval = 0;      // ms or ticks per frame, never negative
    RECT CurrentRect;              // the frame to draw now
};

constexpr int kClipSlots = 256;
constexpr int kLayerSlots = 256;
constexpr int kFirstNoteChannel = 10;  // 10 is the bar line
constexpr int kLastNoteChannel = 29;

// A table indexed by note channel 10 to 29.
template <class T>
struct ChannelTable {
    std::array<T, kLastNoteChannel - kFirstNoteChannel + 1> Values{};
    T& operator[](int channel) { return Values[static_cast<size_t>(channel - kFirstNoteChannel)]; }
    const T& operator[](int channel) const {
        return Values[static_cast<size_t>(channel - kFirstNoteChannel)];
    }
};

struct SkinTables {
    Surface SkinSurface;
    std::string SkinBitmap;  // path of the file SkinSurface was loaded from; "" when none
    std::array<ClipDef, kClipSlots> ClipDefs;
    std::array<int16_t, kClipSlots> ClipWidth{};
    std::array<int16_t, kClipSlots> ClipHeight{};
    std::array<int16_t, kClipSlots> ClipList{};
    int16_t ClipCount = -1;
    ChannelTable<int16_t> NoteClip;
    ChannelTable<int16_t> NoteX;
    std::array<int16_t, kLayerSlots> LayerClip{};
    std::array<int16_t, kLayerSlots> LayerX{};
    std::array<int16_t, kLayerSlots> LayerY{};
    std::array<int16_t, kLayerSlots> LayerList{};
    int16_t LayerCount = -1;
    int16_t JudgeLinePos = 0;  // 1 or more: y from the top; 0 or less: offset from the bottom
};

// Empties the tables, then reads the skin file at `hrdPath`; the bitmap named by "#FIL"
// is looked up in the file's folder. False, with the tables empty, when the file cannot
// be read. The bitmap loads only through `ddraw` (no display objects, no bitmap).
bool LoadSkin(SkinTables& skin, const DirectDraw& ddraw, const std::string& hrdPath);

// The same from the file's bytes; `folder` is the bitmap folder (without a trailing "/").
void LoadSkinBytes(SkinTables& skin, const DirectDraw& ddraw, std::string_view bytes,
                   const std::string& folder);

// The folder part of a path: up to its last "/" (exclusive); "." when it has none.
std::string FolderOf(const std::string& path);

}  // namespace jov
