// The window as a desktop application: growing and keeping its size, sharp pictures at 2x,
// the list's menu with its file dialogs, exporting a chart's audio; and the whole program:
// paths on the command line are added, a second start hands its paths to the first and
// ends, SIGHUP saves like the close box, a reaction that lets an exception out is caught
// where events are delivered.
#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QLocalSocket>
#include <QMenu>
#include <QProgressDialog>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <sndfile.h>

#include <stdexcept>

#include "../test_util.h"
#include "list_rig.h"
#include "playlist/playlist.h"
#include "shell/ini_file.h"
#include "ui/export_dialog.h"
#include "ui/guarded_application.h"
#include "ui/list_menu.h"
#include "ui/single_instance.h"

using namespace jov;
namespace fs = std::filesystem;

namespace {

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw std::runtime_error("out of memory");
        return QObject::event(e);
    }
};

}  // namespace

class DesktopWindowTest : public QObject {
    Q_OBJECT
private slots:
    void growsFromTheDesignSizeKeepsItsSizeAndDrawsSharpPictures() {
        const fs::path dir = rig::Fresh();
        const std::string ini = (dir / "jov01.ini").string();
        {
            rig::Window r(dir);
            frmMenu& w = *r.w;
            QCOMPARE(qApp->devicePixelRatio(), 2.0);  // main() sets QT_SCALE_FACTOR=2
            QCOMPARE(w.imgRun[1].size(), QSize(32, 32));
            QCOMPARE(w.imgRun[1].deviceIndependentSize(), QSizeF(16, 16));
            const QRect listAt = w.lstPlayList->geometry();
            const QRect clearAt = w.cmdClear->geometry();
            const QRect sleepAt = w.cmbSleep->geometry();
            const QRect scrollAt = w.picScroll->geometry();
            const QRect lampAt = w.picPlayWav->geometry();
            // The smallest size shows every control whole.
            w.resize(100, 100);
            QCOMPARE(w.size(), frmMenu::kDesignSize);
            for (const QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (c->isVisibleTo(&w)) QVERIFY2(w.rect().contains(c->geometry()), c->metaObject()->className());
            w.resize(900, 600);
            const int dx = 900 - 399, dy = 600 - 230;
            QCOMPARE(w.lstPlayList->geometry(), listAt.adjusted(0, 0, dx, dy));
            QCOMPARE(w.cmbSleep->geometry(), sleepAt.translated(0, dy));
            QCOMPARE(w.cmdClear->geometry(), clearAt.translated(dx, dy));
            // The progress strip grows, the lamps keep to the right edge; the middle of the
            // wider strip is still the middle of the chart.
            QCOMPARE(w.picScroll->geometry(), scrollAt.adjusted(0, 0, dx, 0));
            QCOMPARE(w.picPlayWav->geometry(), lampAt.translated(dx, 0));
            const std::string demo = (rig::kDemo / "demo1.bms").string();
            QVERIFY(w.GetPlayer().LoadChart(demo));
            QTest::mouseClick(w.picScroll, Qt::LeftButton, {}, w.picScroll->InnerRect().center());
            const double lastTick = w.GetPlayer().Model().LastTick;
            QVERIFY(std::abs(w.GetPlayer().State().CurrentTick - lastTick / 2) < lastTick / 100);
            w.close();
        }
        // That size saved at scale 2 on a screen of less room: restored within its free area.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(area.width() < 900 && area.height() < 600, "a screen smaller than the saved size");
        for (const char* place : {"0", "250"}) {
            WriteIni(ini, "Window", "Left", place);
            WriteIni(ini, "Window", "Top", place);
            rig::Window again(dir);
            // This screen is 400x400 at scale 2: the whole height, and the least width (frame too).
            const QRect f = again.w->frameGeometry();
            const int frameWidth = f.width() - again.w->width();
            QCOMPARE(f, QRect(area.topLeft(), QSize(std::max(area.width(), 399 + frameWidth), area.height())));
        }
        // A saved size below the design size, or not a number, gives the design size.
        WriteIni(ini, "Window", "Width", "12");
        WriteIni(ini, "Window", "Height", "x");
        QCOMPARE(rig::Window(dir).w->size(), frmMenu::kDesignSize);
    }

    void listMenuAddsOpensSavesAsADropWouldAndSwitchesTheReading() {
        rig::Window r;
        const fs::path& dir = r.dir;
        frmMenu& w = *r.w;
        ListMenu& m = w.GetListMenu();
        QVERIFY(m.Prepared() && !m.actExport->isEnabled() && !m.actClear->isEnabled());
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
        m.chooseSaveFile = [&](const QString&, const QString&, const QString&, QString*) { return Q(dir / "saved"); };
        m.AddFiles();
        m.AddFolder();
        w.FinishAdds();
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
        // Saving over it by the name without extension asks first; "no" keeps the file.
        const std::string savedBytes = jovtest::Slurp(dir / "saved.rxl");
        QStringList asked;
        m.confirmReplace = [&](const QString& path) { return asked << path, false; };
        w.AddDropped({(dir / "a.bms").string()});
        m.SaveListAs();
        QCOMPARE(asked, QStringList{Q(dir / "saved.rxl")});
        QCOMPARE(jovtest::Slurp(dir / "saved.rxl"), savedBytes);

        // Open list replaces the list, as a dropped list file does; the folder is remembered.
        w.cmdClear->click();
        answer = {Q(dir / "saved.rxl")};
        m.OpenList();
        w.FinishAdds();
        QCOMPARE(askedFolder, Q(dir));
        QCOMPARE(w.GetPlayList().PlayListEntries(), copy.PlayListEntries());
        QCOMPARE(ReadIni((dir / "jov01.ini").string(), "Window", "LastFolder", ""), dir.string());
        answer.clear();  // a cancelled dialog changes nothing
        m.AddFiles();
        w.FinishAdds();
        QCOMPARE(w.GetPlayList().PlayListCount(), 3);

        // The Reading submenu is the window's switch: Auto reads a chart with a stop the
        // Extended way (the stop holds its measure); a switch reads the list's entries again.
        const std::string stop = (dir / "stop.bms").string();
        std::ofstream(stop, std::ios::binary) << "#TITLE Stop\r\n#ARTIST tester\r\n#BPM 120\r\n#STOP01 192\r\n"
                                                 "#00101:01\r\n#00109:01\r\n";
        QVERIFY(m.Prepared()->actions().contains(m.readingMenu->menuAction()) && m.actReading[0]->isChecked());
        w.AddDropped({stop});
        w.FinishAdds();
        QCOMPARE(rig::Lines(w.lstPlayList).mid(3), QStringList({"tester - Stop\t0:08"}));
        QCOMPARE(w.lstPlayList->toolTipFor(3), QStringLiteral("Extended reading: stops"));
        m.actReading[1]->trigger();  // read again in the background
        w.FinishAdds();
        QCOMPARE(rig::Lines(w.lstPlayList).mid(3), QStringList({"tester - Stop\t0:06"}));
        QCOMPARE(w.lstPlayList->toolTipFor(3), QStringLiteral("Classic reading"));
        fs::remove(stop);  // a chart gone keeps its line
        m.actReading[2]->trigger();
        w.FinishAdds();
        QCOMPARE(rig::Lines(w.lstPlayList).mid(3), QStringList({"tester - Stop\t0:06"}));
        QCOMPARE(w.Reading(), std::string("extended"));
        QVERIFY(w.lstPlayList->toolTipFor(3).isEmpty());
        QCOMPARE(w.lstPlayList->toolTipFor(0), QStringLiteral("Extended reading"));
        w.SetReading("auto");
        m.Prepared();
        QVERIFY(m.actReading[0]->isChecked() && !m.actReading[2]->isChecked());
        QVERIFY(r.messages.empty());
    }

    void exportWritesTheChartAndCancelOrCloseLeaveNoFile() {
        rig::Window r;
        const fs::path& dir = r.dir;
        frmMenu& w = *r.w;
        w.AddDropped({(rig::kDemo / "demo1.bms").string()});
        w.FinishAdds();
        w.lstPlayList->item(0)->setSelected(true);
        ListMenu& m = w.GetListMenu();
        QVERIFY(m.Prepared() && m.actExport->isEnabled());
        QString suggested, name, filter;
        m.chooseSaveFile = [&](const QString&, const QString& s, const QString& filters, QString* chosen) {
            if (chosen) *chosen = filters.split(";;").filter(filter).value(0);
            return suggested = s, name;
        };
        auto exportAs = [&](const char* file, const char* chosenFilter = "FLAC") {
            name = Q(dir / file);
            filter = chosenFilter;
            m.lastExport = nullptr;
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

        // A name without an extension gets the chosen filter's; where that names a file
        // already there, the user is asked (the dialog was asked about "song" only).
        QStringList asked;
        m.confirmReplace = [&](const QString& path) { return asked << path, false; };
        QVERIFY(!exportAs("export", "Ogg"));
        QCOMPARE(asked, QStringList{Q(dir / "export.ogg")});
        // An extension we do not write is refused before anything is written.
        QVERIFY(!exportAs("song.mp3", "WAV"));
        QCOMPARE(r.messages, std::vector<std::string>{"jov:01: Export: cannot write song.mp3: not an audio format this "
                                                      "writes (use .flac, .ogg or .wav)"});
        QVERIFY(!fs::exists(dir / "song.mp3"));
        r.messages.clear();
        // Key sounds that could not be loaded are told at the end (the dialog stays with it).
        std::ofstream(dir / "mute.bms", std::ios::binary) << "#TITLE mute\r\n#BPM 120\r\n#WAV01 gone.wav\r\n"
                                                             "#WAV02 lost.ogg\r\n#00111:0102\r\n";
        w.AddDropped({(dir / "mute.bms").string()});
        w.FinishAdds();
        w.lstPlayList->clearSelection();
        w.lstPlayList->item(1)->setSelected(true);
        QSignalSpy muted(exportAs("mute", "WAV").data(), &ExportJob::finished);
        QVERIFY(muted.wait(30000));
        QVERIFY(fs::remove(dir / "mute.wav"));  // the chosen filter's extension
        QStringList ends;
        for (QProgressDialog* d : w.findChildren<QProgressDialog*>())
            if (d->isVisible()) ends << d->labelText(), QTest::keyClick(d, Qt::Key_Escape);
        QCOMPARE(ends, QStringList{"Exported mute.wav, but 2 of 2 key sounds could not be loaded."});
        QTRY_VERIFY(w.findChildren<QProgressDialog*>().isEmpty());  // its Close closes it for good
        w.lstPlayList->clearSelection();
        w.lstPlayList->item(0)->setSelected(true);
        // A FIFO named as the target is refused at once, never waited on.
        QVERIFY(::mkfifo((dir / "pipe.wav").c_str(), 0600) == 0);
        QSignalSpy refused(exportAs("pipe.wav").data(), &ExportJob::finished);
        QVERIFY(refused.wait(10000));
        QCOMPARE(refused.front().front().value<RenderFileStatus>(), RenderFileStatus::CannotWrite);
        QCOMPARE(r.messages.size(), size_t{1});
        r.messages.clear();
        fs::remove(dir / "pipe.wav");

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

    void escapedExceptionsAreCaughtAndReported() {
        auto* app = static_cast<GuardedApplication*>(QCoreApplication::instance());
        const int before = app->Failures();
        std::string told;
        app->onFailure = [&](const std::string& what) { told = what; };
        Thrower t;
        QEvent e(QEvent::User);
        QCoreApplication::sendEvent(&t, &e);
        QCOMPARE(told, std::string("out of memory"));
        // A queued reaction and a timer still run afterwards.
        bool ran = false;
        QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
        QTimer::singleShot(0, [&] { ran = true; });
        QTRY_VERIFY(ran);
        QCOMPARE(app->Failures(), before + 2);
        app->onFailure = nullptr;
    }

    void handOverIgnoresWhatIsNotAWholeMessage() {
        const fs::path dir = rig::Fresh();
        fs::create_directories(dir);
        const QString name = QString::fromStdString((dir / "sock").string());
        QCOMPARE(SingleInstance::HandOver(name, {"/a.bms"}), HandOverResult::NoJukebox);
        SingleInstance server(name);
        QVERIFY(server.Listen(true));
        int calls = 0;
        server.onPaths = [&](const std::vector<std::string>&) { ++calls; };
        for (QByteArray bad : {QByteArray("hello\n"), SingleInstance::Encode({"/x.bms"}).chopped(1),
                               QByteArray("jov01-open\n99999999999\n"), SingleInstance::Encode({"/x"}) + "!",
                               SingleInstance::Encode({"/a.bms", std::string("/x.bms\0/y", 10)})}) {
            QLocalSocket s;
            s.connectToServer(name);
            QVERIFY(s.waitForConnected(1000));
            s.write(bad);
            QVERIFY(s.waitForBytesWritten(1000));
            QTest::qWait(50);
        }
        QCOMPARE(calls, 0);
    }

    void commandLineSecondStartAndHangUp() {
        const fs::path root = rig::Fresh();
        for (const char* d : {"prog/demo", "run", "cfg"}) fs::create_directories(root / d);
        fs::permissions(root / "run", fs::perms::owner_all);
        fs::copy_file(JOV01_PROGRAM, root / "prog" / "jov01");  // a program folder of its own
        for (const char* demo : {"demo1.bms", "demo2.bms", "demo3.bms"})
            fs::copy_file(rig::kDemo / demo, root / "prog" / "demo" / demo);
        rig::WriteChart(root / "chart.bms", "chart", 1);
        rig::WriteChart(root / "other.bms", "other", 1);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString((root / "run").string()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((root / "cfg").string()));
        QProcess first, second;
        for (auto [p, arg] : {std::pair{&first, "chart.bms"}, std::pair{&second, "other.bms"}}) {
            p->setProcessEnvironment(env);
            p->setWorkingDirectory(QString::fromStdString(root.string()));
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->setProgram(QString::fromStdString((root / "prog" / "jov01").string()));
            p->setArguments({QString::fromLatin1(arg)});
        }
        first.start();
        QTRY_VERIFY_WITH_TIMEOUT(!fs::is_empty(root / "run"), 30000);  // its socket is there
        second.start();
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(first.processId()), SIGHUP);  // its terminal closed
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        for (const auto& e : fs::directory_iterator(root / "run")) QVERIFY(!fs::is_socket(e.status()));

        Shell shell;
        PlayList saved(shell);
        QVERIFY(saved.LoadPlayList((root / "prog" / "default.rxl").string(), true));
        std::vector<std::string> names;
        for (size_t i = 1; i < saved.PlayListEntries().size(); ++i)
            names.push_back(fs::path(saved.PlayListEntries()[i].FilePath).filename().string());
        QCOMPARE(names, (std::vector<std::string>{"demo1.bms", "demo2.bms", "demo3.bms", "chart.bms", "other.bms"}));
        QVERIFY(fs::exists(root / "prog" / "jov01.ini"));
    }

    // Two starts at the same moment, a socket left behind and a runtime folder that cannot
    // hold the socket: every time exactly one window, the other start hands over and ends.
    void simultaneousStartsOpenOneWindow() {
        const fs::path root = rig::Fresh();
        for (const char* d : {"prog", "run", "cfg", "tmp"}) fs::create_directories(root / d);
        fs::permissions(root / "run", fs::perms::owner_all);
        fs::copy_file(JOV01_PROGRAM, root / "prog" / "jov01");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString((root / "run").string()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((root / "cfg").string()));
        env.insert("TMPDIR", QString::fromStdString((root / "tmp").string()));
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(QString::fromStdString((root / "run").string())));
        const std::string socket = SingleInstance::ServerName((root / "prog").string()).toStdString();
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
        QVERIFY(socket.rfind((root / "run").string(), 0) == 0);

        enum Round { Together, Stale, Blocked };
        for (Round round : {Together, Together, Together, Stale, Together, Blocked, Together}) {
            if (round == Stale) {  // a socket file nobody listens on
                const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                sockaddr_un addr{};
                addr.sun_family = AF_UNIX;
                std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket.c_str());
                QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
                ::close(fd);
            }
            if (round == Blocked) fs::create_directories(socket);
            QProcess a, b;
            for (QProcess* p : {&a, &b}) {
                p->setProcessEnvironment(env);
                p->setWorkingDirectory(QString::fromStdString(root.string()));
                p->setProgram(QString::fromStdString((root / "prog" / "jov01").string()));
            }
            a.start();
            b.start();
            QVERIFY(a.waitForStarted() && b.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning, 30000);
            QProcess& ended = a.state() == QProcess::NotRunning ? a : b;
            QProcess& window = &ended == &a ? b : a;
            QCOMPARE(ended.exitCode(), 0);
            QTest::qWait(300);
            QCOMPARE(window.state(), QProcess::Running);
            ::kill(static_cast<pid_t>(window.processId()), SIGTERM);
            QVERIFY(window.waitForFinished(30000));
            if (round == Blocked) {
                QVERIFY(QString::fromLocal8Bit(a.readAllStandardError() + b.readAllStandardError()).contains("instead"));
                fs::remove(socket);
            }
        }
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    GuardedApplication app(argc, argv);
    DesktopWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "desktop_window_test.moc"
