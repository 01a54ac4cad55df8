#include "ui/notes_window.h"

#include <QCloseEvent>
#include <QtTest/QtTest>

namespace jov {

class NotesWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        ddraw_.InitDirectDraw(nullptr, true, UiLanguage::English, nullptr, nullptr);
        skin_ = SkinTables{};
        screen_ = NotesScreen{};
    }

    void resizeRebuildsTheGeometry() {
        skin_.JudgeLinePos = -40;
        frmNotes window(ddraw_, skin_, screen_);
        QCOMPARE(window.windowTitle(), QString("Notes"));
        window.resize(300, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.Form_Resize();
        QCOMPARE(screen_.BackRect, (RECT{0, 0, 300, 500}));
        QCOMPARE(screen_.BackSurface.Width(), 300);
        QCOMPARE(screen_.BackSurface.Height(), 500);
        QCOMPARE(screen_.JudgeLineY, int16_t{460});
        QCOMPARE(window.picobjs()->geometry(), QRect(0, 0, 300, 500));
        const QPoint origin = window.picobjs()->mapToGlobal(QPoint(0, 0));
        QCOMPARE(screen_.ScreenRect, (RECT{origin.x(), origin.y(), origin.x() + 300, origin.y() + 500}));

        skin_.JudgeLinePos = 400;
        window.resize(320, 700);
        QTRY_COMPARE(screen_.BackRect, (RECT{0, 0, 320, 700}));
        QCOMPARE(screen_.JudgeLineY, int16_t{400});

        // A move alone is picked up by the move timer within half a second.
        window.move(window.x() + 37, window.y() + 11);
        QTRY_COMPARE_WITH_TIMEOUT(screen_.ScreenRect.Left, window.picobjs()->mapToGlobal(QPoint(0, 0)).x(), 1000);
        QCOMPARE(window.LastLeft(), window.x());
    }

    void userCloseOnlyHides() {
        frmNotes window(ddraw_, skin_, screen_);
        int unticked = 0;
        window.SetUserCloseHandler([&] { ++unticked; });
        window.resize(200, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // The window system's close request arrives at the native window.
        QCloseEvent fromTitleBar;
        QApplication::sendEvent(window.windowHandle(), &fromTitleBar);
        QVERIFY(!fromTitleBar.isAccepted());
        QVERIFY(!window.isVisible());
        QCOMPARE(unticked, 1);

        window.show();  // shown again with the same size
        QCOMPARE(window.size(), QSize(200, 200));
        QVERIFY(window.close());  // a close from the program itself goes through
        QCOMPARE(unticked, 1);
    }

private:
    DirectDraw ddraw_;
    SkinTables skin_;
    NotesScreen screen_;
};

}  // namespace jov

namespace QTest {
template <>
inline char* toString(const jov::RECT& r) {
    return qstrdup(QString("(%1, %2, %3, %4)").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom).toUtf8().constData());
}
}  // namespace QTest

QTEST_MAIN(jov::NotesWindowTest)
#include "notes_window_test.moc"
