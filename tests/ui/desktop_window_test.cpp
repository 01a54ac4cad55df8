// The window as a desktop application: growing, its place kept, sharp pictures at 2x,
// the list's menu with its file dialogs, and exporting a chart's audio.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>

#include <sndfile.h>
#include <unistd.h>

#include "playlist/playlist.h"
#include "shell/ini_file.h"
#include "ui/export_dialog.h"
#include "ui/list_menu.h"
#include "window_rig.h"

using namespace jov;
using namespace jov::test;

class DesktopWindowTest : public QObject {
    Q_OBJECT
private:
    fs::path base_;
    int n_ = 0;
    fs::path Fresh() { return base_ / std::to_string(++n_); }

private slots:
    void initTestCase() {
        base_ = fs::temp_directory_path() / "desktop_window_test" / std::to_string(::getpid());
        fs::remove_all(base_);
    }
    void cleanupTestCase() { fs::remove_all(base_); }

    void growsFromTheDesignSizeAndKeepsItsSize() {
        fs::path dir = Fresh();
        QRect playAt, statusAt, listAt, clearAt, sleepAt;
        {
            WindowRig r(dir);
            frmMenu& w = *r.w;
            w.EnsureLoaded();
            QCOMPARE(w.size(), frmMenu::kDesignSize);
            QCOMPARE(w.minimumSize(), frmMenu::kDesignSize);
            playAt = w.cmdPlay->geometry(), statusAt = w.picStatus->geometry(), listAt = w.lstPlayList->geometry();
            clearAt = w.cmdClear->geometry(), sleepAt = w.cmbSleep->geometry();
            w.resize(900, 600);
            QTRY_COMPARE(w.size(), QSize(900, 600));
            const int dx = 900 - 399, dy = 600 - 230;
            QCOMPARE(w.cmdPlay->geometry(), playAt);  // the top row stays
            QCOMPARE(w.picStatus->geometry(), statusAt);
            QCOMPARE(w.lstPlayList->geometry(), listAt.adjusted(0, 0, dx, dy));
            QCOMPARE(w.cmbSleep->geometry(), sleepAt.translated(0, dy));
            QCOMPARE(w.cmdClear->geometry(), clearAt.translated(dx, dy));
            w.close();
        }
        QCOMPARE(ReadIni((dir / "jov01.ini").string(), "Window", "Width", ""), std::string("900"));
        QCOMPARE(ReadIni((dir / "jov01.ini").string(), "Setting", "Sleep", ""), std::string("10"));
        {
            WindowRig again(dir);
            again.w->EnsureLoaded();
            QCOMPARE(again.w->size(), QSize(900, 600));
            QCOMPARE(again.w->cmdClear->geometry(), clearAt.translated(501, 370));
        }
        // A saved size below the design size, or not a number, gives the design size.
        WriteIni((dir / "jov01.ini").string(), "Window", "Width", "12");
        WriteIni((dir / "jov01.ini").string(), "Window", "Height", "x");
        WindowRig small(dir);
        small.w->EnsureLoaded();
        QCOMPARE(small.w->size(), frmMenu::kDesignSize);
    }

    void picturesAreDrawnAtTheDevicePixelRatio() {
        WindowRig r(Fresh());
        QCOMPARE(qApp->devicePixelRatio(), 2.0);  // main() sets QT_SCALE_FACTOR=2
        QCOMPARE(r.w->imgRun[1].devicePixelRatio(), 2.0);
        QCOMPARE(r.w->imgRun[1].size(), QSize(32, 32));
        QCOMPARE(r.w->imgRun[1].deviceIndependentSize(), QSizeF(16, 16));
    }

