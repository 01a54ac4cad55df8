#include "ui/main_window.h"

#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "audio/audio_system.h"
#include "shell/clock.h"
#include "engine/status_readout.h"
#include "shell/ini_file.h"
#include "shell/settings.h"
#include "ui/list_menu.h"

using namespace jov;
namespace fs = std::filesystem;

namespace {

const fs::path kDemo = fs::path(JOV01_TEST_DATA) / ".." / ".." / "assets" / "demo";

// Forwards to the offline mixer and notes, at the moment the sounds are released,
// which files already exist.
struct RecordingSound final : SoundDevice {
    explicit RecordingSound(SoundDevice& t) : target(t) {}
    SoundDevice& target;
    std::function<void()> onReleaseAll;
    bool CreateFromFile(int slot, const std::string& path) override { return target.CreateFromFile(slot, path); }
    bool HasBuffer(int slot) const override { return target.HasBuffer(slot); }
    int32_t GetFrequency(int slot) const override { return target.GetFrequency(slot); }
    void SetFrequency(int slot, int32_t hz) override { target.SetFrequency(slot, hz); }
    void Stop(int slot, double atMs) override { target.Stop(slot, atMs); }
    void SetPosition(int slot, int64_t frame, double atMs) override { target.SetPosition(slot, frame, atMs); }
    void Play(int slot, double atMs) override { target.Play(slot, atMs); }
    void Release(int slot) override { target.Release(slot); }
    void ReleaseAll() override {
        if (onReleaseAll) onReleaseAll();
        target.ReleaseAll();
    }
};

struct Rig {
    fs::path dir;
    Shell shell;
    VirtualClock clock{1000, 10};  // every sleep of the play loop moves 10 ms
    std::unique_ptr<AudioSystem> audio = AudioSystem::CreateOffline(44100, nullptr, std::string());
    RecordingSound sound{audio->Sound()};
    std::vector<std::string> messages;
    std::vector<std::string> events;
    std::unique_ptr<frmMenu> w;
    std::vector<int16_t> pcm;

