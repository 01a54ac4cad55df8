#include "notes/surfaces.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "shell/status.h"

namespace jov {
namespace {

uint32_t Pixel(const Surface& s, int x, int y) { return s.Image().pixel(x, y) & 0xffffffu; }

// A 4 x 3 source whose every pixel has its own colour: 0x00yyxx + 0x010101.
Surface NumberedSource() {
    Surface src;
    EXPECT_TRUE(src.Create(4, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) src.BltColorFill(RECT{x, y, x + 1, y + 1}, 0x010101u + (y << 8) + x);
    return src;
}

TEST(Surface, NewSurfacesAreBlackAndBadSizesFail) {
    Surface s;
    EXPECT_TRUE(s.Create(5, 4));
    EXPECT_EQ(Pixel(s, 4, 3), 0u);
    EXPECT_FALSE(s.Create(0, 4));
    EXPECT_FALSE(s.Create(4, -1));
    EXPECT_EQ(s.Width(), 5);  // a failed create leaves the surface as it was
}

// The destination as rows of letters: source pixel (x, y) is 'a' + 4y + x, black is '.'.
std::string Map(const Surface& s) {
    std::string out;
    for (int y = 0; y < s.Height(); ++y, out += '/')
        for (int x = 0; x < s.Width(); ++x) {
            const uint32_t p = Pixel(s, x, y);
            out += p ? char('a' + 4 * ((p - 0x010101u) >> 8) + ((p - 0x010101u) & 0xff)) : '.';
        }
    return out;
}

TEST(Surface, CopiesAreCutAtEveryEdgeOfBothSurfaces) {
    const Surface src = NumberedSource();
    Surface dst;
    ASSERT_TRUE(dst.Create(6, 5));
    // Over the top-left and bottom-right corners; a source rectangle reaching outside the
    // bitmap copies only the part inside, still at the place its corner names; empty,
    // inverted and far-away rectangles copy nothing and never fault.
    const std::tuple<int, int, RECT, const char*> cases[] = {
        {-2, -1, RECT{0, 0, 4, 3}, "gh..../kl..../....../....../....../"},
        {4, 3, RECT{0, 0, 4, 3}, "....../....../....../....ab/....ef/"},
        {1, 1, RECT{-1, 2, 10, 10}, "....../..ijkl/....../....../....../"},
        {0, 0, RECT{2, 2, 2, 3}, "....../....../....../....../....../"},
        {0, 0, RECT{3, 2, 1, 0}, "....../....../....../....../....../"},
        {INT32_MIN, INT32_MAX, RECT{0, 0, 4, 3}, "....../....../....../....../....../"},
        {0, 0, RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, "....../....../....../....../....../"}};
    for (const auto& [x, y, rect, map] : cases) {
        dst.BltColorFill(RECT{-10, -10, 100, 100}, 0);  // the fill is cut too
        dst.BltFast(x, y, src, rect);
        EXPECT_EQ(Map(dst), map) << x << "," << y;
    }

    Surface none;  // copies from or to a missing surface are skipped
    dst.BltFast(0, 0, none, RECT{0, 0, 4, 3});
    none.BltFast(0, 0, src, RECT{0, 0, 4, 3});
    none.BltColorFill(RECT{0, 0, 4, 3}, 0xffffff);
    EXPECT_TRUE(none.IsNull());
}

struct Messages : DisplayMessageHook {
    std::vector<std::string> shown;
    void ShowCriticalMessage(const std::string& text) override { shown.push_back(text); }
};
struct Statuses : StatusSink {
    std::vector<std::string> seen;
    void OnCaption(const std::string&) override {}
    void OnStatus(const std::string& s) override { seen.push_back(s); }
};
struct Screen : Presenter {
    int frames = 0;
    void Present(const Surface&, const RECT&, const RECT&) override { ++frames; }
};

TEST(DirectDrawSetUp, WithoutADisplayEveryStepIsReportedInOrderAndSetUpGoesOn) {
    Messages messages;
    Statuses statuses;
    Shell shell(&statuses);
    Screen screen;
    DirectDraw ddraw;
    ddraw.InitDirectDraw(&screen, false, UiLanguage::English, &shell, &messages);
    EXPECT_EQ(statuses.seen, std::vector<std::string>{"initializing directdraw..."});
    const std::string head = "DirectDraw initialize has failed.\r\n";
    EXPECT_EQ(messages.shown, (std::vector<std::string>{head + "Init:DDNOTE", head + "Init:DDNOTE:SetCooperativeLevel",
                                                        head + "Init:DDNOTE:CreatePrimarySurface",
                                                        head + "Init:DDNOTE:CreateClipper"}));
    Surface s;
    EXPECT_FALSE(ddraw.CreateSurface(s, 10, 10));
    Surface back;
    ASSERT_TRUE(back.Create(2, 2));
    ddraw.BltToScreen(back, RECT{0, 0, 2, 2}, RECT{});
    EXPECT_EQ(screen.frames, 0);

    messages.shown.clear();
    DirectDraw ok;
    ok.InitDirectDraw(&screen, true, UiLanguage::Japanese, nullptr, &messages);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(ok.CreateSurface(s, 10, 10));
    ok.BltToScreen(back, RECT{0, 0, 2, 2}, RECT{});
    EXPECT_EQ(screen.frames, 1);
    EXPECT_EQ(DirectDrawFailureMessage(UiLanguage::Japanese, DirectDraw::kTagCreate),
              "DirectDrawの初期化に失敗しました。\r\nInit:DDNOTE");
}

}  // namespace
}  // namespace jov
