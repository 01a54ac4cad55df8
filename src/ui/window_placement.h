#pragma once
// The main window's size and place, and the file dialogs' last folder, kept in the
// settings file under keys of their own ([Window]); readers that do not know them pass
// them by.
#include <string>

class QWidget;

namespace jov {

void SaveWindowPlacement(const std::string& iniPath, const QWidget& window);
// Size at least the window's minimum; the place only when it is on a screen.
void RestoreWindowPlacement(const std::string& iniPath, QWidget& window);

std::string ReadLastFolder(const std::string& iniPath);
void SaveLastFolder(const std::string& iniPath, const std::string& folder);

}  // namespace jov
