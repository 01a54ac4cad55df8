#include "ui/list_menu.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include "chart/chart_model.h"
#include "ui/export_dialog.h"
#include "ui/main_window.h"
#include "ui/save_name.h"
#include "ui/window_placement.h"

namespace jov {

namespace {

const QString kChartFilter = QStringLiteral(
    "BMS charts and lists (*.bms *.bme *.bml *.pms *.bmson *.BMS *.BME *.BML *.PMS *.BMSON *.rxl *.RXL);;All files (*)");
const QString kListFilter = QStringLiteral("List files (*.rxl *.RXL)");

std::vector<std::string> LocalPaths(const QStringList& names) {
    std::vector<std::string> out;
    for (const QString& n : names)
        if (!n.isEmpty()) out.push_back(QFile::encodeName(n).toStdString());
    return out;
}

}  // namespace

ListMenu::ListMenu(frmMenu& window, std::string settingsPath)
    : QObject(&window), window_(window), settingsPath_(std::move(settingsPath)) {
    lastFolder_ = QFile::decodeName(ReadLastFolder(settingsPath_).c_str());
    if (lastFolder_.isEmpty() || !QFileInfo(lastFolder_).isDir()) lastFolder_ = QDir::homePath();

    chooseFiles = [this](const QString& caption, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileNames(&window_, caption, folder, filter);
    };
    chooseFolder = [this](const QString& caption, const QString& folder) {
        return QFileDialog::getExistingDirectory(&window_, caption, folder);
    };
    chooseSaveFile = [this](const QString& caption, const QString& folder, const QString& filter, QString* chosen) {
        return QFileDialog::getSaveFileName(&window_, caption, folder, filter, chosen);
    };
    confirmReplace = [this](const QString& path) {
        return QMessageBox::question(&window_, tr("Replace file"),
                                     tr("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName()),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };

    menu_ = new QMenu(&window_);
    actAddFiles = Action(tr("Add files…"), QKeySequence(Qt::CTRL | Qt::Key_O), &ListMenu::AddFiles);
    actAddFolder = Action(tr("Add folder…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), &ListMenu::AddFolder);
    actOpenList = Action(tr("Open list…"), QKeySequence(), &ListMenu::OpenList);
    actSaveList = Action(tr("Save list as…"), QKeySequence(Qt::CTRL | Qt::Key_S), &ListMenu::SaveListAs);
    menu_->addSeparator();
    actExport = Action(tr("Export audio…"), QKeySequence(), &ListMenu::ExportAudio);
    menu_->addSeparator();
    // Delete is the list's own key (it must stay an editing key in the sleep box); the
    // menu only shows it.
    actDelete = menu_->addAction(tr("Delete"), &window_, [this] { window_.PressDelete(); });
    actDelete->setShortcut(QKeySequence(Qt::Key_Delete));
    actDelete->setShortcutContext(Qt::WidgetShortcut);
    actClear = menu_->addAction(tr("CLEAR"), &window_, [this] { window_.cmdClear->click(); });
    menu_->addSeparator();
    actFind = menu_->addAction(tr("Find…"), &window_, [this] { window_.OpenFilter(); });
    actFind->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_F), QKeySequence(Qt::Key_Slash)});
    actFind->setShortcutContext(Qt::WindowShortcut);
    window_.addAction(actFind);
    // Esc closes the filter first, then stops a running add.
    actCancelAdd = menu_->addAction(tr("Cancel adding"), &window_, [this] {
        if (window_.FilterOpen()) window_.CloseFilter();
        else window_.CancelAdds();
    });
    actCancelAdd->setShortcut(QKeySequence(Qt::Key_Escape));
    actCancelAdd->setShortcutContext(Qt::WindowShortcut);
    window_.addAction(actCancelAdd);
    sortMenu = menu_->addMenu(tr("Sort by"));
    const std::pair<QString, SortKey> sorts[] = {{tr("Artist"), SortKey::Artist},
                                                 {tr("Title"), SortKey::Title},
                                                 {tr("Folder"), SortKey::Folder},
                                                 {tr("Playing time"), SortKey::PlayTime},
                                                 {tr("Level"), SortKey::Level}};
    for (const auto& [name, key] : sorts) sortMenu->addAction(name, &window_, [this, k = key] { window_.SortList(k); });
    actOneChartPerSong = menu_->addAction(tr("One chart per song"));
    actOneChartPerSong->setCheckable(true);
    connect(actOneChartPerSong, &QAction::triggered, this, [this](bool on) { window_.SetOneChartPerSong(on); });
    readingSeparator_ = new QAction(this);
    readingSeparator_->setSeparator(true);
    readingMenu = new QMenu(tr("Reading"), menu_);
    auto* group = new QActionGroup(readingMenu);
    const QString texts[] = {tr("Auto (recommended)"), tr("Classic"), tr("Extended")};
    const char* names[] = {"auto", "classic", "extended"};
    for (int i = 0; i < 3; ++i) {
        actReading[i] = readingMenu->addAction(texts[i]);
        actReading[i]->setCheckable(true);
        actReading[i]->setData(QString::fromLatin1(names[i]));
        group->addAction(actReading[i]);
        connect(actReading[i], &QAction::triggered, this, [this, name = std::string(names[i])] {
            if (setReading) setReading(name);
        });
    }
    actEven = new QAction(tr("Even loudness"), this);
    actEven->setCheckable(true);
    connect(actEven, &QAction::triggered, this, [this](bool on) {
        if (setEvenLoudness) setEvenLoudness(on);
    });
}

QAction* ListMenu::Action(const QString& text, const QKeySequence& keys, void (ListMenu::*slot)()) {
    QAction* a = menu_->addAction(text);
    connect(a, &QAction::triggered, this, slot);
    if (!keys.isEmpty()) {
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        window_.addAction(a);  // the shortcut works anywhere in the window
    }
    return a;
}

int ListMenu::SelectedLine() const {
    const QListWidget* list = window_.lstPlayList;
    const int current = list->currentRow();
    if (current >= 0 && list->item(current)->isSelected()) return current;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) return i;
    return -1;
}

QMenu* ListMenu::Prepared() {
    const bool any = window_.lstPlayList->count() > 0;
    actExport->setEnabled(SelectedLine() >= 0);
    actDelete->setEnabled(any && window_.lstPlayList->currentRow() >= 0);
    actClear->setEnabled(any);
    sortMenu->setEnabled(any);
    actOneChartPerSong->setChecked(window_.OneChartPerSong());
    menu_->removeAction(readingSeparator_);
    menu_->removeAction(readingMenu->menuAction());
    if (reading && setReading) {
        const QString now = QString::fromStdString(reading());
        for (QAction* a : actReading) a->setChecked(a->data().toString() == now);
        menu_->addAction(readingSeparator_);  // one separator, however often the menu opens
        menu_->addMenu(readingMenu);
    }
    menu_->removeAction(actEven);
    if (evenLoudness && setEvenLoudness) {
        actEven->setChecked(evenLoudness());
        menu_->addAction(actEven);
    }
    return menu_;
}

void ListMenu::PopUp(const QPoint& globalPos) { Prepared()->popup(globalPos); }

void ListMenu::Remember(const QString& path, bool isFolder) {
    lastFolder_ = isFolder ? path : QFileInfo(path).absolutePath();
    SaveLastFolder(settingsPath_, QFile::encodeName(lastFolder_).toStdString());
}

void ListMenu::AddFiles() {
    const QStringList names = chooseFiles(tr("Add files"), lastFolder_, kChartFilter);
    if (names.isEmpty()) return;
    Remember(names.front(), false);
    window_.AddDropped(LocalPaths(names));
}

void ListMenu::AddFolder() {
    const QString folder = chooseFolder(tr("Add folder"), lastFolder_);
    if (folder.isEmpty()) return;
    Remember(folder, true);
    window_.AddDropped(LocalPaths({folder}));
}

void ListMenu::OpenList() {
    const QStringList names = chooseFiles(tr("Open list"), lastFolder_, kListFilter);
    if (names.isEmpty()) return;
    Remember(names.front(), false);
    window_.AddDropped(LocalPaths({names.front()}));
}

QString ListMenu::SaveName(const QString& caption, const QString& folder, const QString& filters) {
    QString chosenFilter;
    const QString answer = chooseSaveFile(caption, folder, filters, &chosenFilter);
    if (answer.isEmpty()) return {};
    QString suffix = FilterSuffix(chosenFilter);
    if (suffix.isEmpty()) suffix = FilterSuffix(filters);  // no filter told: the first one
    const QString name = WithSuffix(answer, suffix);
    if (name != answer && QFileInfo::exists(name) && !(confirmReplace && confirmReplace(name))) return {};
    return name;
}

void ListMenu::SaveListAs() {
    const QString name = SaveName(tr("Save list as"), lastFolder_, kListFilter);
    if (name.isEmpty()) return;
    Remember(name, false);
    window_.GetPlayList().SavePlayList(QFile::encodeName(name).toStdString(), false);
}

void ListMenu::ExportAudio() {
    const int line = SelectedLine();
    const auto& entries = window_.GetPlayList().PlayListEntries();
    if (line < 0 || static_cast<size_t>(line) + 1 >= entries.size()) return;
    const ChartInfo entry = entries[static_cast<size_t>(line) + 1];
    const QString chart = QFile::decodeName(entry.FilePath.c_str());
    const QString suggested = QDir(lastFolder_).filePath(QFileInfo(chart).completeBaseName() + QStringLiteral(".flac"));
    const QString out = SaveName(tr("Export audio"), suggested,
                                 QStringLiteral("FLAC (*.flac);;Ogg Vorbis (*.ogg *.oga);;WAV (*.wav)"));
    if (out.isEmpty()) return;
    if (!AudioFileTypeOf(QFile::encodeName(out).toStdString())) {
        window_.ShowCritical("Export: " + UnknownFormatText(QFileInfo(out).fileName().toStdString()));
        return;
    }
    Remember(out, false);
    lastExport = StartExport(window_, entry.FilePath, QFile::encodeName(out).toStdString(), entry.PlayTime,
                             [this](const std::string& text) { window_.ShowCritical(text); },
                             window_.GetPlayer().Reading().mode);
}

}  // namespace jov
