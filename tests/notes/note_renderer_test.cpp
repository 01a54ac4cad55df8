#include "notes/note_renderer.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "chart/chart_model.h"
#include "engine/engine_state.h"
#include "notes/skin.h"

namespace jov {
namespace {

// The skin tables as the tool prints them are checked by tests/data/cases/skin.
// tests/data/notes/notes.hrd: clip 01 is a 4 x 6 note whose rows are coloured by row,
// clip 02 a 4 x 1 bar line, clip 03 a 2 x 40 layout piece, clip 04 an animation of four
// 1 x 1 frames stacked downwards; notes at x 0, channel 11 at 10, the bar line at 20; the
// judge line at y 400.
class Renderer : public ::testing::Test {
protected:
    void SetUp() override {
        ddraw_.InitDirectDraw(&presented_, true, UiLanguage::English, nullptr, nullptr);
        ASSERT_TRUE(LoadSkin(skin_, ddraw_, std::string(JOV01_TEST_DATA) + "/notes/notes.hrd"));
        ASSERT_EQ(skin_.SkinSurface.Width(), 16);
        Resize(40, 500);
    }

    static uint32_t RowColour(int r) { return 0x010100u + static_cast<uint32_t>(r) * 0x10u + 0x0f; }
    static constexpr uint32_t kPiece = 0x0000ff;

