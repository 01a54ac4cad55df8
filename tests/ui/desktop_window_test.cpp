// The window as a desktop application: growing and keeping its size, sharp pictures at 2x,
// the list's menu with its file dialogs, and exporting a chart's audio.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <sndfile.h>
#include <unistd.h>

#include "list_rig.h"
#include "playlist/playlist.h"
#include "shell/ini_file.h"
#include "ui/export_dialog.h"
#include "ui/list_menu.h"

using namespace jov;
namespace fs = std::filesystem;

class DesktopWindowTest : public QObject {
    Q_OBJECT
private:
    fs::path base_ = fs::temp_directory_path() / "desktop_window_test" / std::to_string(::getpid());
    int n_ = 0;
    fs::path Fresh() { return base_ / std::to_string(++n_); }
    static QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

private slots:
    void cleanupTestCase() { fs::remove_all(base_); }

    void growsFromTheDesignSizeAndKeepsItsSize() {
        const fs::path dir = Fresh();
        const std::string ini = (dir / "jov01.ini").string();
        QRect playAt, listAt, clearAt, sleepAt;
        {
            rig::Window r(dir);
            frmMenu& w = *r.w;
            QCOMPARE(w.size(), frmMenu::kDesignSize);
            QCOMPARE(w.minimumSize(), frmMenu::kDesignSize);
            playAt = w.cmdPlay->geometry(), listAt = w.lstPlayList->geometry();
            clearAt = w.cmdClear->geometry(), sleepAt = w.cmbSleep->geometry();
            w.resize(900, 600);
            const int dx = 900 - 399, dy = 600 - 230;
            QCOMPARE(w.cmdPlay->geometry(), playAt);  // the top row stays
            QCOMPARE(w.lstPlayList->geometry(), listAt.adjusted(0, 0, dx, dy));
            QCOMPARE(w.cmbSleep->geometry(), sleepAt.translated(0, dy));
            QCOMPARE(w.cmdClear->geometry(), clearAt.translated(dx, dy));
            w.close();
        }
        QCOMPARE(ReadIni(ini, "Window", "Width", "") + ReadIni(ini, "Setting", "Sleep", ""), std::string("90010"));
        {
            rig::Window again(dir);
            QCOMPARE(again.w->size(), QSize(900, 600));
            QCOMPARE(again.w->cmdClear->geometry(), clearAt.translated(501, 370));
        }
        // A saved size below the design size, or not a number, gives the design size.
        WriteIni(ini, "Window", "Width", "12");
        WriteIni(ini, "Window", "Height", "x");
        QCOMPARE(rig::Window(dir).w->size(), frmMenu::kDesignSize);
    }

    void picturesAreDrawnAtTheDevicePixelRatio() {
        rig::Window r(Fresh());
        QCOMPARE(qApp->devicePixelRatio(), 2.0);  // main() sets QT_SCALE_FACTOR=2
        QCOMPARE(r.w->imgRun[1].size(), QSize(32, 32));
        QCOMPARE(r.w->imgRun[1].deviceIndependentSize(), QSizeF(16, 16));
    }

