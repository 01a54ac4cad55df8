#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

using namespace jov::tooltest;

ToolRun Skin(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"skin"};
    all.insert(all.end(), args.begin(), args.end());
    return Tool(all);
}

const std::string kEmptyChannels =
    "{\"10\":0,\"11\":0,\"12\":0,\"13\":0,\"14\":0,\"15\":0,\"16\":0,\"17\":0,\"18\":0,\"19\":0,"
    "\"20\":0,\"21\":0,\"22\":0,\"23\":0,\"24\":0,\"25\":0,\"26\":0,\"27\":0,\"28\":0,\"29\":0}";

TEST(SkinTool, PrintsTheTablesInTheirOrder) {
    const fs::path dir = fs::temp_directory_path() / "jov01_skin_tool_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    QImage image(20, 30, QImage::Format_RGB32);
    image.fill(0xff000000u);
    ASSERT_TRUE(image.save(QString::fromStdString((dir / "pic.bmp").string())));
    std::ofstream(dir / "bms.hrd", std::ios::binary)
        << "#FIL  pic.bmp\r\n#YPO      -40\r\n#CLI 1A 0,10.5,20,7,3,-48\r\n#CLI 02 1,2,3,4\r\n#CLI 1a 0,0,1,1\r\n"
           "#NOT 11 1A,40\r\n#NOT 10 02,7\r\n#LAY  01 2F,0,-32\r\n#LAY  00 02,5,6\r\n";

    const ToolRun run = Skin({(dir / "bms.hrd").string()});
    EXPECT_EQ(run.code, 0);
    const std::string channels11 = std::string(kEmptyChannels).replace(kEmptyChannels.find("\"11\":0"), 6, "\"11\":26");
    const std::string noteClip = std::string(channels11).replace(channels11.find("\"10\":0"), 6, "\"10\":2");
    const std::string noteX11 = std::string(kEmptyChannels).replace(kEmptyChannels.find("\"11\":0"), 6, "\"11\":40");
    const std::string noteX = std::string(noteX11).replace(noteX11.find("\"10\":0"), 6, "\"10\":7");
    const std::string clip1a = "{\"n\":26,\"ClipWidth\":1,\"ClipHeight\":1,\"FrameCount\":3,\"AnimMode\":2,"
                               "\"AnimInterval\":48,\"FrameRects\":[[0,0,1,1],[0,1,1,2],[0,2,1,3]]}";
    EXPECT_EQ(run.out,
              "{\"JudgeLinePos\":-40,\"ClipCount\":2,\"LayerCount\":1,\"Bitmap\":\"" + (dir / "pic.bmp").string() +
                  "\",\"BitmapSize\":[20,30],\"Clips\":[" + clip1a +
                  ",{\"n\":2,\"ClipWidth\":3,\"ClipHeight\":4,\"FrameCount\":1,\"AnimMode\":0,\"AnimInterval\":0,"
                  "\"FrameRects\":[[1,2,4,6]]}," + clip1a + "],\"NoteClip\":" + noteClip + ",\"NoteX\":" + noteX +
                  ",\"Layers\":[{\"k\":1,\"LayerClip\":47,\"LayerX\":0,\"LayerY\":-32},"
                  "{\"k\":0,\"LayerClip\":2,\"LayerX\":5,\"LayerY\":6}]}\n");
    fs::remove_all(dir);
}

TEST(SkinTool, MissingFileAndBadArguments) {
    const ToolRun missing = Skin({"/nonexistent/bms.hrd"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.out, "{\"JudgeLinePos\":0,\"ClipCount\":-1,\"LayerCount\":-1,\"Bitmap\":\"\",\"BitmapSize\":[0,0],"
                           "\"Clips\":[],\"NoteClip\":" + kEmptyChannels + ",\"NoteX\":" + kEmptyChannels +
                           ",\"Layers\":[]}\n");
    EXPECT_EQ(Skin({}).code, 2);
    EXPECT_EQ(Skin({"a.hrd", "b.hrd"}).code, 2);
}

TEST(SkinTool, TheDefaultSkinLoadsWhole) {
    const ToolRun run = Skin({std::string(JOV01_TEST_DATA) + "/../../assets/skin/bms.hrd"});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find("\"BitmapSize\":[256,360]"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"ClipCount\":6,\"LayerCount\":6"), std::string::npos);
}

}  // namespace
