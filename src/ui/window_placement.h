#pragma once
// The main window's size and place, and the file dialogs' last folder, kept in the
// settings file under keys of their own ([Window]); readers that do not know them pass
// them by.
#include <string>

class QWidget;

namespace jov {

void SaveWindowPlacement(const std::string& iniPath, const QWidget& window);
// Size at least the window's minimum and at most the screen's free area; the place only
// when it is on a screen, and the whole window on it.
void RestoreWindowPlacement(const std::string& iniPath, QWidget& window);
// Shrinks and moves the window so that it lies whole in its screen's free area (as far
// as its minimum size allows); run again once it shows and its frame is known.
void KeepOnScreen(QWidget& window);

std::string ReadLastFolder(const std::string& iniPath);
void SaveLastFolder(const std::string& iniPath, const std::string& folder);

}  // namespace jov
