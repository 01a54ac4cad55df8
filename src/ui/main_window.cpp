#include "ui/main_window.h"

#include <cmath>
#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include <unistd.h>

#include "chart/chart_model.h"
#include "engine/loudness.h"
#include "engine/status_readout.h"
#include "audio/cls_midi.h"
#include "ui/display_text.h"
#include "ui/export_dialog.h"
#include "ui/window_placement.h"

namespace jov {
namespace {

const char* const kStartCaption = "jov:01 - drop BMS file/directory to listbox";
const char* const kSwitchStyle =
    "QToolButton { background: palette(button); border: 1px solid palette(mid); border-radius: 2px; }"
    "QToolButton:hover { border-color: palette(highlight); }"
    "QToolButton:pressed, QToolButton:checked { background: palette(mid);"
    " border-top-color: palette(shadow); border-left-color: palette(shadow);"
    " border-bottom-color: palette(light); border-right-color: palette(light);"
    " padding-top: 2px; padding-left: 2px; }";

}  // namespace

// ---- the player as the jukebox sees it ----

class frmMenu::PlayerLink final : public JukeboxPlayer {
public:
    explicit PlayerLink(Player& p) : p_(p) {}
    EngineState& State() override { return p_.State(); }
    const std::string& NowPlaying() override { return p_.Model().NowPlaying; }
    bool LoadChart(const std::string& path) override { return p_.LoadChart(path); }
    void PlaceStart() override { p_.PlaceStart(); }
    bool SeekTo(int32_t target, bool byTick) override { return p_.SeekTo(target, byTick); }
    void RunPlayLoop() override { p_.RunPlayLoop(); }
    bool EndedAtOnce() override { return p_.Engine().LoopPasses() <= 1; }
    bool HasChart() override { return !p_.Model().Chart.FilePath.empty(); }
    void DropChart() override { p_.DropChart(); }
    void StopSounds() override { p_.StopSounds(); }
    void StopMidi() override {
        if (p_.Model().Midi) p_.Model().Midi->StopM();
    }

private:
    Player& p_;
};

// Message boxes of the list file go through the window's one message route.
class ListMessages final : public MessageHook {
public:
    explicit ListMessages(std::function<void(MessageIcon, const std::string&, const std::string&)> f)
        : f_(std::move(f)) {}
    void ShowMessage(MessageIcon icon, const std::string& title, const std::string& text) override {
        f_(icon, title, text);
    }

private:
    std::function<void(MessageIcon, const std::string&, const std::string&)> f_;
};

// ---- main window ----

frmMenu::frmMenu(const MainWindowParts& parts, QWidget* parent) : QWidget(parent), parts_(parts) {
    player_ = std::make_unique<Player>(*parts_.shell, *parts_.clock, parts_.sound, parts_.midi);
    list_ = std::make_unique<PlayList>(*parts_.shell);
    link_ = std::make_unique<PlayerLink>(*player_);
    Shell* shell = parts_.shell;
    jukebox_ = std::make_unique<Jukebox>(*list_, *link_, static_cast<JukeboxWindow&>(*this),
                                         [shell](const std::string& t) { shell->SetCaption(t); });
    loudness_ = std::make_unique<LoudnessMatch>(
        parts_.loudnessCachePath, [](const std::string& path, ReadingMode reading, const std::function<bool()>& cancel) {
            RenderOptions o;
            o.reading = reading;
            o.cancel = cancel;
            return MeasureLoudness(path, o);
        });
    jukebox_->onChartStart = [this](const std::string& path, const std::string& next) { ApplyChartGain(path, next); };
    listMessages_ = std::make_unique<ListMessages>(
        [this](MessageIcon icon, const std::string& title, const std::string& text) {
            ShowMessage(icon, title, text);
        });

    shell->SetSink(this);
    list_->SetView(this);
    list_->SetReading(&player_->Reading());
    list_->SetMessageHook(listMessages_.get());
    player_->SetHost(this);
    player_->Sounds().SetLamps(this);
    jukebox_->SetOneChartPerSong(true);
    SetUpAdds();

    setWindowTitle(QString::fromUtf8(kStartCaption));
    setAcceptDrops(true);
    BuildControls();
    chkShowNotes->setToolTip(QStringLiteral("NOTES"));
    chkRandom->setToolTip(QStringLiteral("RANDOM"));
    // A ticked switch stays pressed in: a darker face, a sunken edge, the picture moved in.
    for (QToolButton* b : {chkShowNotes, chkRandom}) b->setStyleSheet(QString::fromUtf8(kSwitchStyle));

    timNextPlay_.setInterval(1);
    timNextPlay_.setSingleShot(true);
    connect(&timNextPlay_, &QTimer::timeout, this, [this] { jukebox_->OnNextPlayTimer(); });
    timscroll_.setInterval(200);
    connect(&timscroll_, &QTimer::timeout, this, [this] { MarqueeTick(); });
    timscroll_.start();
    timer50_.setTimerType(Qt::PreciseTimer);
    connect(&timer50_, &QTimer::timeout, this, [this] { player_->Engine().PlayTimerProc(kPlayTimerId); });
    connect(&timer51_, &QTimer::timeout, this, [this] { player_->Engine().StatusTimerProc(); });

    // Until a notes window is supplied, a plain one stands in.
    ownNotes_ = std::make_unique<QWidget>();
    ownNotes_->setWindowTitle(QStringLiteral("Notes"));
    ownNotes_->installEventFilter(this);
    notes_ = ownNotes_.get();
}

frmMenu::~frmMenu() {
    adds_.reset();  // the worker ends before the list it fills
    parts_.shell->SetSink(nullptr);
    player_->SetHost(nullptr);
    player_->Sounds().SetLamps(nullptr);
}

void frmMenu::EnsureLoaded() {
    if (loaded_ || loading_) return;
    loading_ = true;
    FormLoad();
    loading_ = false;
    loaded_ = true;
}

void frmMenu::FormLoad() {
    cmbWAVMode->setCurrentIndex(1);
    player_->State().WavLoadMode = 1;
    RestoreWindowPlacement(parts_.settingsPath, *this);
    show();
    KeepOnScreen(*this);  // now with its frame
    cmdPlay->setIcon(imgRun[0]);
    if (notes_) notes_->setWindowIcon(chkShowNotes->icon());
    QFontMetricsF fm(titleFont_);
    marquee_.Measure(picTitle->InnerRect().height(), fm.height(), fm.horizontalAdvance(QLatin1Char('A')));
    std::error_code ec;
    const bool listThere = std::filesystem::exists(parts_.listPath, ec);
    // A list that is there but does not read whole is kept aside at close instead of
    // being overwritten by what little could be read of it.
    keepDamagedList_ = !list_->LoadPlayList(parts_.listPath, true) && listThere;
    CountSoundingObjects();
    // First start: no list yet, so the bundled demo charts make one and Play plays at once.
    // The list is saved at close as usual; from then on its file is there, empty or not.
    if (!listThere && !parts_.demoFolder.empty()) AddDropped({parts_.demoFolder});
    jukebox_->makeplaytable();
}

void frmMenu::SetNotesWindow(QWidget* notes) {
    notes_ = notes;
    if (notes_ != ownNotes_.get()) ownNotes_.reset();
    if (notes_) {
        notes_->setWindowIcon(chkShowNotes->icon());
        notes_->setVisible(chkShowNotes->isChecked());
    }
}

void frmMenu::NotesWindowClosed() { chkShowNotes->setChecked(false); }

bool frmMenu::eventFilter(QObject* watched, QEvent* e) {
    if (watched == txtFilter_ && e->type() == QEvent::KeyPress && FilterKey(static_cast<QKeyEvent*>(e))) return true;
    if (watched == ownNotes_.get() && e->type() == QEvent::Close) {
        // Closing the notes window only hides it.
        e->ignore();
        ownNotes_->hide();
        NotesWindowClosed();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void frmMenu::OnShowNotesToggled(bool on) {
    if (!notes_) return;
    if (on) {
        notes_->show();
        notes_->raise();
    } else {
        notes_->hide();
    }
}

void frmMenu::ShowMessage(MessageIcon icon, const std::string& title, const std::string& text) {
    if (parts_.showMessage) {
        parts_.showMessage(icon, title, text);
        return;
    }
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Critical,
                    QString::fromStdString(title), DisplayText(text), QMessageBox::Ok, this);
    box.exec();
}

void frmMenu::ShowCritical(const std::string& text) { ShowMessage(MessageIcon::Error, "jov:01", text); }

// ---- reactions ----

// Moves an unreadable list file to "<name>.damaged" (or .damaged.1, .2, ...), never over another.
void frmMenu::KeepDamagedList(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (int n = 0; n < 100; ++n) {
        std::string target = path;
        target += ".damaged";
        if (n > 0) {
            target += '.';
            target += std::to_string(n);
        }
        if (fs::exists(target, ec)) continue;
        fs::rename(path, target, ec);
        return;
    }
}

void frmMenu::closeEvent(QCloseEvent* e) {
    // A short add (a hand-over, a few files) completes; the rest of a long one is not
    // waited for (3 s at most), and what was read of it so far is kept. Then the list,
    // before anything that may wait longer (an export's end).
    SettleAdds(3000);
    if (keepDamagedList_) KeepDamagedList(parts_.listPath);
    list_->SavePlayList(parts_.listPath, true);
    CancelExports(*this);
    e->accept();
    Shutdown();
}

void frmMenu::Shutdown() {
    player_->ReleaseSound();
    if (parts_.releaseSoundDevice) parts_.releaseSoundDevice();
    SaveSettings(parts_.settingsPath, *this);
    SaveWindowPlacement(parts_.settingsPath, *this);
    player_->Model().Midi.reset();
    if (parts_.endProgram) parts_.endProgram();
    else QCoreApplication::exit(0);
}

void frmMenu::changeEvent(QEvent* e) {
    if (e->type() == QEvent::WindowStateChange) player_->State().IsMinimized = isMinimized();
    QWidget::changeEvent(e);
}

void frmMenu::dragEnterEvent(QDragEnterEvent* e) {
    AcceptIfUrls(e);
}

void frmMenu::dragMoveEvent(QDragMoveEvent* e) {
    AcceptIfUrls(e);
}

void frmMenu::dropEvent(QDropEvent* e) {
    auto paths = DroppedPaths(e->mimeData());
    e->acceptProposedAction();
    if (!paths.empty()) AddDropped(paths);
}

void frmMenu::PressDelete() {
    if (lstPlayList->currentRow() < 0) return;
    ++listGuard_;
    for (int n = lstPlayList->count() - 1; n >= 0; --n) {
        QListWidgetItem* item = lstPlayList->item(n);
        if (item && item->isSelected()) list_->RemovePlayListEntry(n);
    }
    --listGuard_;
    jukebox_->makeplaytable();
}

void frmMenu::OnListCurrentChanged(int row) {
    if (listGuard_ > 0 || row < 0) return;
    jukebox_->OnListClick(row);
}

void frmMenu::ClickLine(int row) {
    if (row < 0 || row >= lstPlayList->count()) return;
    SelectLine(row);
    OnListCurrentChanged(row);
}

void frmMenu::SetSleepText(const QString& text) {
    auto v = ParseInt16(text.toStdString());
    if (!v || *v < 0 || *v > 15) return;
    player_->State().SleepMs = *v;
}

void frmMenu::SeekBarMouse(double x, int buttons) {
    ChartModel& m = player_->Model();
    SeekBarAction a = SeekBarPointer(x, buttons, m.PlayTime, m.LastTick);
    if (a.TooltipMs) picScroll->setToolTip(QString::fromStdString(FormatTime(*a.TooltipMs)));
    if (a.SeekTick) player_->SeekTo(*a.SeekTick, true);
    UpdateBeatDisplay();
}

void frmMenu::SeekToTick(int32_t tick) {
    player_->SeekTo(tick, true);
    UpdateBeatDisplay();
}

void frmMenu::MarqueeTick() {
    marquee_.Step(picTitle->InnerRect().width());
    picTitle->update();
}

// ---- SettingsControls ----

void frmMenu::SetSleepIndex(int index) {
    EnsureLoaded();
    if (index < 0 || index >= cmbSleep->count()) return;
    {
        QSignalBlocker block(cmbSleep);
        cmbSleep->setCurrentIndex(index);
        cmbSleep->setEditText(cmbSleep->itemText(index));
    }
    SetSleepText(cmbSleep->itemText(index));
}

void frmMenu::SetWavModeIndex(int index) {
    EnsureLoaded();
    if (index < 0 || index >= cmbWAVMode->count()) return;
    {
        QSignalBlocker block(cmbWAVMode);
        cmbWAVMode->setCurrentIndex(index);
    }
    player_->State().WavLoadMode = index;
}

void frmMenu::SetShowNotes(bool ticked) {
    EnsureLoaded();
    chkShowNotes->setChecked(ticked);
}

void frmMenu::SetRandom(bool ticked) {
    EnsureLoaded();
    chkRandom->setChecked(ticked);
}

bool frmMenu::ShowNotes() const { return chkShowNotes->isChecked(); }
bool frmMenu::Random() const { return chkRandom->isChecked(); }
int32_t frmMenu::SleepMs() const { return player_->State().SleepMs; }
int32_t frmMenu::WavLoadMode() const { return player_->State().WavLoadMode; }

void frmMenu::SetReading(const std::string& name) {
    EnsureLoaded();
    if (auto mode = ReadingModeNamed(name)) player_->Reading().mode = *mode;
}

std::string frmMenu::Reading() const { return ReadingModeName(player_->Reading().mode); }

void frmMenu::ChooseReading(const std::string& name) {
    const auto mode = ReadingModeNamed(name);
    if (!mode || *mode == player_->Reading().mode) return;
    SetReading(name);
    // The entries are read again in the background (the cache serves charts read in this
    // reading before); an entry whose file is gone keeps its line.
    list_->ForgetReadings();
    RescanList();
}

void frmMenu::SetEvenLoudness(bool on) {
    EnsureLoaded();
    evenLoudness_ = on;
    // Off takes effect at once; on, from the next chart (its gain is set as it starts).
    if (!on && parts_.setOutputGain) parts_.setOutputGain(1.0f);
}

bool frmMenu::EvenLoudness() const { return evenLoudness_; }

void frmMenu::ApplyChartGain(const std::string& path, const std::string& next) {
    const ReadingMode reading = player_->Reading().mode;
    if (!evenLoudness_) return;
    const double db = loudness_->GainForStart(path, reading);
    if (parts_.setOutputGain) parts_.setOutputGain(float(std::pow(10.0, db / 20.0)));
    if (!next.empty()) loudness_->MeasureSoon(next, reading);
}

QString frmMenu::LoudnessTip(int row) const {
    const auto& entries = list_->PlayListEntries();
    const size_t entry = static_cast<size_t>(row) + 1;
    if (row < 0 || entry >= entries.size()) return {};
    auto l = loudness_->Known(entries[entry].FilePath, player_->Reading().mode);
    if (!l) return {};
    if (!std::isfinite(l->integrated)) return QStringLiteral("Silent");
    return QString::asprintf("Loudness %.1f LUFS, peak %.1f dBTP; gain %+.1f dB", l->integrated, l->truePeak,
                             EvenLoudnessGain(*l).db);
}

void frmMenu::SetOneChartPerSong(bool on) { jukebox_->SetOneChartPerSong(on); }

bool frmMenu::OneChartPerSong() const { return jukebox_->OneChartPerSong(); }

void frmMenu::SetEngineSettings(int32_t sleepMs, int32_t wavLoadMode) {
    player_->State().SleepMs = sleepMs;
    player_->State().WavLoadMode = wavLoadMode;
}

}  // namespace jov
