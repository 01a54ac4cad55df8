#pragma once
// frmMenu, the main window: the playlist, the transport buttons, the option controls,
// the status and progress displays and the jukebox's timers. Its reactions hand
// every decision to the core objects it owns (PlayList, Jukebox, Player, BeatDisplay,
// TitleMarquee); it only translates toolkit events and paints what they compute.
#include <QElapsedTimer>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/key_sounds.h"
#include "engine/play_loop.h"
#include "engine/player.h"
#include "notes/beat_display.h"
#include "playlist/add_queue.h"
#include "playlist/folder_search.h"
#include "playlist/jukebox.h"
#include "playlist/loudness_match.h"
#include "playlist/song_groups.h"
#include "playlist/playlist.h"
#include "playlist/seek_bar.h"
#include "shell/settings.h"
#include "shell/status.h"
#include "ui/pictures.h"
#include "ui/play_list_box.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace jov {

class Clock;
class ListMenu;
class MidiDevice;
class SoundDevice;

// Everything the window is built on; all pointers must outlive the window.
struct MainWindowParts {
    Shell* shell = nullptr;
    Clock* clock = nullptr;
    SoundDevice* sound = nullptr;  // may be null: key sounds silent
    MidiDevice* midi = nullptr;    // may be null: MIDI silent
    std::string listPath;          // the default list, loaded at start, saved at close
    std::string demoFolder;        // charts listed when there is no default list yet (first start)
    std::string settingsPath;      // the settings file, saved by Shutdown
    std::string scanCachePath;     // header-scan results kept between runs; empty: this run only
    // Shows a modal message box; null shows a QMessageBox. Tests record here.
    std::function<void(MessageIcon, const std::string& title, const std::string& text)> showMessage;
    // Ends the program at once (Shutdown's last step); null quits the application.
    std::function<void()> endProgram;
    // Shutdown, after the key sounds: let the sound device go.
    std::function<void()> releaseSoundDevice;
    // The master gain before the output's limiter (linear); null: none to set.
    std::function<void(float)> setOutputGain;
    // Where loudness results are kept between runs; empty: this run only.
    std::string loudnessCachePath;
};