    void listMenuAddsOpensAndSavesAsADropWould() {
        fs::path dir = Fresh();
        WindowRig r(dir);
        frmMenu& w = *r.w;
        w.EnsureLoaded();
        ListMenu& m = w.GetListMenu();
        QStringList items;
        for (QAction* a : m.Prepared()->actions())
            if (!a->isSeparator()) items << a->text() + (a->shortcut().isEmpty() ? "" : " " + a->shortcut().toString());
        QCOMPARE(items, QStringList({"Add files… Ctrl+O", "Add folder… Ctrl+Shift+O", "Open list…",
                                     "Save list as… Ctrl+S", "Export audio…", "Delete Del", "CLEAR"}));
        QVERIFY(!m.actExport->isEnabled() && !m.actClear->isEnabled());
        bool extended = false;
        m.extendedReading = [&] { return extended; };
        m.setExtendedReading = [&](bool on) { extended = on; };
        QVERIFY(m.Prepared()->actions().contains(m.actExtended));
        m.actExtended->trigger();
        QVERIFY(extended);

        fs::create_directories(dir / "charts" / "sub");
        WriteChart(dir / "charts" / "b.bms", "Bee", 1);
        WriteChart(dir / "charts" / "sub" / "c.bme", "Sea", 1);
        QString askedFolder;
        m.chooseFiles = [&](const QString&, const QString& folder, const QString&) {
            askedFolder = folder;
            return QStringList{QString::fromStdString(WriteChart(dir / "a.bms", "Aye", 1))};
        };
        m.chooseFolder = [&](const QString&, const QString&) { return QString::fromStdString((dir / "charts").string()); };
        m.AddFiles();
        m.AddFolder();
        QCOMPARE(w.GetPlayList().PlayListCount(), 3);
        QCOMPARE(w.GetPlayList().PlayListEntries()[3].Title, std::string("Sea"));
        QCOMPARE(w.GetJukebox().PlayTable.size(), size_t{4});  // the play order covers them
        QVERIFY(!w.NextPlayTimer().isActive());                // and nothing started playing

        // Save list as, by its shortcut; the name gets its extension.
        m.chooseSaveFile = [&](const QString&, const QString&, const QString&) {
            return QString::fromStdString((dir / "saved").string());
        };
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        PlayList copy(r.shell);
        QVERIFY(copy.LoadPlayList((dir / "saved.rxl").string(), true));
        QCOMPARE(copy.PlayListEntries(), w.GetPlayList().PlayListEntries());
        QVERIFY(r.messages.empty());

        // Open list replaces the list, as a dropped list file does; the folder is remembered.
        w.cmdClear->click();
        m.chooseFiles = [&](const QString&, const QString& folder, const QString&) {
            askedFolder = folder;
            return QStringList{QString::fromStdString((dir / "saved.rxl").string())};
        };
        m.OpenList();
        QCOMPARE(askedFolder, QString::fromStdString(dir.string()));
        QCOMPARE(w.GetPlayList().PlayListEntries(), copy.PlayListEntries());
        QCOMPARE(ReadIni((dir / "jov01.ini").string(), "Window", "LastFolder", ""), dir.string());
        // Cancelled dialogs change nothing.
        m.chooseFiles = [](const QString&, const QString&, const QString&) { return QStringList(); };
        m.AddFiles();
        QCOMPARE(w.GetPlayList().PlayListCount(), 3);
    }

    void exportWritesTheChartAndCancelLeavesNoFile() {
        fs::path dir = Fresh();
        WindowRig r(dir);
        frmMenu& w = *r.w;
        w.EnsureLoaded();
        w.AddDropped({(kDemo / "demo1.bms").string()});
        {
            QSignalBlocker b(w.lstPlayList);
            w.lstPlayList->setCurrentRow(0);
        }
        ListMenu& m = w.GetListMenu();
        QVERIFY(m.Prepared() && m.actExport->isEnabled());
        QString suggested;
        m.chooseSaveFile = [&](const QString&, const QString& name, const QString&) {
            suggested = name;
            return QString::fromStdString((dir / "export.ogg").string());
        };
        m.ExportAudio();
        QPointer<ExportJob> job = m.lastExport;
        QVERIFY(job);
        QSignalSpy done(job.data(), &ExportJob::finished);
        QVERIFY(job->Dialog()->isVisible());
        QVERIFY(done.wait(30000));
        QCOMPARE(done.front().front().value<RenderFileStatus>(), RenderFileStatus::Done);
        QVERIFY(suggested.endsWith("/demo1.flac"));
        const fs::path out = dir / "export.ogg";
        SF_INFO info{};
        SNDFILE* f = sf_open(out.c_str(), SFM_READ, &info);
        QVERIFY(f);
        sf_close(f);
        QCOMPARE(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_OGG);
        QVERIFY(info.frames > 44100 * 5);
        fs::remove(out);

        // Cancel from the dialog: no file, no temporary left in the folder.
        m.chooseSaveFile = [&](const QString&, const QString&, const QString&) {
            return QString::fromStdString((dir / "cancelled.wav").string());
        };
        m.ExportAudio();
        job = m.lastExport;
        QSignalSpy cancelled(job.data(), &ExportJob::finished);
        QTest::keyClick(job->Dialog(), Qt::Key_Escape);
        QVERIFY(cancelled.wait(30000));
        QCOMPARE(cancelled.front().front().value<RenderFileStatus>(), RenderFileStatus::Cancelled);
        // Closing the window cancels a running export too.
        m.chooseSaveFile = [&](const QString&, const QString&, const QString&) {
            return QString::fromStdString((dir / "closing.flac").string());
        };
        m.ExportAudio();
        QVERIFY(m.lastExport);
        w.close();
        QVERIFY(!m.lastExport);
        for (const auto& e : fs::directory_iterator(dir)) {
            const auto ext = e.path().extension();
            QVERIFY2(ext != ".wav" && ext != ".flac" && ext != ".part", e.path().c_str());
        }
        QVERIFY(r.messages.empty());
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    DesktopWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "desktop_window_test.moc"
