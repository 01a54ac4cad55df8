// The list reacts only to a line the user chose; ranges the user builds survive the
// jukebox marking its line; the switches say what they are.
#include <QApplication>
#include <QFocusEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <unistd.h>

#include "playlist/playlist.h"
#include "list_rig.h"

using namespace jov;
using rig::Lines;
using rig::WriteChart;
namespace fs = std::filesystem;

namespace {

QPoint LineCentre(QListWidget* list, int row) { return list->visualItemRect(list->item(row)).center(); }

void ClickLine(QListWidget* list, int row, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
    QTest::mouseClick(list->viewport(), b, m, LineCentre(list, row));
}

QList<int> SelectedRows(QListWidget* list) {
    QList<int> rows;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) rows << i;
    return rows;
}

void FocusIn(QWidget* w, Qt::FocusReason reason) {
    QFocusEvent e(QEvent::FocusIn, reason);
    QApplication::sendEvent(w, &e);
}

}  // namespace

class UserChoiceTest : public QObject {
    Q_OBJECT
private:
    fs::path base_;
    int n_ = 0;
    fs::path Fresh() { return base_ / std::to_string(++n_); }
    // A loaded window listing charts t0..t<count-1>.
    std::unique_ptr<rig::Window> WithCharts(int count, int measures) {
        auto r = std::make_unique<rig::Window>(Fresh());
        r->w->EnsureLoaded();
        for (int i = 0; i < count; ++i) {
            std::string name = "t" + std::to_string(i);
            r->w->AddDropped({WriteChart(r->dir / (name + ".bms"), name, measures)});
        }
        return r;
    }

private slots:
    void initTestCase() {
        base_ = fs::temp_directory_path() / "user_choice_test" / std::to_string(::getpid());
        fs::remove_all(base_);
    }
    void cleanupTestCase() { fs::remove_all(base_); }

    void onlyALineTheUserChoseStartsPlayback() {
        auto r = WithCharts(3, 4);
        frmMenu& w = *r->w;
        QListWidget* list = w.lstPlayList;
        auto armed = [&] { return w.NextPlayTimer().isActive(); };

        // Tab into the list with no line current.
        QCOMPARE(list->currentRow(), -1);
        FocusIn(list, Qt::TabFocusReason);
        QVERIFY(!armed());
        // A press below the last line changes nothing; right and middle clicks choose nothing.
        {
            QSignalBlocker b(list);
            list->setCurrentRow(1);
        }
        const QPoint below(20, list->visualItemRect(list->item(2)).bottom() + 12);
        QVERIFY(below.y() < list->viewport()->height());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
        QVERIFY(!armed());
        QCOMPARE(SelectedRows(list), QList<int>{1});
        ClickLine(list, 2, Qt::RightButton);
        ClickLine(list, 2, Qt::MiddleButton);
        QVERIFY(!armed());
        QCOMPARE(w.GetPlayList().PlayOrderIndex, 0);

        // Keyboard moves and left clicks on a line do choose it, the current line too.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Up);
        QVERIFY(armed());
        QCOMPARE(w.GetPlayList().PlayOrderIndex, list->currentRow());
        w.NextPlayTimer().stop();
        for (int again = 0; again < 2; ++again) {
            ClickLine(list, 2);
            QVERIFY(armed());
            QCOMPARE(w.GetPlayList().PlayOrderIndex, 2);
            w.NextPlayTimer().stop();
        }

        // A list dropped while t0 plays replaces only the list; the focus coming back to
        // the list afterwards (a message box closing, a click elsewhere) starts nothing.
        PlayList other(r->shell);
        other.AddPlayListEntry(WriteChart(r->dir / "x.bms", "x", 4));
        const std::string rxl = (r->dir / "other.rxl").string();
        QVERIFY(other.SavePlayList(rxl, true));
        std::vector<std::string> titles;
        int passes = 0;
        w.SetDrawNotes([&] {
            const std::string& t = w.GetPlayer().Model().Chart.Title;
            if (titles.empty() || titles.back() != t) titles.push_back(t), passes = 0;
            ++passes;
            if (passes == 20 && titles.size() == 1) {
                w.AddDropped({rxl});
                FocusIn(list, Qt::ActiveWindowFocusReason);
                FocusIn(list, Qt::TabFocusReason);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
            }
            if (passes == 60) w.cmdStop->click();
        });
        ClickLine(list, 0);
        r->RunUntilIdle();
        QCOMPARE(titles, std::vector<std::string>{"t0"});
        QCOMPARE(Lines(list), QStringList{"tester - x\t0:12"});
    }

