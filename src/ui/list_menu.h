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
    // The save chooser also tells which of the filters (";;"-separated) was chosen.
    std::function<QString(const QString& caption, const QString& folder, const QString& filter, QString* chosenFilter)>
        chooseSaveFile;
    // Asked before replacing a file the save dialog did not ask about (its name got its
    // extension afterwards); true replaces it.
    std::function<bool(const QString& path)> confirmReplace;

    // The chart reading by name ("auto", "classic", "extended"): when both are set, a
    // "Reading" submenu of three exclusive items shows.
    std::function<std::string()> reading;
    std::function<void(const std::string&)> setReading;
    // Even loudness: when both are set, a checkable "Even loudness" item shows.
    std::function<bool()> evenLoudness;
    std::function<void(bool)> setEvenLoudness;

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
    QAction* actFind = nullptr;
    QAction* actCancelAdd = nullptr;
    QAction* actOneChartPerSong = nullptr;
    QMenu* sortMenu = nullptr;
    QMenu* readingMenu = nullptr;
    QAction* actReading[3] = {};  // Auto, Classic, Extended
    QAction* actEven = nullptr;
    // The export started last (gone once it has finished).
    QPointer<ExportJob> lastExport;

private:
    QAction* Action(const QString& text, const QKeySequence& keys, void (ListMenu::*slot)());
    // The chart of the current (or first selected) line; -1 when no line is selected.
    int SelectedLine() const;
    void Remember(const QString& path, bool isFolder);
    // The chosen name with the chosen filter's extension when it has none; empty when the
    // user cancelled or would not replace the file that name now means.
    QString SaveName(const QString& caption, const QString& folder, const QString& filters);

    frmMenu& window_;
    std::string settingsPath_;
    QString lastFolder_;
    QMenu* menu_ = nullptr;
    QAction* readingSeparator_ = nullptr;
};

}  // namespace jov
