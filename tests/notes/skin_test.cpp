#include "notes/skin.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

namespace jov {
namespace {

namespace fs = std::filesystem;

class SkinFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("jov01_skin_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ddraw_.InitDirectDraw(nullptr, true, UiLanguage::English, nullptr, nullptr);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Bitmap(const std::string& name, int w, int h) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(0xff336699u);
        ASSERT_TRUE(image.save(QString::fromStdString((dir_ / name).string())));
    }
    bool Load(const std::string& bytes) {
        std::ofstream(dir_ / "bms.hrd", std::ios::binary) << bytes;
        return LoadSkin(skin_, ddraw_, (dir_ / "bms.hrd").string());
    }
    static RECT R(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

    fs::path dir_;
    DirectDraw ddraw_;
    SkinTables skin_;
};

TEST_F(SkinFile, TheWorkedExampleLinesFillTheTables) {
    Bitmap("skin.png", 64, 128);
    ASSERT_TRUE(Load("; a comment\r\n"
                     "#file=skin.png\r\n"        // any case, columns 5 and 6 free
                     "#YPO      -40\r\n"
                     "#CLI 1A 0,10.5,20,7,3,48\r\n"
                     "#NOT 11 1A,40\r\n"
                     "#LAY  01 2F,0,-32\r\n"));
    EXPECT_EQ(skin_.SkinBitmap, (dir_ / "skin.png").string());
    EXPECT_EQ(skin_.SkinSurface.Width() * 1000 + skin_.SkinSurface.Height(), 64128);
    EXPECT_EQ(skin_.JudgeLinePos, -40);
    ASSERT_EQ(skin_.ClipCount, 0);
    EXPECT_EQ(skin_.ClipList[0], 0x1A);
    const ClipDef& clip = skin_.ClipDefs[0x1A];
    EXPECT_EQ(std::tie(clip.FrameCount, clip.AnimMode, clip.AnimInterval), std::make_tuple(3, 1, 48));
    // 10.5, 17.5 and 24.5 round to the even neighbour.
    EXPECT_EQ(clip.FrameRects, (std::vector<RECT>{R(0, 10, 20, 17), R(0, 18, 20, 25), R(0, 24, 20, 31)}));
    EXPECT_EQ(clip.CurrentRect, R(0, 10, 20, 17));
    EXPECT_EQ(std::tie(skin_.NoteClip[11], skin_.NoteX[11]), std::make_tuple(0x1A, 40));
    ASSERT_EQ(skin_.LayerCount, 0);
    EXPECT_EQ(std::tie(skin_.LayerList[0], skin_.LayerClip[1], skin_.LayerY[1]), std::make_tuple(1, 0x2F, -32));
}

TEST_F(SkinFile, EveryLineEndCountsAndTextIsDecodedLikeACharts) {
    // UTF-16 with its byte-order mark, lone CR and lone LF line ends.
    const std::string text = "#YPO      7\r#NOT 12 03,5\n#CLI 03 1,2,3,4\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text) utf16 += std::string{c, '\0'};
    ASSERT_TRUE(Load(utf16));
    EXPECT_EQ(skin_.JudgeLinePos, 7);
    EXPECT_EQ(skin_.NoteX[12], 5);
    EXPECT_EQ(skin_.ClipCount, 0);

    // A LF-only file is not one long line; the last line needs no line end.
    ASSERT_TRUE(Load("#YPO      1\n#NOT 13 01,9\n#NOT 14 01,8"));
    EXPECT_EQ(skin_.NoteX[13], 9);
    EXPECT_EQ(skin_.NoteX[14], 8);
}

TEST_F(SkinFile, MissingOrUnreadableFilesLeaveEmptyTables) {
    ASSERT_TRUE(Load("#YPO      5\r\n#CLI 01 1,2,3,4\r\n"));
    EXPECT_FALSE(LoadSkin(skin_, ddraw_, (dir_ / "none.hrd").string()));
    EXPECT_EQ(std::tie(skin_.ClipCount, skin_.LayerCount, skin_.JudgeLinePos), std::make_tuple(-1, -1, 0));
    EXPECT_FALSE(LoadSkin(skin_, ddraw_, dir_.string()));  // a folder

    ASSERT_TRUE(Load("\r\n; only comments\r\n#\r\n#FI\r\n"));
    EXPECT_EQ(skin_.ClipCount, -1);
    EXPECT_TRUE(skin_.SkinSurface.IsNull());
}

TEST_F(SkinFile, BitmapNameIsLiteralAndASecondOneReplacesOnlyWhenItLoads) {
    Bitmap("a.bmp", 8, 8);
    Bitmap("b.png", 16, 4);
    ASSERT_TRUE(Load("#FIL  a.bmp\r\n#FIL  missing.png\r\n#FIL   b.png\r\n#FIL  A.BMP\r\n"));
    EXPECT_EQ(skin_.SkinBitmap, (dir_ / "a.bmp").string());  // " b.png" and "A.BMP" are other names
    ASSERT_TRUE(Load("#FIL  a.bmp\r\n#fil  b.png\r\n"));
    EXPECT_EQ(skin_.SkinBitmap, (dir_ / "b.png").string());
    EXPECT_EQ(skin_.SkinSurface.Width(), 16);

    // Without display objects no bitmap loads; the rest of the file still does.
    DirectDraw none;
    ASSERT_TRUE(LoadSkin(skin_, none, (dir_ / "bms.hrd").string()));
    EXPECT_TRUE(skin_.SkinSurface.IsNull());
    EXPECT_EQ(skin_.SkinBitmap, "");
}

TEST_F(SkinFile, JudgeLineTakesTheLeadingNumberOnly) {
    for (auto [text, pos] : {std::pair<const char*, int>{"#YPO      25 0px\r\n", 25},
                             {"#YPO      \t200.5\r\n", 200},
                             {"#YPO      -1.5D1x\r\n", -15},
                             {"#YPO      12\r\n#YPO      px\r\n", 0},  // no number is 0
                             // Too big for 16 bits: the earlier value stays.
                             {"#YPO      12\r\n#YPO      40000\r\n#YPO      1E999\r\n", 12}}) {
        ASSERT_TRUE(Load(text));
        EXPECT_EQ(skin_.JudgeLinePos, pos) << text;
    }
}

TEST_F(SkinFile, ClipLinesOutsideTheFormatAreIgnoredWhole) {
    ASSERT_TRUE(Load("#CLI 01 1,2,3\r\n"          // three fields
                     "#CLI 02 1,2,3,4,5\r\n"      // exactly five
                     "#CLI 03 1,2,3,4,-1,5\r\n"   // negative frame count
                     "#CLI 0G 1,2,3,4\r\n"        // not hex
                     "#CLI  4 1,2,3,4\r\n"        // a blank in the number
                     "#CLI 0\r\n"));
    EXPECT_EQ(skin_.ClipCount, -1);
    EXPECT_EQ(skin_.ClipWidth[1] + skin_.ClipWidth[2] + skin_.ClipWidth[3], 0);

    ASSERT_TRUE(Load("#CLI 0a 1,2,3,4,-0.4,-0.3\r\n"   // -0.4 rounds to 0 frames: one frame
                     "#CLI 0B 1,2,3,4,2,0,extra\r\n"
                     "#CLI 0c 1,2,3,4,0,7,\r\n"));
    ASSERT_EQ(skin_.ClipCount, 2);
    const ClipDef& a = skin_.ClipDefs[0x0A];
    EXPECT_EQ(std::tie(a.FrameCount, a.AnimMode, a.AnimInterval), std::make_tuple(1, 2, 0));  // mode: the sign before rounding
    EXPECT_EQ(skin_.ClipDefs[0x0B].FrameRects.size(), 2u);
    EXPECT_EQ(skin_.ClipDefs[0x0B].AnimMode, 1);
    EXPECT_EQ(skin_.ClipDefs[0x0C].FrameCount, 1);
}

TEST_F(SkinFile, BadFieldsFailAloneAndRedefinitionsKeepWhatTheyDoNotSay) {
    ASSERT_TRUE(Load("#CLI 05 0,0,10,4,3,-48\r\n"
                     "#CLI 05 &H10, 8 ,1 000, 6\r\n"     // width not a number: 10 stays
                     "#CLI 06 x,2.5,4,1D1,2,1\r\n"       // Left fails: 0 in the new frames
                     "#CLI 07 1,y,4,2,2,1\r\n"          // Top fails: 0
                     "#CLI 09 .,1.,.5E1,2.,1.,1\r\n")); // a lone point is no number; "1." and ".5" are
    ASSERT_EQ(skin_.ClipCount, 4);
    EXPECT_EQ(skin_.ClipDefs[9].FrameRects, (std::vector<RECT>{R(0, 1, 5, 3)}));
    EXPECT_EQ(skin_.ClipList[0] + skin_.ClipList[1], 10);  // listed twice
    const ClipDef& five = skin_.ClipDefs[5];
    EXPECT_EQ(std::tie(skin_.ClipWidth[5], skin_.ClipHeight[5]), std::make_tuple(10, 6));
    EXPECT_EQ(std::tie(five.FrameCount, five.AnimMode), std::make_tuple(3, 2));  // four fields keep the animation
    EXPECT_EQ(five.FrameRects, (std::vector<RECT>{R(16, 8, 26, 14), R(16, 14, 26, 20), R(16, 20, 26, 26)}));
    EXPECT_EQ(skin_.ClipDefs[6].FrameRects, (std::vector<RECT>{R(0, 2, 4, 12), R(0, 12, 4, 22)}));
    EXPECT_EQ(skin_.ClipDefs[7].FrameRects, (std::vector<RECT>{R(1, 0, 5, 2), R(1, 0, 5, 2)}));

    // Values beyond the targets fail their own statement only.
    ASSERT_TRUE(Load("#CLI 08 2147483647,0,40000,4,1,3E9\r\n"));
    const ClipDef& eight = skin_.ClipDefs[8];
    EXPECT_EQ(std::tie(skin_.ClipWidth[8], eight.AnimInterval, eight.AnimMode), std::make_tuple(0, 0, 1));
    EXPECT_EQ(eight.FrameRects, (std::vector<RECT>{R(2147483647, 0, 2147483647, 4)}));
}

TEST_F(SkinFile, NoteAndLayoutLinesCheckTheirNumbersAndClips) {
    ASSERT_TRUE(Load("#NOT 09 01,1\r\n#NOT 30 01,1\r\n#NOT 1a 01,1\r\n#NOT 11 01\r\n"
                     "#NOT 12 100,5\r\n"      // clip above 255: ignored
                     "#NOT 13 zz,5\r\n"       // no hex digit: clip 0
                     "#NOT 14  F f,6\r\n"     // blanks inside are skipped
                     "#NOT 15 -1,7\r\n#NOT 16 0x1F,8\r\n#NOT 17 02,x\r\n#NOT 20 03,9\r\n#NOT 29 04,-3\r\n"
                     "#LAY  1 01,0,0\r\n#LAY  02 01,0\r\n#LAY  03 1FF,0,0\r\n"
                     "#LAY  04 2F,7,\r\n#LAY  05 01,1,2\r\n#LAY  04 30,8,9\r\n"));
    // Channel: clip, x.
    const std::tuple<int, int, int> notes[] = {{10, 0, 0}, {11, 0, 0}, {12, 0, 0},  {13, 0, 5},  {14, 0xFF, 6},
                                               {15, 0, 7}, {16, 0, 8}, {17, 2, 0},  {20, 3, 9},  {29, 4, -3}};
    for (auto [c, clip, x] : notes) EXPECT_EQ(std::tie(skin_.NoteClip[c], skin_.NoteX[c]), std::make_tuple(clip, x)) << c;
    // Lines in order; a trailing comma is an empty (failing) field; a reused number
    // is listed again and holds the last values.
    ASSERT_EQ(skin_.LayerCount, 2);
    EXPECT_EQ(std::tie(skin_.LayerList[0], skin_.LayerList[1], skin_.LayerList[2]), std::make_tuple(4, 5, 4));
    EXPECT_EQ(std::tie(skin_.LayerClip[4], skin_.LayerX[4], skin_.LayerY[4]), std::make_tuple(0x30, 8, 9));
}

TEST_F(SkinFile, TablesStopAt256ClipAndLayoutLines) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "#CLI %02X %d,0,1,1\r\n#LAY  %02d 01,%d,0\r\n", i % 256, i, i % 100, i);
        text += line;
    }
    ASSERT_TRUE(Load(text));
    EXPECT_EQ(skin_.ClipCount, 255);
    EXPECT_EQ(skin_.LayerCount, 255);
    EXPECT_EQ(skin_.ClipDefs[0].FrameRects[0].Left, 0);  // the 257th line (clip 00 again) is ignored
    EXPECT_EQ(skin_.LayerX[55], 255);                      // piece 55's last accepted line was the 256th
}

}  // namespace
}  // namespace jov
