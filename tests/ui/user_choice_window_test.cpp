// The list reacts only to a line the user chose; a range the user builds survives the
// jukebox marking its line; the switches say what they are and show their tick.
#include <QApplication>
#include <QFocusEvent>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <unistd.h>

#include "list_rig.h"
#include "playlist/playlist.h"

using namespace jov;
using rig::WriteChart;
namespace fs = std::filesystem;

namespace {

void ClickLine(QListWidget* list, int row, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
    QTest::mouseClick(list->viewport(), b, m, list->visualItemRect(list->item(row)).center());
}

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

// Records each chart's title as it starts; `act(chart number, pass)` runs on every pass.
void Watch(frmMenu& w, std::vector<std::string>& titles, std::function<void(size_t, int)> act) {
    auto passes = std::make_shared<int>(0);
    w.SetDrawNotes([&w, &titles, act, passes] {
        const std::string& t = w.GetPlayer().Model().Chart.Title;
        if (titles.empty() || titles.back() != t) titles.push_back(t), *passes = 0;
        act(titles.size(), ++*passes);
    });
}

}  // namespace

class UserChoiceTest : public QObject {
    Q_OBJECT
    fs::path base_ = fs::temp_directory_path() / "user_choice_test" / std::to_string(::getpid());
    int n_ = 0;
    // A window listing charts t0..t<count-1>.
    std::unique_ptr<rig::Window> WithCharts(int count, int measures) {
        const fs::path dir = base_ / std::to_string(++n_);
        auto r = std::make_unique<rig::Window>(dir);
        for (int i = 0; i < count; ++i)
            r->w->AddDropped({WriteChart(dir / ("t" + std::to_string(i) + ".bms"), "t" + std::to_string(i), measures)});
        return r;
    }

private slots:
    void cleanupTestCase() { fs::remove_all(base_); }

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
        // list (a message box closing, a Tab) and blank clicks do not cut t0 off.
        PlayList other(r->shell);
        other.AddPlayListEntry(WriteChart(base_ / "x.bms", "x", 4));
        const std::string rxl = (base_ / "other.rxl").string();
        QVERIFY(other.SavePlayList(rxl, true));
        std::vector<std::string> titles;
        Watch(w, titles, [&](size_t, int pass) {
            if (pass == 20) {
                w.AddDropped({rxl});
                FocusIn(list, Qt::ActiveWindowFocusReason);
                FocusIn(list, Qt::TabFocusReason);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
            }
            if (pass == 60) w.cmdStop->click();
        });
        ClickLine(list, 0);
        r->RunUntilIdle();
        QCOMPARE(titles, std::vector<std::string>{"t0"});
        QCOMPARE(list->count(), 1);
    }

    void shiftRangesSurviveTheJukeboxMarkingItsLine() {
        auto r = WithCharts(5, 2);
        frmMenu& w = *r->w;
        QListWidget* list = w.lstPlayList;
        std::vector<std::string> titles;
        QList<QList<int>> seen;  // the selection 20 passes into each chart
        Watch(w, titles, [&](size_t chart, int pass) {
            if (pass != 20) return;
            seen << SelectedRows(list);
            if (chart == 1) ClickLine(list, 2, Qt::LeftButton, Qt::ShiftModifier);  // jumps to t2
            if (chart == 2) {  // Delete removes exactly the range: t3 and t4 are left
                QTest::keyClick(list, Qt::Key_Delete);
                ClickLine(list, 0);
            }
            if (chart == 3) QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);  // jumps to t4
            if (chart == 5) w.cmdStop->click();  // t4 ended by itself, t3 again
        });
        ClickLine(list, 0);
        r->RunUntilIdle();
        QCOMPARE(titles, (std::vector<std::string>{"t0", "t2", "t3", "t4", "t3"}));
        QCOMPARE(seen, (QList<QList<int>>{{0}, {0, 1, 2}, {0}, {0, 1}, {0, 1}}));
        QCOMPARE(list->currentRow(), 0);
    }

    void aMissingDroppedPathOnlyFailsItsFileCheck() {
        auto r = WithCharts(0, 0);
        QSignalSpy captions(r->w.get(), &QWidget::windowTitleChanged);
        r->w->AddDropped({(base_ / "gone").string()});
        for (const QList<QVariant>& c : captions) QVERIFY(!c[0].toString().startsWith("Seaching"));
        QCOMPARE(r->shell.LastStatus(), std::string("Err[not exist] :gone"));
    }

    void switchesNameThemselvesAndShowTheirTick() {
        auto r = WithCharts(0, 0);
        QCOMPARE(r->w->chkShowNotes->toolTip() + r->w->chkRandom->toolTip(), QString("NOTESRANDOM"));
        QToolButton* b = r->w->chkRandom;
        auto meanGrey = [b] {
            QImage img = b->grab().toImage();
            double sum = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) sum += qGray(img.pixel(x, y));
            return sum / (img.width() * img.height());
        };
        const double off = meanGrey();
        b->setChecked(true);
        QVERIFY2(off - meanGrey() > 30, "a ticked switch is clearly darker, pressed in");
    }
};

QTEST_MAIN(UserChoiceTest)
#include "user_choice_window_test.moc"