    void listMenuAddsOpensAndSavesAsADropWould() {
        const fs::path dir = Fresh();
        rig::Window r(dir);
        frmMenu& w = *r.w;
        ListMenu& m = w.GetListMenu();
        QStringList items;
        for (QAction* a : m.Prepared()->actions())
            if (!a->isSeparator()) items << a->text() + (a->shortcut().isEmpty() ? "" : " " + a->shortcut().toString());
        QCOMPARE(items, QStringList({"Add files… Ctrl+O", "Add folder… Ctrl+Shift+O", "Open list…",
                                     "Save list as… Ctrl+S", "Export audio…", "Delete Del", "CLEAR",
                                     "Extended reading"}));
        QVERIFY(!m.actExport->isEnabled() && !m.actClear->isEnabled());
        // The reading item is the window's switch.
        m.actExtended->trigger();
        QVERIFY(w.ExtendedReading());
        w.SetExtendedReading(false);
        m.Prepared();
        QVERIFY(!m.actExtended->isChecked());

        fs::create_directories(dir / "charts" / "sub");
        rig::WriteChart(dir / "charts" / "b.bms", "Bee", 1);
        rig::WriteChart(dir / "charts" / "sub" / "c.bme", "Sea", 1);
        QString askedFolder;
        QStringList answer{Q(rig::WriteChart(dir / "a.bms", "Aye", 1))};
        m.chooseFiles = [&](const QString&, const QString& folder, const QString&) {
            askedFolder = folder;
            return answer;
        };
        m.chooseFolder = [&](const QString&, const QString&) { return Q(dir / "charts"); };
        m.chooseSaveFile = [&](const QString&, const QString&, const QString&) { return Q(dir / "saved"); };
        m.AddFiles();
        m.AddFolder();
        QCOMPARE(w.GetPlayList().PlayListEntries()[3].Title, std::string("Sea"));
        QCOMPARE(w.GetJukebox().PlayTable.size(), size_t{4});  // the play order covers them
        QVERIFY(!w.NextPlayTimer().isActive());                // and nothing started playing

        // Save list as, by its shortcut; the name gets its extension.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
        PlayList copy(r.shell);
        QVERIFY(copy.LoadPlayList((dir / "saved.rxl").string(), true));
        QCOMPARE(copy.PlayListEntries(), w.GetPlayList().PlayListEntries());

        // Open list replaces the list, as a dropped list file does; the folder is remembered.
        w.cmdClear->click();
        answer = {Q(dir / "saved.rxl")};
        m.OpenList();
        QCOMPARE(askedFolder, Q(dir));
        QCOMPARE(w.GetPlayList().PlayListEntries(), copy.PlayListEntries());
        QCOMPARE(ReadIni((dir / "jov01.ini").string(), "Window", "LastFolder", ""), dir.string());
        answer.clear();  // a cancelled dialog changes nothing
        m.AddFiles();
        QCOMPARE(w.GetPlayList().PlayListCount(), 3);
        QVERIFY(r.messages.empty());
    }

    void exportWritesTheChartAndCancelOrCloseLeaveNoFile() {
        const fs::path dir = Fresh();
        rig::Window r(dir);
        frmMenu& w = *r.w;
        w.AddDropped({(rig::kDemo / "demo1.bms").string()});
        w.lstPlayList->item(0)->setSelected(true);
        ListMenu& m = w.GetListMenu();
        QVERIFY(m.Prepared() && m.actExport->isEnabled());
        QString suggested, name = Q(dir / "export.ogg");
        m.chooseSaveFile = [&](const QString&, const QString& s, const QString&) { return suggested = s, name; };
        auto exportAs = [&](const char* file) {
            name = Q(dir / file);
            m.ExportAudio();
            return m.lastExport;
        };
        QSignalSpy done(exportAs("export.ogg").data(), &ExportJob::finished);
        QVERIFY(done.wait(30000));
        QCOMPARE(done.front().front().value<RenderFileStatus>(), RenderFileStatus::Done);
        QVERIFY(suggested.endsWith("/demo1.flac"));
        SF_INFO info{};
        SNDFILE* f = sf_open((dir / "export.ogg").c_str(), SFM_READ, &info);
        QVERIFY(f && info.frames > 44100 * 5 && (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG);
        sf_close(f);

        // Cancel in the dialog, or closing the window: no file, no temporary one.
        QPointer<ExportJob> job = exportAs("cancelled.wav");
        QSignalSpy cancelled(job.data(), &ExportJob::finished);
        QTest::keyClick(job->Dialog(), Qt::Key_Escape);
        QVERIFY(cancelled.wait(30000));
        QCOMPARE(cancelled.front().front().value<RenderFileStatus>(), RenderFileStatus::Cancelled);
        job = exportAs("closing.flac");
        w.close();
        QVERIFY(!job && r.ended);
        for (const auto& e : fs::directory_iterator(dir))
            QVERIFY2(e.path().extension() != ".wav" && e.path().extension() != ".flac" && e.path().extension() != ".part",
                     e.path().c_str());
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
