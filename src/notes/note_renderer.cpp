#include "notes/note_renderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "chart/chart_model.h"
#include "engine/engine_state.h"

namespace jov {

namespace {

// Frame of an animated clip at clock value `clock`; a negative clock shows frame 0.
size_t FrameAt(int64_t clock, int32_t interval, size_t frames) {
    if (clock < 0) return 0;
    return static_cast<size_t>((clock / interval) % static_cast<int64_t>(frames));
}

}  // namespace

void NoteRenderer::AnimateClips() {
    for (int k = 0; k <= skin_.ClipCount && k < kClipSlots; ++k) {
        const int n = skin_.ClipList[static_cast<size_t>(k)];
        if (n < 0 || n >= kClipSlots) continue;
        ClipDef& clip = skin_.ClipDefs[static_cast<size_t>(n)];
        // An interval of 0 keeps the frame the clip has.
        if (clip.AnimMode == 0 || clip.AnimInterval <= 0 || clip.FrameRects.empty()) continue;
        int64_t clock = 0;
        if (clip.AnimMode == 1) {
            clock = engine_.ElapsedMs;
        } else {
            const double tick = std::nearbyint(engine_.CurrentTick);
            if (!(tick >= std::numeric_limits<int32_t>::min() && tick <= std::numeric_limits<int32_t>::max())) {
                continue;
            }
            clock = static_cast<int64_t>(tick);
        }
        const size_t frames = std::min(clip.FrameRects.size(),
                                       static_cast<size_t>(std::max<int16_t>(clip.FrameCount, 1)));
        clip.CurrentRect = clip.FrameRects[FrameAt(clock, clip.AnimInterval, frames)];
    }
}

void NoteRenderer::DrawClip(int clip, int64_t x, int64_t y) {
    if (clip < 0 || clip >= kClipSlots) return;
    screen_.BackSurface.BltFast(x, y, skin_.SkinSurface, skin_.ClipDefs[static_cast<size_t>(clip)].CurrentRect);
}

void NoteRenderer::DrawNotes() {
    AnimateClips();
    screen_.BackSurface.BltColorFill(screen_.BackRect, 0);

    // Layout pieces lie under the notes, in the order of their lines.
    for (int k = 0; k <= skin_.LayerCount && k < kLayerSlots; ++k) {
        const int p = skin_.LayerList[static_cast<size_t>(k)];
        if (p < 0 || p >= kLayerSlots) continue;
        int64_t y = skin_.LayerY[static_cast<size_t>(p)];
        if (y < 0) y += screen_.BackRect.Bottom;
        DrawClip(skin_.LayerClip[static_cast<size_t>(p)], skin_.LayerX[static_cast<size_t>(p)], y);
    }

    // Notes from the play cursor up to the first one beyond the top of the window.
    const double judgeY = screen_.JudgeLineY;
    const double now = engine_.CurrentTick;
    const int64_t count = std::min<int64_t>(chart_.EventCount, static_cast<int64_t>(chart_.Events.size()));
    for (int64_t i = std::max<int32_t>(engine_.NextEvent, 0); i < count; ++i) {
        const ChartEvent& ev = chart_.Events[static_cast<size_t>(i)];
        const double tick = chart_.EventTick(static_cast<size_t>(i));
        if (!(judgeY + now >= tick)) break;
        const double bottom = std::nearbyint(judgeY - (tick - now));
        if (!(bottom >= std::numeric_limits<int32_t>::min() && bottom <= std::numeric_limits<int32_t>::max())) {
            continue;
        }
        // Only the low 16 bits of the channel count.
        const auto channel = static_cast<int16_t>(static_cast<uint32_t>(ev.Channel) & 0xffffu);
        int column;
        if (channel == kChannelBarLine) column = kFirstNoteChannel;
        else if ((channel >= 11 && channel <= 19) || (channel >= 21 && channel <= 29)) column = channel;
        // A long note of the Extended reading is drawn as its start note.
        else if (chart_.Extended.active && ((channel >= 51 && channel <= 59) || (channel >= 61 && channel <= 69)))
            column = channel - 40;
        else continue;
        const int m = skin_.NoteClip[column];
        if (m < 0 || m >= kClipSlots) continue;
        DrawClip(m, skin_.NoteX[column], static_cast<int64_t>(bottom) - skin_.ClipHeight[static_cast<size_t>(m)]);
    }

    ddraw_.BltToScreen(screen_.BackSurface, screen_.BackRect, screen_.ScreenRect);
}

}  // namespace jov