    void Resize(int w, int h) { ResizeNotesScreen(screen_, ddraw_, skin_, w, h, RECT{100, 100, 100 + w, 100 + h}); }
    void Events(std::vector<ChartEvent> events) {
        chart_.Events = std::move(events);
        chart_.EventCount = static_cast<int32_t>(chart_.Events.size());
    }
    uint32_t At(int x, int y) const { return screen_.BackSurface.Image().pixel(x, y) & 0xffffffu; }
    // The first and last rows in column x that are not black, or -1.
    std::pair<int, int> Span(int x) const {
        std::pair<int, int> span{-1, -1};
        for (int y = 0; y < screen_.BackSurface.Height(); ++y)
            if (At(x, y) != 0) span = {span.first < 0 ? y : span.first, y};
        return span;
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

TEST_F(Renderer, NotesFallOnePixelPerTickInTheirChannelsColumn) {
    skin_.NoteX[16] = 30;
    skin_.NoteX[25] = 35;
    skin_.NoteX[20] = 5;
    const struct {
        double now;
        int32_t tick, channel;
        int x;
        std::pair<int, int> rows;
    } cases[] = {
        {1000, 1000, 11, 10, {394, 399}},      // on the judge line: its last row on 399
        {1000, 1399, 11, 10, {0, 0}},          // ends at y 1: only its last row shows
        {1000, 1400, 11, 10, {-1, -1}},        // ends at y 0, fully above the window
        {1000.5, 1200, 11, 10, {194, 199}},    // bottom edge at 200.5: 200, half to even
        {1001.5, 1200, 11, 10, {196, 201}},    // 201.5: 202
        {0, 100, kChannelBarLine, 20, {299, 299}},  // the bar line: clip 02, one row
        {0, 100, 16, 30, {294, 299}},          // scratch
        {0, 100, 0x10000 + 16, 30, {294, 299}},  // only the low 16 bits of a channel count
        {0, 100, 25, 35, {294, 299}},          // the second player's side
        {0, 100, 17, 0, {294, 299}},           // no column of its own: x 0
        {0, 100, 20, 5, {-1, -1}},             // never drawn: 20, 10, the background and tempo
        {0, 100, 10, 20, {-1, -1}},
        {0, 100, 1, 0, {-1, -1}},
        {0, 100, 3, 0, {-1, -1}},
    };
    for (const auto& c : cases) {
        engine_.CurrentTick = c.now;
        Events({{0, c.tick, 0, c.channel, 1}});
        Draw();
        EXPECT_EQ(Span(c.x), c.rows) << c.now << " " << c.tick << " " << c.channel;
    }
    EXPECT_EQ(presented_.back, (RECT{0, 0, 40, 500}));
    EXPECT_EQ(presented_.screen, (RECT{100, 100, 140, 600}));

    // Events before the play cursor are gone; a cursor or count outside the list is safe.
    engine_.CurrentTick = 1000;
    Events({{0, 1000, 0, 11, 1}, {0, 1100, 0, 11, 1}});
    engine_.NextEvent = 1;
    Draw();
    EXPECT_EQ(Span(10), (std::pair{294, 299}));
    chart_.EventCount = 5;
    engine_.NextEvent = -3;
    Draw();
    EXPECT_EQ(Span(10), (std::pair{294, 399}));
    EXPECT_EQ(presented_.count, static_cast<int>(std::size(cases)) + 2);

    // A long note of the Extended reading shows as its start note, at its exact tick.
    chart_.Extended.active = true;
    chart_.Extended.ExactTick = {1100.0};
    Events({{0, 0, 0, 51, 1}});
    engine_.NextEvent = 0;
    Draw();
    EXPECT_EQ(Span(10), (std::pair{294, 299}));
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
}

TEST_F(Renderer, AnimatedClipsFollowTheClock) {
    ClipDef& anim = skin_.ClipDefs[4];
    NoteRenderer renderer(skin_, screen_, ddraw_, engine_, chart_);
    // By tick (mode 2): 47.5 rounds to 48; before the start the first frame; beyond 32 bits the
    // frame stays. By elapsed milliseconds (mode 1), and never with an interval of 0.
    const struct {
        int mode, interval;
        double tick;
        int64_t ms;
        int top;
    } cases[] = {{2, 48, 0.0, 0, 0},    {2, 48, 47.0, 0, 0}, {2, 48, 47.5, 0, 1}, {2, 48, 48.0, 0, 1},
                 {2, 48, 191.0, 0, 3},  {2, 48, 192.0, 0, 0}, {2, 48, -100.0, 0, 0}, {2, 48, 3e12, 0, 0},
                 {2, 48, 100.0, 0, 2},  {2, 48, 1e300, 0, 2}, {1, 48, 0.0, -5, 0}, {1, 48, 0.0, 150, 3},
                 {1, 0, 0.0, 1000, 3}};
    for (const auto& c : cases) {
        anim.AnimMode = c.mode;
        anim.AnimInterval = c.interval;
        engine_.CurrentTick = c.tick;
        engine_.ElapsedMs = c.ms;
        renderer.AnimateClips();
        EXPECT_EQ(anim.CurrentRect.Top, c.top) << c.mode << " " << c.tick << " " << c.ms;
    }

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
    EXPECT_EQ(skin_.ClipDefs[4].CurrentRect, (RECT{12, 0, 13, 1}));  // each clip starts on its first frame
    skin_.JudgeLinePos = -40;  // 0 or less counts from the bottom edge
    Resize(300, 900);
    EXPECT_EQ(screen_.JudgeLineY, 860);
    Resize(0, 0);  // no surface of that size: the previous one stays
    EXPECT_EQ(screen_.BackSurface.Height(), 900);

    // Without display objects the tables load but no bitmap does, and nothing is drawn.
    NotesScreen empty;
    DirectDraw none;
    ASSERT_TRUE(LoadSkin(skin_, none, std::string(JOV01_TEST_DATA) + "/notes/notes.hrd"));
    EXPECT_TRUE(skin_.SkinSurface.IsNull());
    EXPECT_EQ(skin_.SkinBitmap, "");
    EXPECT_EQ(skin_.NoteX[11], 10);
    Events({{0, 0, 0, 11, 1}});
    NoteRenderer(skin_, empty, none, engine_, chart_).DrawNotes();  // skipped, no fault
    EXPECT_TRUE(empty.BackSurface.IsNull());
}

}  // namespace
}  // namespace jov
