#pragma once
// Draws one frame of the notes window: the skin's layout pieces, then every note and
// bar line between the top of the window and the judge line, one pixel per tick.
#include "notes/notes_screen.h"
#include "notes/skin.h"

namespace jov {

struct ChartModel;
struct EngineState;

class NoteRenderer {
public:
    NoteRenderer(SkinTables& skin, NotesScreen& screen, const DirectDraw& ddraw,
                 const EngineState& engine, const ChartModel& chart)
        : skin_(skin), screen_(screen), ddraw_(ddraw), engine_(engine), chart_(chart) {}

    // Picks each animated clip's current frame from the clock.
    void AnimateClips();
    // One whole frame, handed to the screen at the end. Allocates nothing.
    void DrawNotes();

private:
    void DrawClip(int clip, int64_t x, int64_t y);

    SkinTables& skin_;
    NotesScreen& screen_;
    const DirectDraw& ddraw_;
    const EngineState& engine_;
    const ChartModel& chart_;
};

}  // namespace jov
