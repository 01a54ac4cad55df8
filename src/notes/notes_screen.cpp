#include "notes/notes_screen.h"

#include "notes/skin.h"

namespace jov {

void ResizeNotesScreen(NotesScreen& screen, const DirectDraw& ddraw, const SkinTables& skin,
                       int w, int h, const RECT& screenRect) {
    Surface back;
    if (ddraw.CreateSurface(back, w, h)) screen.BackSurface = std::move(back);
    if (ddraw.HasDevice()) screen.ScreenRect = screenRect;
    screen.BackRect = RECT{0, 0, w, h};
    // 1 or more counts from the top, 0 or less from the bottom edge.
    const int64_t judge = skin.JudgeLinePos >= 1 ? int64_t{skin.JudgeLinePos} : int64_t{skin.JudgeLinePos} + h;
    if (judge >= INT16_MIN && judge <= INT16_MAX) screen.JudgeLineY = static_cast<int16_t>(judge);
}

}  // namespace jov
