#include "notes/note_renderer.h"

#include <gtest/gtest.h>

#include <vector>

#include "chart/chart_model.h"
#include "engine/engine_state.h"
#include "notes/skin.h"

namespace jov {
namespace {

// tests/data/notes/notes.hrd: clip 01 is a 4 x 6 note whose rows are coloured by row,
// clip 02 a 4 x 1 bar line, clip 03 a 2 x 40 layout piece, clip 04 an animation of four
// 1 x 1 frames stacked downwards; notes at x 0, channel 11 at 10, the bar line at 20.
class Renderer : public ::testing::Test {
protected:
    void SetUp() override {
        ddraw_.InitDirectDraw(&presented_, true, UiLanguage::English, nullptr, nullptr);
        ASSERT_TRUE(LoadSkin(skin_, ddraw_, std::string(JOV01_TEST_DATA) + "/notes/notes.hrd"));
        ASSERT_EQ(skin_.SkinSurface.Width(), 16);
        Resize(40, 500);
    }

    static uint32_t RowColour(int r) { return 0x010100u + static_cast<uint32_t>(r) * 0x10u + 0x0f; }
    static constexpr uint32_t kBar = 0x00ff00;
    static constexpr uint32_t kPiece = 0x0000ff;

    void Resize(int w, int h) { ResizeNotesScreen(screen_, ddraw_, skin_, w, h, RECT{100, 100, 100 + w, 100 + h}); }
    void Events(std::vector<ChartEvent> events) {
        chart_.Events = std::move(events);
        chart_.EventCount = static_cast<int32_t>(chart_.Events.size());
    }
    uint32_t At(int x, int y) const { return screen_.BackSurface.Image().pixel(x, y) & 0xffffffu; }
    // The first row (from the top) in column x that is not black, or -1.
    int FirstRow(int x) const {
        for (int y = 0; y < screen_.BackSurface.Height(); ++y)
            if (At(x, y) != 0) return y;
        return -1;
    }
    void Draw() { NoteRenderer(skin_, screen_, ddraw_, engine_, chart_).DrawNotes(); }

