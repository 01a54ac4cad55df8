// The skin command, built as a module the tool loads only for it (it needs the image library).
#include <cstdio>
#include <string>

#include "notes/skin.h"
#include "notes/surfaces.h"
#include "shell/json.h"
#include "tool/tool_commands.h"

namespace jov::tool {

namespace {

void WriteRect(JsonWriter& json, const RECT& r) {
    json.BeginArray().Int(r.Left).Int(r.Top).Int(r.Right).Int(r.Bottom).EndArray();
}

std::string SkinJson(const SkinTables& skin) {
    JsonWriter json;
    json.BeginObject();
    json.Key("JudgeLinePos").Int(skin.JudgeLinePos);
    json.Key("ClipCount").Int(skin.ClipCount);
    json.Key("LayerCount").Int(skin.LayerCount);
    const bool loaded = !skin.SkinSurface.IsNull();
    json.Key("Bitmap").String(loaded ? skin.SkinBitmap : std::string());
    json.Key("BitmapSize").BeginArray()
        .Int(loaded ? skin.SkinSurface.Width() : 0)
        .Int(loaded ? skin.SkinSurface.Height() : 0)
        .EndArray();

    json.Key("Clips").BeginArray();
    for (int k = 0; k <= skin.ClipCount; ++k) {
        const auto n = static_cast<size_t>(skin.ClipList[static_cast<size_t>(k)]);
        const ClipDef& clip = skin.ClipDefs[n];
        json.BeginObject();
        json.Key("n").Int(static_cast<int64_t>(n));
        json.Key("ClipWidth").Int(skin.ClipWidth[n]);
        json.Key("ClipHeight").Int(skin.ClipHeight[n]);
        json.Key("FrameCount").Int(clip.FrameCount);
        json.Key("AnimMode").Int(clip.AnimMode);
        json.Key("AnimInterval").Int(clip.AnimInterval);
        json.Key("FrameRects").BeginArray();
        for (const RECT& r : clip.FrameRects) WriteRect(json, r);
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();

    json.Key("NoteClip").BeginObject();
    for (int c = kFirstNoteChannel; c <= kLastNoteChannel; ++c) json.Key(std::to_string(c)).Int(skin.NoteClip[c]);
    json.EndObject();
    json.Key("NoteX").BeginObject();
    for (int c = kFirstNoteChannel; c <= kLastNoteChannel; ++c) json.Key(std::to_string(c)).Int(skin.NoteX[c]);
    json.EndObject();

    json.Key("Layers").BeginArray();
    for (int i = 0; i <= skin.LayerCount; ++i) {
        const auto k = static_cast<size_t>(skin.LayerList[static_cast<size_t>(i)]);
        json.BeginObject();
        json.Key("k").Int(static_cast<int64_t>(k));
        json.Key("LayerClip").Int(skin.LayerClip[k]);
        json.Key("LayerX").Int(skin.LayerX[k]);
        json.Key("LayerY").Int(skin.LayerY[k]);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    return json.str();
}

}  // namespace

int CmdSkin(const Args& args) {
    if (args.size() != 1) {
        std::fputs("usage: jov01-tool skin FILE.hrd\n", stderr);
        return 2;
    }
    // The tool has no screen, but the bitmap is still read as the window would.
    DirectDraw ddraw;
    ddraw.InitDirectDraw(nullptr, true, UiLanguage::English, nullptr, nullptr);
    SkinTables skin;
    const bool read = LoadSkin(skin, ddraw, args[0]);
    const std::string out = SkinJson(skin) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (!read) {
        std::fprintf(stderr, "cannot read %s\n", args[0].c_str());
        return 1;
    }
    return 0;
}

}  // namespace jov::tool

extern "C" __attribute__((visibility("default"))) int jov01_tool_run(const jov::tool::Args* args) { return jov::tool::CmdSkin(*args); }
