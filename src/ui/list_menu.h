#pragma once
// The list's menu (right button or the context-menu key) and its window shortcuts:
// adding charts and folders, opening and saving list files, exporting a chart's audio,
// Delete and CLEAR. Adding and opening do exactly what a drop of the chosen paths does.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

class QAction;
class QMenu;
class QPoint;

namespace jov {

class ExportJob;
class frmMenu;

class ListMenu : public QObject {
    Q_OBJECT
public:
    ListMenu(frmMenu& window, std::string settingsPath);

    // The file choosers (Qt's dialogs); tests put their own answers here. Each gets
    // the dialog's caption, the folder to start in and the name filters; empty: cancelled.
    std::function<QStringList(const QString& caption, const QString& folder, const QString& filter)> chooseFiles;
    std::function<QString(const QString& caption, const QString& folder)> chooseFolder;
    std::function<QString(const QString& caption, const QString& folder, const QString& filter)> chooseSaveFile;

    // The chart reading: when both are set, a checkable "Extended reading" item shows.
    std::function<bool()> extendedReading;
    std::function<void(bool)> setExtendedReading;

    // The menu as it would pop up now (items enabled for the current selection).
    QMenu* Prepared();
    void PopUp(const QPoint& globalPos);

    void AddFiles();
    void AddFolder();
    void OpenList();
    void SaveListAs();
    void ExportAudio();

    QAction* actAddFiles = nullptr;
    QAction* actAddFolder = nullptr;
    QAction* actOpenList = nullptr;
    QAction* actSaveList = nullptr;
    QAction* actExport = nullptr;
    QAction* actDelete = nullptr;
    QAction* actClear = nullptr;
    QAction* actExtended = nullptr;
    QAction* actFind = nullptr;
    QAction* actCancelAdd = nullptr;
    QAction* actOneChartPerSong = nullptr;
    QMenu* sortMenu = nullptr;
    // The export started last (gone once it has finished).
    QPointer<ExportJob> lastExport;

private:
    QAction* Action(const QString& text, const QKeySequence& keys, void (ListMenu::*slot)());
    // The chart of the current (or first selected) line; -1 when no line is selected.
    int SelectedLine() const;
    void Remember(const QString& path, bool isFolder);

    frmMenu& window_;
    std::string settingsPath_;
    QString lastFolder_;
    QMenu* menu_ = nullptr;
    QAction* extendedSeparator_ = nullptr;
};

}  // namespace jov
