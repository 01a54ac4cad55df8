// The skin tables as the tool prints them are checked by tests/data/cases/skin; here what
// it does not print: the current frame, and a load without display objects.
#include "notes/skin.h"

#include <gtest/gtest.h>

#include <tuple>

namespace jov {
namespace {

TEST(SkinFile, CurrentFrameIsTheFirstAndNoDisplayLoadsNoBitmap) {
    const std::string hrd = std::string(JOV01_TEST_DATA) + "/cases/skin/worked.hrd";
    SkinTables skin;
    DirectDraw ddraw;
    ddraw.InitDirectDraw(nullptr, true, UiLanguage::English, nullptr, nullptr);
    ASSERT_TRUE(LoadSkin(skin, ddraw, hrd));
    EXPECT_EQ(skin.ClipDefs[0x1A].CurrentRect, (RECT{0, 10, 20, 17}));
    EXPECT_EQ(skin.SkinSurface.Width(), 64);

    DirectDraw none;
    ASSERT_TRUE(LoadSkin(skin, none, hrd));
    EXPECT_TRUE(skin.SkinSurface.IsNull());
    EXPECT_EQ(skin.SkinBitmap, "");
    EXPECT_EQ(std::tie(skin.JudgeLinePos, skin.NoteX[11]), std::make_tuple(-40, 40));
}

}  // namespace
}  // namespace jov
