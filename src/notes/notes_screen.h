#pragma once
// The notes window's drawing geometry: the back frame, its rectangle, the picture
// area's screen rectangle and the judge line, kept in step with the window's size.
#include <cstdint>

#include "notes/surfaces.h"

namespace jov {

struct SkinTables;

struct NotesScreen {
    Surface BackSurface;
    RECT BackRect;
    RECT ScreenRect;
    int16_t JudgeLineY = 0;
};

// The resize steps for a client area of w by h pixels whose picture area sits at
// `screenRect` on the screen: a new back surface (the previous one stays when it cannot
// be made), the two rectangles and the judge line from the skin's `JudgeLinePos`.
void ResizeNotesScreen(NotesScreen& screen, const DirectDraw& ddraw, const SkinTables& skin,
                       int w, int h, const RECT& screenRect);

}  // namespace jov
