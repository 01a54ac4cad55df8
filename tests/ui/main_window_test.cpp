// The main window and the notes window: a new window's controls and displays, drops and
// Delete, Play and Stop, closing and coming back; the list reacts only to a line the user
// chose, and a range the user builds survives the jukebox marking its line.

#include "ui/main_window.h"
#include "ui/notes_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "engine/status_readout.h"
#include "list_rig.h"
#include "playlist/playlist.h"

using namespace jov;
using rig::ClickLine;
namespace fs = std::filesystem;

namespace {

void FocusIn(QWidget* w, Qt::FocusReason reason) {
    QFocusEvent e(QEvent::FocusIn, reason);
    QApplication::sendEvent(w, &e);
}

QList<int> SelectedRows(QListWidget* list) {
    QList<int> rows;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) rows << i;
    return rows;
}

// A window listing charts t0..t<count-1>.
std::unique_ptr<rig::Window> WithCharts(int count, int measures) {
    auto r = std::make_unique<rig::Window>();
    for (int i = 0; i < count; ++i) {
        const std::string title = std::string("t") + std::to_string(i);
        r->w->AddDropped({rig::WriteChart(r->dir / (title + ".bms"), title, measures)});
    }
    r->w->FinishAdds();
    return r;
}

// A rectangle's sides, which a failed comparison prints.
QList<int> Sides(const RECT& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAndDisplaysOfANewWindow() {
        rig::Window r;  // no list file: an empty list, silently
        frmMenu& w = *r.w;
        QVERIFY(w.isVisible() && !w.NotesWindow()->isVisible());
        QVERIFY(w.ScrollTimer().isActive() && r.messages.empty());
        w.cmbSleep->setEditText(" 14.5 ");  // halves go to the even neighbour
        w.cmbSleep->setEditText("16");      // beyond 15: kept
        QCOMPARE(w.SleepMs(), 14);
        w.cmbWAVMode->setCurrentIndex(0);
        QCOMPARE(w.WavLoadMode(), 0);

        // A ticked switch is clearly darker, pressed in.
        QToolButton* b = w.chkRandom;
        auto meanGrey = [b] {
            QImage img = b->grab().toImage();
            double sum = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) sum += qGray(img.pixel(x, y));
            return sum / (img.width() * img.height());
        };
        const double off = meanGrey();
        b->setChecked(true);
        QVERIFY(off - meanGrey() > 30);

        // The seek bar: pointing shows the time there, a click seeks and moves the marker.
        Player& p = w.GetPlayer();
        p.LoadChart((rig::kDemo / "demo1.bms").string());
        w.SeekBarMouse(94, 0);  // half way, no button: the tool tip only
        QCOMPARE(w.picScroll->toolTip().toStdString(), FormatTime(static_cast<int32_t>(std::nearbyint(p.Model().PlayTime / 2.0))));
        QCOMPARE(p.State().CurrentTick, 0.0);
        w.SeekBarMouse(47, 1);
        QCOMPARE(p.State().CurrentTick, std::nearbyint(47.0 / 188 * p.Model().LastTick));
        QCOMPARE(w.GetBeatDisplay().ProgressX, int16_t{45});
        w.Marquee().TitleX = 0;
        w.Marquee().TitleWidth = 100;
        w.MarqueeTick();
        QVERIFY(w.Marquee().TitleX < 0);

        // Minimised, the window draws no status readout.
        w.showMinimized();
        QTRY_VERIFY(p.State().IsMinimized);
        p.Engine().StatusTimerProc();
        QVERIFY(w.StatusText().empty());
        w.showNormal();
        QTRY_VERIFY(!p.State().IsMinimized);
        p.Engine().StatusTimerProc();
        QVERIFY(!w.StatusText().empty());
    }

    void droppedChartsAreListedAndDeleteRemovesTheSelectedLines() {
        auto r = WithCharts(3, 2);
        QListWidget* list = r->w->lstPlayList;
        QCOMPARE(rig::Lines(list), QStringList({"tester - t0\t0:08", "tester - t1\t0:08", "tester - t2\t0:08"}));
        QCOMPARE(r->w->windowTitle(), QString("[3songs/00:00:24] - jov:01"));
        {
            QSignalBlocker b(list);  // selecting by code is not a user's click
            list->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
            list->setCurrentRow(2, QItemSelectionModel::Select);
        }
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(rig::Lines(list), QStringList({"tester - t0\t0:08"}));
        QCOMPARE(r->w->GetJukebox().PlayTable, (std::vector<int32_t>{0, 1}));
        QVERIFY(!r->w->NextPlayTimer().isActive());  // removing lines was not a click on a line
    }

    void findByTypingAndSortingNeverPlayAndKeepTheFile() {
        rig::Window r;
        frmMenu& w = *r.w;
        QListWidget* list = w.lstPlayList;
        auto chart = [&](const char* name, const char* text) {
            std::ofstream((r.dir / name).string(), std::ios::binary) << text << "#BPM 120\r\n#00101:01\r\n";
            return (r.dir / name).string();
        };
        // Full-width letters, half-width kana, a title in kanji, a file name.
        w.AddDropped({chart("a.bms", "#TITLE \xEF\xBC\xB3\xEF\xBD\x8E\xEF\xBD\x8F\xEF\xBD\x97 Day\r\n#ARTIST Zed\r\n#GENRE Trance\r\n"),
                      chart("b.bms", "#TITLE \xE6\x9C\x88\xE5\x85\x89 [ANOTHER]\r\n#ARTIST \xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84\r\n"),
                      chart("c.bms", "#TITLE snow night\r\n#ARTIST Night Owl\r\n#GENRE HARDCORE\r\n"),
                      chart("yuki.bms", "#TITLE other\r\n#ARTIST Abe\r\n")});
        w.FinishAdds();
        const QStringList lines = rig::Lines(list);
        QCOMPARE(lines.size(), 4);
        auto shown = [&] {
            QList<int> rows;
            for (int i = 0; i < list->count(); ++i)
                if (!list->isRowHidden(i)) rows << i;
            return rows;
        };
        auto armed = [&] { return w.NextPlayTimer().isActive(); };
        list->setFocus();
        QTest::keyClick(list, 's');  // typing on the list opens the filter with it
        QVERIFY(w.FilterOpen());
        QCOMPARE(w.FilterLine()->text(), QString("s"));
        QTest::keyClicks(w.FilterLine(), "now");
        QCOMPARE(shown(), (QList<int>{0, 2}));
        const std::pair<QString, QList<int>> finds[] = {
            {"snow day", {0}},
            {QString::fromUtf8("\xEF\xBC\xAE\xEF\xBC\xA9\xEF\xBC\xA7\xEF\xBC\xA8\xEF\xBC\xB4  hard"), {2}},  // ＮＩＧＨＴ
            {QString::fromUtf8("\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"), {1}},  // テスト finds ﾃｽﾄ
            {QString::fromUtf8("\xE6\x9C\x88\xE5\x85\x89 another"), {1}},
            {"YUKI", {3}},
            {"trance owl", {}},
            {"", {0, 1, 2, 3}},
        };
        for (const auto& [typed, rows] : finds) {
            w.FilterLine()->setText(typed);
            QCOMPARE(shown(), rows);
        }
        w.FilterLine()->setText("n");
        QTest::keyClick(w.FilterLine(), Qt::Key_Down);  // walks the shown lines only
        QTest::keyClick(w.FilterLine(), Qt::Key_Down);
        QCOMPARE(shown(), (QList<int>{0, 1, 2}));
        QVERIFY(!armed());
        QCOMPARE(rig::Lines(list), lines);
        w.FilterLine()->setText("owl");
        QTest::keyClick(w.FilterLine(), Qt::Key_Return);
        QVERIFY(armed());
        QCOMPARE(w.GetPlayList().PlayOrderIndex, 2);
        w.NextPlayTimer().stop();
        w.FilterLine()->setText("zed");
        QTest::keyClick(w.FilterLine(), Qt::Key_Escape);
        QVERIFY(!w.FilterOpen());
        QCOMPARE(shown(), (QList<int>{0, 1, 2, 3}));
        QCOMPARE(list->currentRow(), 0);

        // Esc ends an add at once; what was added stays, and the same add again is whole.
        fs::create_directories(r.dir / "many");
        for (int i = 0; i < 300; ++i) rig::WriteChart(r.dir / "many" / (std::to_string(i) + ".bms"), "m", 1);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.AddDropped({(r.dir / "many").string()});
        QVERIFY(w.Adding() && w.AddProgressText().startsWith("Adding"));
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.Adding() && w.AddProgressText().isEmpty());
        QVERIFY(list->count() < 4 + 300);
        for (int i = list->count() - 1; i >= 4; --i) w.GetPlayList().RemovePlayListEntry(i);
        w.AddDropped({(r.dir / "many").string()});
        w.FinishAdds();
        QCOMPARE(list->count(), 4 + 300);
        for (int i = 4 + 300 - 1; i >= 4; --i) w.GetPlayList().RemovePlayListEntry(i);
        w.GetJukebox().makeplaytable();

        // Sorting reorders the list and its file; the chart playing plays on and the
        // sequence goes on from it in the new order.
        std::vector<std::string> titles;
        rig::Watch(w, titles, [&](size_t chart, int pass) {
            if (chart == 1 && pass == 1) w.SortList(SortKey::Artist);
            if (chart == 2 && pass == 1) w.cmdStop->click();
        });
        w.ClickLine(2);
        r.RunUntilIdle();
        QCOMPARE(rig::Lines(list), (QStringList{lines[3], lines[2], lines[0], lines[1]}));
        QCOMPARE(titles, (std::vector<std::string>{"snow night", "\xEF\xBC\xB3\xEF\xBD\x8E\xEF\xBD\x8F\xEF\xBD\x97 Day"}));
        QVERIFY(w.GetPlayList().SavePlayList((r.dir / "sorted.rxl").string(), true));
        PlayList saved(r.shell);
        QVERIFY(saved.LoadPlayList((r.dir / "sorted.rxl").string(), true));
        QCOMPARE(saved.Lines(), w.GetPlayList().Lines());
    }

    void firstStartPlaysTheDemoChartsAndCloseKeepsListAndSettings() {
        const fs::path dir = rig::Fresh();
        std::string released;
        {
            rig::Window r(dir, rig::kDemo.string());
            frmMenu& w = *r.w;
            QCOMPARE(w.lstPlayList->count(), 3);
            int passes = 0;
            bool sawTimers = false, heard = false;
            w.SetDrawNotes([&] {
                if (++passes != 300) return;
                sawTimers = w.PlayTimerRunning() && w.StatusTimerRunning();
                heard = r.Heard();
                QVERIFY(w.windowTitle().contains("Neon Grid"));
                w.cmdPlay->click();  // does nothing while playing
                w.cmdStop->click();
            });
            w.cmdPlay->click();
            r.RunUntilIdle();
            QVERIFY(passes >= 300 && sawTimers && heard);
            // Stopped: nothing armed, no loop, timers 50 and 51 off.
            QVERIFY(!w.NextPlayTimer().isActive() && !w.GetPlayer().State().IsPlaying);
            QVERIFY(!w.PlayTimerRunning() && !w.StatusTimerRunning());

            r.onRelease = [&] {
                released = std::string(fs::exists(dir / "default.rxl") ? "after list" : "") +
                           (fs::exists(dir / "jov01.ini") ? ", after settings" : "");
            };
            w.SetSleepIndex(3);
            w.SetWavModeIndex(0);
            w.SetShowNotes(true);
            w.SetRandom(true);
            w.close();
            QVERIFY(r.ended);
        }
        QCOMPARE(released, std::string("after list"));  // the sounds go between the two

        // The list is there now: the demo charts are not added again.
        rig::Window again(dir, rig::kDemo.string());
        QCOMPARE(again.w->lstPlayList->count(), 3);
        QCOMPARE(again.w->cmbSleep->currentText(), QString("3"));
        QCOMPARE(again.w->SleepMs() + again.w->WavLoadMode(), 3);
        QVERIFY(again.w->NotesWindow()->isVisible() && again.w->chkRandom->isChecked());
        // Closing the notes window by itself only hides it and unticks the box.
        again.w->NotesWindow()->close();
        QVERIFY(!again.w->chkShowNotes->isChecked());
    }

    void damagedDefaultListIsKeptAsideAtClose() {
        const fs::path dir = rig::Fresh();
        fs::create_directories(dir);
        const std::string junk(5000, '\x7f');
        std::ofstream(dir / "default.rxl", std::ios::binary) << junk;
        std::ofstream(dir / "default.rxl.damaged", std::ios::binary) << "older";
        rig::Window(dir).w->close();
        // The unreadable list is moved aside next to an earlier one, never over it.
        auto read = [&](const char* name) {
            std::ifstream f(dir / name, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(f), {});
        };
        QCOMPARE(read("default.rxl.damaged.1"), junk);
        QCOMPARE(read("default.rxl.damaged"), std::string("older"));
        QVERIFY(fs::file_size(dir / "default.rxl") < 100);
    }

    void onlyALineTheUserChoseStartsPlayback() {
        auto r = WithCharts(3, 4);
        frmMenu& w = *r->w;
        QListWidget* list = w.lstPlayList;
        auto armed = [&] { return w.NextPlayTimer().isActive(); };
        FocusIn(list, Qt::TabFocusReason);  // Tab into the list with no line current
        QVERIFY(!armed());
        {
            QSignalBlocker b(list);
            list->setCurrentRow(1);
        }
        const QPoint below(20, list->visualItemRect(list->item(2)).bottom() + 12);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(SelectedRows(list), QList<int>{1});
        ClickLine(list, 2, Qt::RightButton);
        ClickLine(list, 2, Qt::MiddleButton);
        QVERIFY(!armed());
        // Keyboard moves and left clicks on a line (the current one too) do choose it.
        QTest::keyClick(list, Qt::Key_Up);
        QVERIFY(armed());
        QCOMPARE(w.GetPlayList().PlayOrderIndex, list->currentRow());
        for (int again = 0; again < 2; ++again) {
            w.NextPlayTimer().stop();
            ClickLine(list, 2);
            QVERIFY(armed() && w.GetPlayList().PlayOrderIndex == 2);
        }
        w.NextPlayTimer().stop();

        // A list dropped while t0 plays replaces only the list; focus coming back to the
        // list (a message box closing, a Tab) and blank clicks do not cut t0 off, and
        // CLEAR lets it play out with nothing after it.
        PlayList other(r->shell);
        other.AddPlayListEntry(rig::WriteChart(r->dir / "x.bms", "x", 4));
        const std::string rxl = (r->dir / "other.rxl").string();
        QVERIFY(other.SavePlayList(rxl, true));
        std::vector<std::string> titles;
        rig::Watch(w, titles, [&](size_t, int pass) {
            if (pass == 20) {
                w.AddDropped({rxl});
                w.FinishAdds();
                FocusIn(list, Qt::ActiveWindowFocusReason);
                FocusIn(list, Qt::TabFocusReason);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
            }
            if (pass == 60) {
                QCOMPARE(list->count(), 1);
                w.cmdClear->click();
            }
        });
        ClickLine(list, 0);
        r->RunUntilIdle();
        QCOMPARE(titles, std::vector<std::string>{"t0"});
        QCOMPARE(w.windowTitle(), QString("[0songs/00:00:00] - jov:01"));
        QVERIFY(!armed() && !w.GetPlayer().State().IsPlaying);
    }

    void rangesPlayNothingAndSurviveTheJukeboxMarkingItsLine() {
        auto r = WithCharts(5, 2);
        frmMenu& w = *r->w;
        QListWidget* list = w.lstPlayList;
        std::vector<std::string> titles;
        QList<QList<int>> seen;  // the selection 20 passes into each chart
        rig::Watch(w, titles, [&](size_t chart, int pass) {
            if (pass != 20) return;
            seen << SelectedRows(list);
            // Extending the selection by Shift or Ctrl plays nothing: t0 plays on.
            if (chart == 1) ClickLine(list, 2, Qt::LeftButton, Qt::ShiftModifier);
            if (chart == 2) {  // Delete removes exactly the range (t1 playing): t3 and t4 are left
                QTest::keyClick(list, Qt::Key_Delete);
                ClickLine(list, 0);
            }
            if (chart == 3) {  // t3 plays on
                QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
                ClickLine(list, 1, Qt::LeftButton, Qt::ControlModifier);
                ClickLine(list, 1, Qt::LeftButton, Qt::ControlModifier);
            }
            if (chart == 5) w.cmdStop->click();  // t4 ended by itself, t3 again
        });
        ClickLine(list, 0);
        r->RunUntilIdle();
        QCOMPARE(titles, (std::vector<std::string>{"t0", "t1", "t3", "t4", "t3"}));
        QCOMPARE(seen, (QList<QList<int>>{{0}, {0, 1, 2}, {0}, {0, 1}, {0, 1}}));
        QCOMPARE(list->currentRow(), 0);
    }

    void notesWindowFollowsItsSizeAndAUserCloseOnlyHidesIt() {
        DirectDraw ddraw;
        ddraw.InitDirectDraw(nullptr, true, UiLanguage::English, nullptr, nullptr);
        SkinTables skin;
        skin.JudgeLinePos = -40;
        NotesScreen screen;
        frmNotes window(ddraw, skin, screen);
        int unticked = 0;
        window.SetUserCloseHandler([&] { ++unticked; });
        window.resize(300, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.Form_Resize();
        QCOMPARE(Sides(screen.BackRect), QList<int>({0, 0, 300, 500}));
        QCOMPARE(QSize(screen.BackSurface.Width(), screen.BackSurface.Height()), QSize(300, 500));
        QCOMPARE(screen.JudgeLineY, int16_t{460});
        QCOMPARE(window.picobjs()->geometry(), QRect(0, 0, 300, 500));
        const QPoint origin = window.picobjs()->mapToGlobal(QPoint(0, 0));
        QCOMPARE(Sides(screen.ScreenRect), QList<int>({origin.x(), origin.y(), origin.x() + 300, origin.y() + 500}));

        skin.JudgeLinePos = 400;
        window.resize(320, 700);
        QTRY_COMPARE(Sides(screen.BackRect), QList<int>({0, 0, 320, 700}));
        QCOMPARE(screen.JudgeLineY, int16_t{400});

        // A move alone is picked up by the move timer within half a second.
        window.move(window.x() + 37, window.y() + 11);
        QTRY_COMPARE_WITH_TIMEOUT(screen.ScreenRect.Left, window.picobjs()->mapToGlobal(QPoint(0, 0)).x(), 1000);
        QCOMPARE(window.LastLeft(), window.x());

        // The window system's close request arrives at the native window.
        QCloseEvent fromTitleBar;
        QApplication::sendEvent(window.windowHandle(), &fromTitleBar);
        QVERIFY(!fromTitleBar.isAccepted());
        QVERIFY(!window.isVisible());
        QCOMPARE(unticked, 1);

        window.show();  // shown again with the same size
        QCOMPARE(window.size(), QSize(320, 700));
        QVERIFY(window.close());  // a close from the program itself goes through
        QCOMPARE(unticked, 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