    struct Frames : Presenter {
        int count = 0;
        RECT back, screen;
        void Present(const Surface&, const RECT& b, const RECT& s) override {
            ++count;
            back = b;
            screen = s;
        }
    } presented_;
    DirectDraw ddraw_;
    SkinTables skin_;
    NotesScreen screen_;
    EngineState engine_;
    ChartModel chart_;
};

TEST_F(Renderer, NotesFallOnePixelPerTickAndSitOnTheJudgeLine) {
    engine_.CurrentTick = 1000;
    Events({{0, 1000, 0, 11, 1}, {0, 1399, 0, 11, 1}, {0, 1400, 0, 11, 1}, {0, 1401, 0, 11, 1}});
    Draw();
    // Tick 1000 is at the judge line: rows 394 to 399, its last row on 399.
    EXPECT_EQ(At(10, 394), RowColour(0));
    EXPECT_EQ(At(10, 399), RowColour(5));
    EXPECT_EQ(At(10, 400), 0u);
    // Tick 1399 ends at y 1, so only its last row shows; 1400 ends at y 0 (fully above
    // the window) and 1401 is beyond the top.
    EXPECT_EQ(At(10, 0), RowColour(5));
    EXPECT_EQ(At(10, 1), 0u);
    EXPECT_EQ(presented_.count, 1);
    EXPECT_EQ(presented_.back, (RECT{0, 0, 40, 500}));
    EXPECT_EQ(presented_.screen, (RECT{100, 100, 140, 600}));

    // Events before the play cursor are gone, the note on the line with them.
    engine_.NextEvent = 1;
    Draw();
    EXPECT_EQ(At(10, 399), 0u);
    EXPECT_EQ(At(10, 0), RowColour(5));
}

TEST_F(Renderer, FractionalPositionsRoundHalfToEvenAndBadCursorsAreSafe) {
    Events({{0, 1200, 0, 11, 1}});
    engine_.CurrentTick = 1000.5;  // bottom edge at 200.5: 200
    Draw();
    EXPECT_EQ(FirstRow(10), 194);
    engine_.CurrentTick = 1001.5;  // 201.5: 202
    Draw();
    EXPECT_EQ(FirstRow(10), 196);

    // A cursor or count outside the events is safe.
    chart_.EventCount = 5;  // more than the list holds
    engine_.NextEvent = -3;
    engine_.CurrentTick = 1100;
    Draw();
    EXPECT_EQ(FirstRow(10), 294);
}

TEST_F(Renderer, ChannelsMapToColumnsAndTheBarLineUsesChannel10) {
    skin_.NoteX[16] = 30;
    skin_.NoteX[25] = 35;
    skin_.NoteX[20] = 5;
    engine_.CurrentTick = 0;
    Events({{0, 100, 0, kChannelBarLine, 0}, {0, 100, 0, 10, 0}, {0, 100, 0, 20, 0}, {0, 100, 0, 1, 1},
            {0, 100, 0, 3, 120}, {0, 100, 0, 17, 1}, {0, 100, 0, 16, 1}, {0, 100, 0, 25, 1},
            {0, 100, 0, 0x10000 + 16, 1}});
    Draw();
    EXPECT_EQ(FirstRow(20), 299);      // the bar line: clip 02 at x 20, one row
    EXPECT_EQ(At(20, 299), kBar);
    EXPECT_EQ(FirstRow(30), 294);      // scratch
    EXPECT_EQ(FirstRow(35), 294);      // the second player's side
    EXPECT_EQ(FirstRow(0), 294);       // channel 17 has no column of its own: x 0
    EXPECT_EQ(FirstRow(5), -1);        // channel 20 is never drawn
    EXPECT_EQ(FirstRow(25), -1);

    Events({{0, 100, 0, 10, 0}, {0, 100, 0, 1, 1}, {0, 100, 0, 3, 120}});
    Draw();
    EXPECT_EQ(FirstRow(20), -1);       // nor is channel 10 itself
    EXPECT_EQ(FirstRow(0), -1);
}

TEST_F(Renderer, LayoutPiecesLieUnderNotesAndCountNegativeYFromTheBottom) {
    Resize(40, 300);
    skin_.LayerList[++skin_.LayerCount] = 7;
    skin_.LayerClip[7] = 0x03;
    skin_.LayerX[7] = 10;
    skin_.LayerY[7] = -32;
    engine_.CurrentTick = 0;
    Events({{0, 110, 0, 11, 1}, {0, 112, 0, 11, 1}});  // a later tick on top of an earlier one
    Draw();
    EXPECT_EQ(At(10, 267), 0u);
    EXPECT_EQ(At(10, 268), kPiece);  // 300 - 32
    EXPECT_EQ(At(11, 299), kPiece);  // the piece is cut at the bottom edge
    // Note at 110 ends at y 290 (rows 284..289), the one at 112 at 288 (282..287).
    EXPECT_EQ(At(10, 282), RowColour(0));
    EXPECT_EQ(At(10, 287), RowColour(5));
    EXPECT_EQ(At(10, 288), RowColour(4));
    EXPECT_EQ(At(10, 290), kPiece);

    Events({});  // an empty chart draws only the layout
    Draw();
    EXPECT_EQ(FirstRow(10), 268);
}

TEST_F(Renderer, AnimatedClipsFollowTheClock) {
    ClipDef& anim = skin_.ClipDefs[4];
    NoteRenderer renderer(skin_, screen_, ddraw_, engine_, chart_);
    auto frameAt = [&](double tick) {
        engine_.CurrentTick = tick;
        renderer.AnimateClips();
        return anim.CurrentRect.Top;
    };
    // 47.5 rounds to 48; before the start: the first frame; beyond 32 bits: the frame stays.
    for (auto [tick, top] : {std::pair{0.0, 0}, {47.0, 0}, {47.5, 1}, {48.0, 1}, {191.0, 3}, {192.0, 0}, {-100.0, 0},
                             {3e12, 0}, {100.0, 2}, {1e300, 2}})
        EXPECT_EQ(frameAt(tick), top) << tick;

    anim.AnimMode = 1;  // by elapsed milliseconds
    engine_.ElapsedMs = 150;
    renderer.AnimateClips();
    EXPECT_EQ(anim.CurrentRect.Top, 3);
    engine_.ElapsedMs = -5;
    renderer.AnimateClips();
    EXPECT_EQ(anim.CurrentRect.Top, 0);
    anim.AnimInterval = 0;  // never changes frame
    anim.CurrentRect = anim.FrameRects[2];
    engine_.ElapsedMs = 1000;
    renderer.AnimateClips();
    EXPECT_EQ(anim.CurrentRect.Top, 2);

    // The drawn frame is the one chosen in the same pass.
    anim.AnimInterval = 48;
    skin_.NoteClip[12] = 0x04;
    skin_.NoteX[12] = 2;
    Events({{0, 100, 0, 12, 1}});
    engine_.ElapsedMs = 96;
    engine_.CurrentTick = 100;
    Draw();
    EXPECT_EQ(At(2, 399), 0x300000u);
}

TEST_F(Renderer, GeometryFollowsTheWindowAndNothingDrawsWithoutASurface) {
    Resize(300, 900);
    skin_.JudgeLinePos = 0;
    Resize(0, 0);  // no surface of that size: the previous one stays
    EXPECT_EQ(screen_.BackSurface.Height(), 900);
    EXPECT_EQ(screen_.JudgeLineY, 0);

    NotesScreen empty;
    DirectDraw none;
    Events({{0, 0, 0, 11, 1}});
    NoteRenderer(skin_, empty, none, engine_, chart_).DrawNotes();  // skipped, no fault
    EXPECT_TRUE(empty.BackSurface.IsNull());
}

}  // namespace
}  // namespace jov
