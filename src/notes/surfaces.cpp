#include "notes/surfaces.h"

#include <algorithm>
#include <cstring>

#include "shell/file_read.h"
#include "shell/status.h"

namespace jov {

namespace {

constexpr int kMaxSide = 32767;  // a window is never larger; keeps sizes well inside 32 bits

}  // namespace

bool Surface::Create(int w, int h) {
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return false;
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull()) return false;
    image.fill(0xff000000u);  // a new frame starts black, not with stale memory
    image_ = std::move(image);
    return true;
}

bool Surface::Assign(const QImage& picture) {
    if (picture.isNull()) return false;
    QImage image = picture.format() == QImage::Format_RGB32
                       ? picture
                       : picture.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return false;
    image.detach();  // the copies write into it; keep it unshared from the start
    image_ = std::move(image);
    return true;
}

bool Surface::Load(const std::string& path) {
    // Read through the one guarded reader (never a FIFO or device, bounded); the bytes
    // of the path are used as they are, whatever their encoding.
    auto bytes = ReadRegularFile(path, kMaxBitmapBytes);
    return bytes && LoadBytes(*bytes);
}

bool Surface::LoadBytes(std::string_view bytes) {
    QImage picture;
    if (bytes.empty() || bytes.size() > kMaxBitmapBytes ||
        !picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size())))
        return false;
    return Assign(picture);
}

void Surface::BltColorFill(const RECT& rect, uint32_t rgb) {
    if (image_.isNull()) return;
    const int64_t left = std::max<int64_t>(rect.Left, 0);
    const int64_t top = std::max<int64_t>(rect.Top, 0);
    const int64_t right = std::min<int64_t>(rect.Right, image_.width());
    const int64_t bottom = std::min<int64_t>(rect.Bottom, image_.height());
    if (left >= right || top >= bottom) return;
    const uint32_t pixel = 0xff000000u | (rgb & 0xffffffu);
    uchar* bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (int64_t y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(bits + y * stride);
        std::fill(row + left, row + right, pixel);
    }
}

void Surface::BltFast(int64_t x, int64_t y, const Surface& src, const RECT& srcRect) {
    if (image_.isNull() || src.image_.isNull() || &src == this) return;
    // The source rectangle, cut to the source surface; the destination moves with it.
    int64_t sLeft = srcRect.Left, sTop = srcRect.Top;
    int64_t sRight = std::min<int64_t>(srcRect.Right, src.image_.width());
    int64_t sBottom = std::min<int64_t>(srcRect.Bottom, src.image_.height());
    if (sLeft < 0) { x -= sLeft; sLeft = 0; }
    if (sTop < 0) { y -= sTop; sTop = 0; }
    if (sLeft >= sRight || sTop >= sBottom) return;
    // Then cut to the destination surface.
    int64_t w = sRight - sLeft, h = sBottom - sTop;
    if (x < 0) { sLeft -= x; w += x; x = 0; }
    if (y < 0) { sTop -= y; h += y; y = 0; }
    w = std::min<int64_t>(w, image_.width() - x);
    h = std::min<int64_t>(h, image_.height() - y);
    if (w <= 0 || h <= 0) return;

    const uchar* srcBits = src.image_.constBits();
    const qsizetype srcStride = src.image_.bytesPerLine();
    uchar* dstBits = image_.bits();
    const qsizetype dstStride = image_.bytesPerLine();
    const size_t rowBytes = static_cast<size_t>(w) * 4;
    for (int64_t row = 0; row < h; ++row) {
        std::memcpy(dstBits + (y + row) * dstStride + x * 4,
                    srcBits + (sTop + row) * srcStride + sLeft * 4, rowBytes);
    }
}

std::string_view DirectDrawFailedText(UiLanguage language) {
    return language == UiLanguage::Japanese
               ? std::string_view("DirectDrawの初期化に失敗しました。")
               : std::string_view("DirectDraw initialize has failed.");
}

std::string DirectDrawFailureMessage(UiLanguage language, std::string_view tag) {
    std::string text(DirectDrawFailedText(language));
    text += "\r\n";
    text += tag;
    return text;
}

void DirectDraw::InitDirectDraw(Presenter* window, bool displayAvailable, UiLanguage language,
                                Shell* shell, DisplayMessageHook* messages) {
    auto report = [&](std::string_view tag) {
        if (messages) messages->ShowCriticalMessage(DirectDrawFailureMessage(language, tag));
    };
    if (shell) shell->SetStatus("initializing directdraw...");

    // The error state is not cleared between the first two reports, so a missing
    // device is reported under both of their tags.
    bool failed = false;
    device_ = displayAvailable;
    if (!device_) failed = true;
    if (failed) report(kTagCreate);
    cooperative_ = device_;
    if (!cooperative_) failed = true;
    if (failed) report(kTagCooperativeLevel);

    failed = false;
    primary_ = device_;
    if (!primary_) failed = true;
    if (failed) report(kTagPrimarySurface);

    failed = false;
    clipper_ = device_ && primary_;
    window_ = primary_ ? window : nullptr;
    if (!clipper_) failed = true;
    if (failed) report(kTagClipper);
}

bool DirectDraw::CreateSurface(Surface& target, int w, int h) const {
    return device_ && target.Create(w, h);
}

bool DirectDraw::CreateSurfaceFromFile(Surface& target, const std::string& path) const {
    return device_ && target.Load(path);
}

void DirectDraw::BltToScreen(const Surface& back, const RECT& backRect, const RECT& screenRect) const {
    if (primary_ && window_ && !back.IsNull()) window_->Present(back, backRect, screenRect);
}

}  // namespace jov