    explicit Rig(const fs::path& folder) : dir(folder) {
        fs::create_directories(dir);
        audio->GetMixer().SetOfflineAnchor(1000, 0);
        Make();
    }
    void Make() {
        MainWindowParts parts;
        parts.shell = &shell;
        parts.clock = &clock;
        parts.sound = &sound;
        parts.midi = &audio->Midi();
        parts.listPath = (dir / "default.rxl").string();
        parts.settingsPath = (dir / "jov01.ini").string();
        parts.showMessage = [this](MessageIcon, const std::string& title, const std::string& text) {
            messages.push_back(title + ": " + text);
        };
        parts.endProgram = [this] { events.push_back("end"); };
        w = std::make_unique<frmMenu>(parts);
    }
    // Mixes everything up to the clock's now, as the sound card would.
    void PullAudio() { audio->RenderUntil(static_cast<double>(clock.NowMs()), pcm); }
    bool HeardSomething() const {
        for (int16_t s : pcm)
            if (s != 0) return true;
        return false;
    }
    // Runs the window's events until the jukebox timer is idle (or a limit).
    void RunUntilIdle(int ms = 5000) {
        QElapsedTimer t;
        t.start();
        do QTest::qWait(5);
        while ((w->NextPlayTimer().isActive() || w->GetPlayer().State().IsPlaying) && t.elapsed() < ms);
    }
};

QStringList Lines(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

void ClickLine(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

std::string WriteChart(const fs::path& path, const std::string& title, int measures) {
    std::ofstream f(path, std::ios::binary);
    f << "#TITLE " << title << "\r\n#ARTIST tester\r\n#BPM 120\r\n";
    for (int m = 1; m <= measures; ++m) f << "#" << (m < 10 ? "00" : "0") << m << "01:01\r\n";
    return path.string();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private:
    fs::path base_;
    int n_ = 0;
    fs::path Fresh() { return base_ / std::to_string(++n_); }

private slots:
    void initTestCase() {
        base_ = fs::temp_directory_path() / "main_window_test" / std::to_string(::getpid());
        fs::remove_all(base_);
    }
    void cleanupTestCase() { fs::remove_all(base_); }

    void startsEmptyAndTakesOnlyWholeSleepsUpTo15() {
        Rig r(Fresh());
        frmMenu& w = *r.w;
        QVERIFY(w.ScrollTimer().isActive());
        w.EnsureLoaded();  // no list file: empty list, silently, Realtime selected
        QVERIFY(w.isVisible() && !w.NotesWindow()->isVisible());
        QCOMPARE(w.WavLoadMode(), 1);
        QVERIFY(r.messages.empty());
        w.cmbSleep->setEditText(" 14.5 ");  // halves go to the even neighbour
        w.cmbSleep->setEditText("16");      // beyond 15: kept
        QCOMPARE(w.SleepMs(), 14);
        w.cmbWAVMode->setCurrentIndex(0);
        QCOMPARE(w.WavLoadMode(), 0);
    }

    void dropFolderListsChartsAndSummary() {
        Rig r(Fresh());
        r.w->EnsureLoaded();
        fs::path charts = r.dir / "charts";
        fs::create_directories(charts / "sub");
        WriteChart(charts / "b.bme", "Bee", 2);
        WriteChart(charts / "a.bms", "Aye", 2);
        WriteChart(charts / "sub" / "c.bms", "Sea", 2);
        std::ofstream(charts / "notes.txt") << "x";
        r.w->AddDropped({charts.string()});
        QCOMPARE(Lines(r.w->lstPlayList), QStringList({"tester - Aye\t0:08", "tester - Bee\t0:08", "tester - Sea\t0:08"}));
        QCOMPARE(r.w->windowTitle(), QString("[3songs/00:00:24] - jov:01"));
        QCOMPARE(r.w->GetJukebox().PlayTable.size(), size_t{4});
    }

    void extendedReadingSwitch() {
        Rig r(Fresh());
        r.w->EnsureLoaded();
        const fs::path chart = r.dir / "stop.bms";
        std::ofstream(chart, std::ios::binary) << "#TITLE Stop\r\n#ARTIST tester\r\n#BPM 120\r\n#STOP01 192\r\n"
                                                  "#00101:01\r\n#00109:01\r\n";
        r.w->AddDropped({chart.string()});  // classic: no stop, 3 measures at 120 BPM
        QVERIFY(!r.w->ExtendedReading());
        QAction* item = r.w->GetListMenu().actExtended;
        r.w->GetListMenu().Prepared();
        QVERIFY(!item->isChecked());
        item->trigger();
        QVERIFY(r.w->GetPlayer().Reading().extended);
        r.w->AddDropped({chart.string()});  // the stop holds a whole measure more
        QCOMPARE(Lines(r.w->lstPlayList), QStringList({"tester - Stop\t0:06", "tester - Stop\t0:08"}));
        QVERIFY(r.w->GetListMenu().Prepared()->actions().contains(item));
        QVERIFY(item->isChecked());
        r.w->SetExtendedReading(false);
        r.w->GetListMenu().Prepared();
        QVERIFY(!item->isChecked());
    }

    void deleteRemovesTheSelectedLines() {
        Rig r(Fresh());
        r.w->EnsureLoaded();
        for (char c = '0'; c < '5'; ++c) r.w->AddDropped({WriteChart(r.dir / (c + std::string(".bms")), std::string("t") + c, 1)});
        QListWidget* list = r.w->lstPlayList;
        r.w->NextPlayTimer().stop();
        {
            QSignalBlocker b(list);  // selecting by code is not a user's click
            list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
            list->setCurrentRow(2, QItemSelectionModel::Select);
            list->setCurrentRow(4, QItemSelectionModel::Select);
        }
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(Lines(list), QStringList({"tester - t1\t0:06", "tester - t3\t0:06"}));
        QCOMPARE(r.w->GetPlayList().PlayListCount(), 2);
        QCOMPARE(r.w->GetJukebox().PlayTable, (std::vector<int32_t>{0, 1, 2}));
        // Removing lines was not taken for a click on a line.
        QVERIFY(!r.w->NextPlayTimer().isActive());
    }

    void playRunsTheStepAndStopEndsIt() {
        Rig r(Fresh());
        r.w->EnsureLoaded();
        r.w->AddDropped({(kDemo / "demo1.bms").string(), (kDemo / "demo2.bms").string()});
        frmMenu& w = *r.w;
        int passes = 0;
        bool sawTimers = false;
        w.SetDrawNotes([&] {
            r.PullAudio();
            if (++passes == 300) {
                sawTimers = w.PlayTimerRunning() && w.StatusTimerRunning();
                QCOMPARE(w.lstPlayList->currentRow(), 0);
                QVERIFY(w.GetPlayer().State().IsPlaying);
                QVERIFY(w.windowTitle().contains("Neon Grid"));
                w.GetPlayer().Engine().StatusTimerProc();  // timer 51's callback
                w.cmdPlay->click();  // does nothing while playing
                w.cmdStop->click();
            }
        });
        w.cmdPlay->click();
        QVERIFY(w.NextPlayTimer().isActive());
        r.RunUntilIdle();
        QVERIFY(passes >= 300);
        QVERIFY(sawTimers);
        QVERIFY(r.HeardSomething());
        QCOMPARE(w.GetPlayer().Model().Chart.Title, std::string("Neon Grid"));
        // Stopped: nothing armed, no loop, timers 50 and 51 off, rewound to the start.
        QVERIFY(!w.NextPlayTimer().isActive());
        QVERIFY(!w.GetPlayer().State().IsPlaying);
        QVERIFY(!w.PlayTimerRunning() && !w.StatusTimerRunning());
        QVERIFY(!w.GetJukebox().UserStop);
        QCOMPARE(w.StatusText().substr(0, 1), std::string("<"));
        QVERIFY(w.StatusText().find("BPM: 128") != std::string::npos);
    }

    void listClickWhilePlayingPlaysThatEntryNext() {
        Rig r(Fresh());
        r.w->EnsureLoaded();
        r.w->AddDropped({(kDemo / "demo1.bms").string(), (kDemo / "demo2.bms").string(),
                         (kDemo / "demo3.bms").string()});
        frmMenu& w = *r.w;
        std::vector<std::string> titles;
        int passes = 0;
        w.SetDrawNotes([&] {
            r.PullAudio();
            const std::string& t = w.GetPlayer().Model().Chart.Title;
            if (titles.empty() || titles.back() != t) titles.push_back(t), passes = 0;
            if (++passes != 50) return;
            if (titles.size() == 1) ClickLine(w.lstPlayList, 2);
            else w.cmdStop->click();
        });
        ClickLine(w.lstPlayList, 0);
        r.RunUntilIdle();
        QCOMPARE(titles.size(), size_t{2});
        QCOMPARE(titles[1], w.GetPlayList().PlayListEntries()[3].Title);
        QCOMPARE(w.lstPlayList->currentRow(), 2);
    }

    void clearWhilePlayingEndsQuietly() {
        Rig r(Fresh());
        r.w->EnsureLoaded();
        r.w->AddDropped({WriteChart(r.dir / "short.bms", "Short", 2), WriteChart(r.dir / "two.bms", "Two", 2)});
        frmMenu& w = *r.w;
        int passes = 0;
        w.SetDrawNotes([&] {
            if (++passes == 20) w.cmdClear->click();
        });
        ClickLine(w.lstPlayList, 0);
        r.RunUntilIdle();
        QCOMPARE(w.lstPlayList->count(), 0);
        QCOMPARE(w.windowTitle(), QString("[0songs/00:00:00] - jov:01"));
        QVERIFY(!w.NextPlayTimer().isActive());
        QVERIFY(!w.GetPlayer().State().IsPlaying);
    }

    void seekBarAndMarquee() {
        Rig r(Fresh());
        r.w->EnsureLoaded();
        r.w->AddDropped({(kDemo / "demo1.bms").string()});
        Player& p = r.w->GetPlayer();
        p.LoadChart((kDemo / "demo1.bms").string());
        r.w->SeekBarMouse(94, 0);  // half way: the tool tip only
        QCOMPARE(r.w->picScroll->toolTip().toStdString(), FormatTime(static_cast<int32_t>(std::nearbyint(p.Model().PlayTime / 2.0))));
        QCOMPARE(p.State().CurrentTick, 0.0);
        r.w->SeekBarMouse(47, 1);
        QCOMPARE(p.State().CurrentTick, std::nearbyint(47.0 / 188 * p.Model().LastTick));
        QCOMPARE(r.w->GetBeatDisplay().ProgressX, int16_t{45});
        r.w->Marquee().TitleX = 0;
        r.w->Marquee().TitleWidth = 100;
        r.w->MarqueeTick();
        QVERIFY(r.w->Marquee().TitleX < 0);
    }

    void closeSavesListThenSettingsAndTheyComeBack() {
        fs::path dir = Fresh();
        std::vector<std::string> order;
        {
            Rig r(dir);
            r.w->EnsureLoaded();
            r.w->AddDropped({WriteChart(dir / "one.bms", "One", 1), WriteChart(dir / "two.bms", "Two", 1)});
            r.sound.onReleaseAll = [&] {
                order.push_back(std::string("release sounds") + (fs::exists(dir / "default.rxl") ? " after list" : "") +
                                (fs::exists(dir / "jov01.ini") ? " after settings" : ""));
            };
            r.w->SetSleepIndex(3);
            r.w->SetWavModeIndex(0);
            r.w->SetShowNotes(true);
            QVERIFY(r.w->NotesWindow()->isVisible());
            r.w->SetRandom(true);
            r.w->close();
            order.insert(order.end(), r.events.begin(), r.events.end());
            QVERIFY(fs::exists(dir / "jov01.ini"));
        }
        QCOMPARE(order, (std::vector<std::string>{"release sounds after list", "end"}));
        QCOMPARE(ReadIni((dir / "jov01.ini").string(), "Setting", "Sleep", ""), std::string("3"));

        Rig again(dir);
        LoadSettings((dir / "jov01.ini").string(), again.shell, *again.w);
        QVERIFY(again.w->Loaded());
        QCOMPARE(again.w->cmbSleep->currentText(), QString("3"));
        QCOMPARE(again.w->SleepMs() + again.w->WavLoadMode(), 3);
        QVERIFY(again.w->NotesWindow()->isVisible() && again.w->chkRandom->isChecked());
        QCOMPARE(again.w->lstPlayList->count(), 2);
        // Closing the notes window by itself only hides it and unticks the box.
        again.w->NotesWindow()->close();
        QVERIFY(!again.w->chkShowNotes->isChecked());
    }

    void damagedDefaultListIsKeptAsideAtClose() {
        fs::path dir = Fresh();
        fs::create_directories(dir);
        const std::string junk(5000, '\x7f');
        std::ofstream(dir.string() + "/default.rxl", std::ios::binary) << junk;
        std::ofstream(dir.string() + "/default.rxl.damaged", std::ios::binary) << "older";
        Rig r(dir);
        r.w->EnsureLoaded();
        r.w->close();
        // The unreadable list is moved aside next to an earlier one, never over it.
        std::ifstream kept(dir / "default.rxl.damaged.1", std::ios::binary);
        QCOMPARE(std::string(std::istreambuf_iterator<char>(kept), {}), junk);
        std::ifstream older(dir / "default.rxl.damaged", std::ios::binary);
        QCOMPARE(std::string(std::istreambuf_iterator<char>(older), {}), std::string("older"));
        QVERIFY(fs::file_size(dir / "default.rxl") < 100);
    }

    void minimisedWindowDrawsNoReadout() {
        Rig r(Fresh());
        r.w->EnsureLoaded();
        r.w->showMinimized();
        QTRY_VERIFY(r.w->GetPlayer().State().IsMinimized);
        r.w->GetPlayer().Engine().StatusTimerProc();
        QVERIFY(r.w->StatusText().empty());
        r.w->showNormal();
        QTRY_VERIFY(!r.w->GetPlayer().State().IsMinimized);
        r.w->GetPlayer().Engine().StatusTimerProc();
        QVERIFY(!r.w->StatusText().empty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
