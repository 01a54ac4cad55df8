#include "ui/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <optional>

#include "shell/ini_file.h"
#include "shell/settings.h"

namespace jov {

namespace {

const char* const kSection = "Window";

std::optional<int> ReadInt(const std::string& ini, const char* key) {
    auto v = ParseInt16(ReadIni(ini, kSection, key, ""));
    if (!v) return std::nullopt;
    return static_cast<int>(*v);
}

}  // namespace

void SaveWindowPlacement(const std::string& iniPath, const QWidget& window) {
    // The normal size and place, also when the window is maximised or minimised now.
    const QRect r = window.isMaximized() || window.isMinimized() || window.isFullScreen()
                        ? window.normalGeometry()
                        : QRect(window.pos(), window.size());
    if (!r.isValid()) return;
    WriteIni(iniPath, kSection, "Left", std::to_string(r.x()));
    WriteIni(iniPath, kSection, "Top", std::to_string(r.y()));
    WriteIni(iniPath, kSection, "Width", std::to_string(r.width()));
    WriteIni(iniPath, kSection, "Height", std::to_string(r.height()));
}

void RestoreWindowPlacement(const std::string& iniPath, QWidget& window) {
    const auto w = ReadInt(iniPath, "Width"), h = ReadInt(iniPath, "Height");
    if (w && h) {
        const QSize min = window.minimumSize();
        window.resize(std::clamp(*w, min.width(), 16384), std::clamp(*h, min.height(), 16384));
    }
    const auto x = ReadInt(iniPath, "Left"), y = ReadInt(iniPath, "Top");
    // A place on a screen that is gone (a monitor unplugged) would hide the window.
    const QRect wanted(QPoint(x.value_or(0), y.value_or(0)), window.size());
    for (const QScreen* screen : x && y ? QGuiApplication::screens() : QList<QScreen*>()) {
        if (screen->availableGeometry().intersected(wanted).width() >= 50) {
            window.move(*x, *y);
            break;
        }
    }
    KeepOnScreen(window);
}

void KeepOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // A size saved at another scale or on a larger screen must not put controls off this
    // one. The frame counts once the window system has told it (after the window shows).
    const QRect area = screen->availableGeometry();
    const QSize frame = (window.frameGeometry().size() - window.size()).expandedTo(QSize(0, 0));
    const QSize room = (area.size() - frame).expandedTo(window.minimumSize());
    if (window.width() > room.width() || window.height() > room.height()) window.resize(window.size().boundedTo(room));
    const QSize whole = window.size() + frame;
    const QPoint at = window.pos();  // the frame's corner
    const QPoint fitted(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - whole.width())),
                        std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - whole.height())));
    if (fitted != at) window.move(fitted);
}

std::string ReadLastFolder(const std::string& iniPath) { return ReadIni(iniPath, kSection, "LastFolder", ""); }

void SaveLastFolder(const std::string& iniPath, const std::string& folder) {
    // The reader takes 127 bytes; a longer folder is better not kept than kept cut.
    if (!folder.empty() && folder.size() <= kIniValueLimit) WriteIni(iniPath, kSection, "LastFolder", folder);
}

}  // namespace jov