    void shiftRangesSurviveTheJukeboxMarkingItsLine() {
        auto r = WithCharts(5, 2);
        frmMenu& w = *r->w;
        QListWidget* list = w.lstPlayList;
        std::vector<std::string> titles;
        QList<QList<int>> seen;  // the selection while each chart played
        QStringList afterDelete;
        int passes = 0;
        w.SetDrawNotes([&] {
            const std::string& t = w.GetPlayer().Model().Chart.Title;
            if (titles.empty() || titles.back() != t) titles.push_back(t), passes = 0;
            if (++passes != 20) return;
            seen << SelectedRows(list);
            switch (titles.size()) {
            case 1:  // t0 plays: Shift-click line 2 jumps to t2 and selects lines 0-2
                ClickLine(list, 2, Qt::LeftButton, Qt::ShiftModifier);
                break;
            case 2:  // Delete removes exactly the range
                QTest::keyClick(list, Qt::Key_Delete);
                afterDelete = Lines(list);
                ClickLine(list, 0);
                break;
            case 3:  // t3 plays: Shift+Down jumps to t4 and selects both lines
                QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
                break;
            case 5:  // t4 ended by itself: t3 is marked, the range stays
                QCOMPARE(list->currentRow(), 0);
                w.cmdStop->click();
                break;
            }
        });
        ClickLine(list, 0);
        r->RunUntilIdle(20000);
        QCOMPARE(titles, (std::vector<std::string>{"t0", "t2", "t3", "t4", "t3"}));
        QCOMPARE(seen, (QList<QList<int>>{{0}, {0, 1, 2}, {0}, {0, 1}, {0, 1}}));
        QCOMPARE(afterDelete, (QStringList{"tester - t3\t0:08", "tester - t4\t0:08"}));
    }

    void aMissingDroppedPathOnlyFailsItsFileCheck() {
        rig::Window r(Fresh());
        r.w->EnsureLoaded();
        QSignalSpy captions(r.w.get(), &QWidget::windowTitleChanged);
        fs::create_symlink(r.dir / "nowhere", r.dir / "dangling");
        r.w->AddDropped({(r.dir / "dangling").string(), (r.dir / "gone").string()});
        for (const QList<QVariant>& c : captions) QVERIFY2(!c[0].toString().startsWith("Seaching"), qPrintable(c[0].toString()));
        QCOMPARE(r.shell.LastStatus(), std::string("Err[not exist] :gone"));
        QCOMPARE(r.w->lstPlayList->count(), 0);
    }

    void switchesNameThemselvesAndShowTheirTick() {
        rig::Window r(Fresh());
        r.w->EnsureLoaded();
        QCOMPARE(r.w->chkShowNotes->toolTip(), QString("NOTES"));
        QCOMPARE(r.w->chkRandom->toolTip(), QString("RANDOM"));
        // Ticked looks pressed in at a glance: the face is clearly darker.
        QToolButton* b = r.w->chkRandom;
        auto meanGrey = [b] {
            QImage img = b->grab().toImage();
            double sum = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) sum += qGray(img.pixel(x, y));
            return sum / (img.width() * img.height());
        };
        const double off = meanGrey();
        b->setChecked(true);
        const double on = meanGrey();
        QVERIFY2(off - on > 30, qPrintable(QString("%1 -> %2").arg(off).arg(on)));
    }
};

QTEST_MAIN(UserChoiceTest)
#include "user_choice_window_test.moc"
