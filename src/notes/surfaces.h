#pragma once
// The notes window's drawing layer: 32-bit off-screen surfaces (the back frame and the
// skin bitmap), colour fill, opaque rectangle copies clipped at the surface edges, and
// the set-up of the display objects with its four failure reports.
#include <QImage>

#include <cstdint>
#include <string>
#include <string_view>

#include "shell/ui_language.h"

namespace jov {

class Shell;

// Right and bottom exclusive.
struct RECT {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    bool operator==(const RECT&) const = default;
};

// One off-screen surface: pixels in QImage::Format_RGB32 (0xffRRGGBB).
class Surface {
public:
    bool IsNull() const { return image_.isNull(); }
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    const QImage& Image() const { return image_; }

    // A black surface of w by h pixels; false (surface unchanged) when w or h is not
    // positive or the memory cannot be had.
    bool Create(int w, int h);
    // The picture of a bitmap file (BMP, PNG, anything QImage reads) at its own size;
    // false (surface unchanged) when the file does not load.
    bool Load(const std::string& path);
    // The same from a bitmap's bytes (BMP, PNG, whatever Qt's image reader opens).
    bool LoadBytes(std::string_view bytes);
    static constexpr std::size_t kMaxBitmapBytes = 64u << 20;
    // Takes a picture as it is (converted to 32 bits); false for a null image.
    bool Assign(const QImage& picture);
    void Release() { image_ = QImage(); }

    // Fills the part of `rect` that lies on the surface with `rgb` (0xRRGGBB).
    void BltColorFill(const RECT& rect, uint32_t rgb);
    // Copies `srcRect` of `src` opaquely so that its top-left corner lands at (x, y).
    // Whatever falls outside either surface is left out; an empty or inverted
    // rectangle copies nothing. Never allocates.
    void BltFast(int64_t x, int64_t y, const Surface& src, const RECT& srcRect);

private:
    QImage image_;
};


// String resource 503, the text of the display set-up failure.
std::string_view DirectDrawFailedText(UiLanguage language);
// The whole message: string 503, CR LF, the failure tag.
std::string DirectDrawFailureMessage(UiLanguage language, std::string_view tag);

// Where the critical message boxes of the set-up go (the window layer shows them).
class DisplayMessageHook {
public:
    virtual ~DisplayMessageHook() = default;
    virtual void ShowCriticalMessage(const std::string& text) = 0;
};

// Whoever shows the finished frame on the screen (the notes window's picture area).
class Presenter {
public:
    virtual ~Presenter() = default;
    // `back` holds the frame; `backRect` is all of it, `screenRect` the picture area's
    // rectangle on the screen. Called once per drawn frame.
    virtual void Present(const Surface& back, const RECT& backRect, const RECT& screenRect) = 0;
};

// The display objects: the drawing device, the screen surface and the clip binding to
// the notes window. Without them no surface can be made and nothing reaches the screen.
class DirectDraw {
public:
    // Failure tags, in the order the set-up reports them.
    static constexpr std::string_view kTagCreate = "Init:DDNOTE";
    static constexpr std::string_view kTagCooperativeLevel = "Init:DDNOTE:SetCooperativeLevel";
    static constexpr std::string_view kTagPrimarySurface = "Init:DDNOTE:CreatePrimarySurface";
    static constexpr std::string_view kTagClipper = "Init:DDNOTE:CreateClipper";

    // Sets the objects up for the notes window `window`. On Linux the only thing that
    // can fail is the display itself: when none is available every step fails, each
    // failure is reported through `messages` (when given) and set-up goes on.
    void InitDirectDraw(Presenter* window, bool displayAvailable, UiLanguage language,
                        Shell* shell, DisplayMessageHook* messages);

    bool HasDevice() const { return device_; }
    bool HasPrimarySurface() const { return primary_; }
    bool HasClipper() const { return clipper_; }

    // Off-screen surfaces; false (target unchanged) without a device or on failure.
    bool CreateSurface(Surface& target, int w, int h) const;
    bool CreateSurfaceFromFile(Surface& target, const std::string& path) const;

    // Hands a finished frame to the screen; nothing without a screen surface.
    void BltToScreen(const Surface& back, const RECT& backRect, const RECT& screenRect) const;

private:
    bool device_ = false;
    bool cooperative_ = false;
    bool primary_ = false;
    bool clipper_ = false;
    Presenter* window_ = nullptr;
};

}  // namespace jov
