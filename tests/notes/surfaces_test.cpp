#include "notes/surfaces.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "shell/status.h"

namespace jov {
namespace {

// The surface as rows of letters: each pixel's colour is its letter, black is '.'.
std::string Map(const Surface& s) {
    std::string out;
    for (int y = 0; y < s.Height(); ++y, out += '/')
        for (int x = 0; x < s.Width(); ++x) {
            const char letter = static_cast<char>(s.Image().pixel(x, y) & 0xffu);
            out += letter ? letter : '.';
        }
    return out;
}

TEST(Surface, CopiesAreCutAtEveryEdgeOfBothSurfaces) {
    // A 4 x 3 source whose pixel (x, y) has the colour of letter 'a' + 4y + x.
    Surface src;
    ASSERT_TRUE(src.Create(4, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) src.BltColorFill(RECT{x, y, x + 1, y + 1}, 'a' + 4 * y + x);
    Surface dst;
    ASSERT_TRUE(dst.Create(6, 5));
    EXPECT_EQ(Map(dst), "....../....../....../....../....../");  // new surfaces are black
    EXPECT_FALSE(dst.Create(0, 4));
    EXPECT_FALSE(dst.Create(4, -1));
    EXPECT_EQ(dst.Width(), 6);  // a failed create leaves the surface as it was
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

// Where the set-up's messages, status lines and frames go.
struct Display : DisplayMessageHook, StatusSink, Presenter {
    std::vector<std::string> shown, statuses;
    int frames = 0;
    void ShowCriticalMessage(const std::string& text) override { shown.push_back(text); }
    void OnCaption(const std::string&) override {}
    void OnStatus(const std::string& s) override { statuses.push_back(s); }
    void Present(const Surface&, const RECT&, const RECT&) override { ++frames; }
};

TEST(DirectDrawSetUp, WithoutADisplayEveryStepIsReportedInOrderAndSetUpGoesOn) {
    Display display;
    Shell shell(&display);
    DirectDraw ddraw;
    ddraw.InitDirectDraw(&display, false, UiLanguage::English, &shell, &display);
    EXPECT_EQ(display.statuses, std::vector<std::string>{"initializing directdraw..."});
    const std::string head = "DirectDraw initialize has failed.\r\n";
    EXPECT_EQ(display.shown, (std::vector<std::string>{head + "Init:DDNOTE", head + "Init:DDNOTE:SetCooperativeLevel",
                                                       head + "Init:DDNOTE:CreatePrimarySurface",
                                                       head + "Init:DDNOTE:CreateClipper"}));
    Surface s;
    EXPECT_FALSE(ddraw.CreateSurface(s, 10, 10));
    Surface back;
    ASSERT_TRUE(back.Create(2, 2));
    ddraw.BltToScreen(back, RECT{0, 0, 2, 2}, RECT{});
    EXPECT_EQ(display.frames, 0);

    display.shown.clear();
    DirectDraw ok;
    ok.InitDirectDraw(&display, true, UiLanguage::Japanese, nullptr, &display);
    EXPECT_TRUE(display.shown.empty());
    EXPECT_TRUE(ok.CreateSurface(s, 10, 10));
    ok.BltToScreen(back, RECT{0, 0, 2, 2}, RECT{});
    EXPECT_EQ(display.frames, 1);
    EXPECT_EQ(DirectDrawFailureMessage(UiLanguage::Japanese, DirectDraw::kTagCreate),
              "DirectDrawの初期化に失敗しました。\r\nInit:DDNOTE");
}

}  // namespace
}  // namespace jov