class frmMenu : public QWidget,
                private PlayListView,
                private JukeboxWindow,
                private PlayHost,
                private SignalLamps,
                private StatusSink,
                public SettingsControls {
    Q_OBJECT
public:
    explicit frmMenu(const MainWindowParts& parts, QWidget* parent = nullptr);
    // The client area of the window design (5985 x 3450 twips), also its smallest size.
    static const QSize kDesignSize;
    ~frmMenu() override;

    // Runs the load steps the first time the window is used.
    void EnsureLoaded();
    bool Loaded() const { return loaded_; }

    // The notes window shown and hidden by chkShowNotes (a plain window until one is set).
    void SetNotesWindow(QWidget* notes);
    QWidget* NotesWindow() const { return notes_; }
    // The notes window was closed by its own close button: untick the box.
    void NotesWindowClosed();

    // Release sounds, save settings, release the MIDI player, end.
    void Shutdown();
    // A critical-error box of the start-up (titled as the program).
    void ShowCritical(const std::string& text);
    // Draws the notes window; run on every play-loop pass.
    void SetDrawNotes(std::function<void()> draw) { drawNotes_ = std::move(draw); }

    // Core objects, for start-up wiring and tests.
    Player& GetPlayer() { return *player_; }
    PlayList& GetPlayList() { return *list_; }
    Jukebox& GetJukebox() { return *jukebox_; }
    BeatDisplay& GetBeatDisplay() { return beat_; }
    TitleMarquee& Marquee() { return marquee_; }
    const std::string& StatusText() const { return statusText_; }
    QTimer& NextPlayTimer() { return timNextPlay_; }
    QTimer& ScrollTimer() { return timscroll_; }
    bool PlayTimerRunning() const { return timer50_.isActive(); }
    bool StatusTimerRunning() const { return timer51_.isActive(); }

    // The reactions, as a user's action raises them. A drop (or paths handed over from
    // the command line) is read in the background and its lines appear in batches; one
    // that comes while another is being added waits for it.
    void AddDropped(const std::vector<std::string>& paths);
    // Ends the adds running and waiting; the lines already added stay.
    void CancelAdds();
    bool Adding() const;
    // Tests and shutdown: runs the window's events until every add asked for is in the list.
    void FinishAdds();
    // Reads every entry's chart afresh in the background (after a change of reading).
    void RescanList();
    // Reorders the list itself (its file keeps the new order); the playing chart plays on.
    void SortList(SortKey key);
    // Find by typing: the filter line above the list shows only the matching lines.
    void OpenFilter();
    void CloseFilter();
    bool FilterOpen() const;
    QLineEdit* FilterLine() const { return txtFilter_; }
    // The progress text of the adds ("Adding… 10 of 200"); empty when none runs.
    const QString& AddProgressText() const { return addProgress_; }
    void PressDelete();
    void SetSleepText(const QString& text);
    void SeekBarMouse(double x, int buttons);
    // A seek to `tick` from outside the window (the desktop's media controls).
    void SeekToTick(int32_t tick);
    void MarqueeTick();
    // A click on line `row` (counted from 0), as the user's: selects it and plays it next.
    void ClickLine(int row);
    // The list's menu and the window's shortcuts.
    ListMenu& GetListMenu() { return *listMenu_; }

signals:
    // A chart started or the jukebox started or stopped playing.
    void playbackChanged();

public:

    // Controls (named as in the window design).
    QPushButton* cmdPlay = nullptr;
    QPushButton* cmdStop = nullptr;
    QToolButton* chkShowNotes = nullptr;
    QToolButton* chkRandom = nullptr;
    PictureBox* picStatus = nullptr;
    PictureBox* picLoadWav = nullptr;
    PictureBox* picPlayWav = nullptr;
    PictureBox* picTitle = nullptr;
    std::array<PictureBox*, 4> picBeat{};
    PictureBox* picScroll = nullptr;
    PlayListBox* lstPlayList = nullptr;
    std::array<QLabel*, 3> lblCap{};
    QComboBox* cmbWAVMode = nullptr;
    QComboBox* cmbSleep = nullptr;
    QPushButton* cmdClear = nullptr;
    std::array<QPixmap, 2> imgRun;

    // SettingsControls: each setter acts as the user's change.
    void SetSleepIndex(int index) override;
    void SetWavModeIndex(int index) override;
    void SetShowNotes(bool ticked) override;
    void SetRandom(bool ticked) override;
    bool ShowNotes() const override;
    bool Random() const override;
    int32_t SleepMs() const override;
    int32_t WavLoadMode() const override;
    void SetEngineSettings(int32_t sleepMs, int32_t wavLoadMode) override;
    // The reading ("auto", "classic", "extended") of the charts loaded and added from now on.
    void SetReading(const std::string& name) override;
    std::string Reading() const override;
    // The user's choice in the list's menu: the reading changes and the list's entries are read again.
    void ChooseReading(const std::string& name);
    void SetEvenLoudness(bool on) override;
    bool EvenLoudness() const override;
    // The list line's tool tip: the chart's loudness and gain once measured.
    QString LoudnessTip(int row) const;
    void SetOneChartPerSong(bool on) override;
    bool OneChartPerSong() const override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    static void KeepDamagedList(const std::string& path);
    void changeEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    class PlayerLink;

    void BuildControls();
    void FormLoad();
    void ShowMessage(MessageIcon icon, const std::string& title, const std::string& text);
    void OnListCurrentChanged(int row);
    void OnShowNotesToggled(bool on);
    void PaintStatus(QPainter& p, const QRect& inner);
    void PaintScroll(QPainter& p, const QRect& inner);
    void PaintTitle(QPainter& p, const QRect& inner);
    void ApplyBeatDisplay();

    // PlayListView
    void OnLineAdded(const std::string& line) override;
    void OnLineRemoved(int line) override;
    void OnLinesCleared() override;
    void OnCaptionSet(const std::string& caption) override;
    void OnLineChanged(int line, const std::string& text) override;
    void OnLinesReplaced(const std::vector<std::string>& lines) override;
    // JukeboxWindow
    void SetNextPlayTimer(bool enabled) override;
    void SelectLine(int line) override;
    void ShowRunningPicture(bool running) override;
    double TitleTextWidth(const std::string& text) override;
    void RestartMarquee(double titleWidth) override;
    // JukeboxWindow and PlayHost
    void PumpEvents() override;
    void UpdateBeatDisplay() override;
    // PlayHost
    void StartTimer(int id, int intervalMs) override;
    void StopTimer(int id) override;
    void DrawNotes() override;
    void DrawStatus(const StatusReadout& readout) override;
    // SignalLamps
    void SetLoadLamp(bool lit) override;
    void SetPlayLamp(bool lit) override;
    // StatusSink
    void OnCaption(const std::string& caption) override;

    MainWindowParts parts_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<PlayList> list_;
    std::unique_ptr<PlayerLink> link_;
    std::unique_ptr<Jukebox> jukebox_;
    std::unique_ptr<LoudnessMatch> loudness_;
    bool evenLoudness_ = true;
    void ApplyChartGain(const std::string& path, const std::string& next);
    std::unique_ptr<MessageHook> listMessages_;
    std::unique_ptr<ScanCache> scanCache_;
    std::unique_ptr<AddQueue> adds_;
    QTimer addTimer_;
    QString addProgress_;
    QLineEdit* txtFilter_ = nullptr;
    std::vector<QString> filterKeys_;  // folded search text per line, built when the filter opens
    void SetUpAdds();
    void DrainAdds();
    void SettleAdds(int maxMs);
    // A list read from its file does not say how full each chart is: learn it in the background.
    void CountSoundingObjects();
    void ShowAddProgress();
    void ApplyFilter(const QString& text);
    void FilterNewLine(int row);
    bool FilterKey(QKeyEvent* e);
    void PlaceListBox();
    BeatDisplay beat_;
    TitleMarquee marquee_;
    QPointer<QWidget> notes_;
    std::unique_ptr<QWidget> ownNotes_;

    QTimer timNextPlay_;
    QTimer timscroll_;
    QTimer timer50_;
    QTimer timer51_;

    std::function<void()> drawNotes_;
    std::string statusText_;
    bool loaded_ = false;
    bool keepDamagedList_ = false;
    bool loading_ = false;
    int listGuard_ = 0;  // > 0 while the list box changes under code, not the user
    QFont titleFont_;
    ListMenu* listMenu_ = nullptr;
};

}  // namespace jov
