// The whole program: a first start lists the demo charts, paths on the command line are
// added, a second start hands its paths to the first and ends, SIGHUP saves like the close box.
#include <QLocalSocket>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>

#include <signal.h>
#include <unistd.h>

#include "list_rig.h"
#include "playlist/playlist.h"
#include "ui/single_instance.h"

using namespace jov;
namespace fs = std::filesystem;

class ProgramTest : public QObject {
    Q_OBJECT
    fs::path base_ = fs::temp_directory_path() / "program_test" / std::to_string(::getpid());

private slots:
    void cleanupTestCase() { fs::remove_all(base_); }

    void firstStartListsTheDemoChartsAndPlays() {
        {
            rig::Window r(base_ / "first", rig::kDemo.string());
            QCOMPARE(r.w->lstPlayList->count(), 3);
            bool heard = false;
            int passes = 0;
            r.w->SetDrawNotes([&] {
                if (++passes != 200) return;
                heard = r.Heard();
                r.w->cmdStop->click();
            });
            r.w->cmdPlay->click();
            r.RunUntilIdle();
            QVERIFY(heard);
            r.w->cmdClear->click();
            r.w->close();
        }
        // The emptied list is there: the next start lists nothing.
        rig::Window again(base_ / "first", rig::kDemo.string());
        QCOMPARE(again.w->lstPlayList->count(), 0);
    }

    void handOverIgnoresWhatIsNotAWholeMessage() {
        fs::create_directories(base_);
        const QString name = QString::fromStdString((base_ / "sock").string());
        QCOMPARE(SingleInstance::HandOver(name, {"/a.bms"}), HandOverResult::NoJukebox);
        SingleInstance server(name);
        QVERIFY(server.Listen(true));
        int calls = 0;
        server.onPaths = [&](const std::vector<std::string>&) { ++calls; };
        for (QByteArray bad : {QByteArray("hello\n"), SingleInstance::Encode({"/x.bms"}).chopped(1),
                               QByteArray("jov01-open\n99999999999\n"), SingleInstance::Encode({"/x"}) + "!"}) {
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
        const fs::path root = base_ / "program";
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
        QVERIFY(fs::is_empty(root / "run"));

        Shell shell;
        PlayList saved(shell);
        QVERIFY(saved.LoadPlayList((root / "prog" / "default.rxl").string(), true));
        std::vector<std::string> names;
        for (size_t i = 1; i < saved.PlayListEntries().size(); ++i)
            names.push_back(fs::path(saved.PlayListEntries()[i].FilePath).filename().string());
        QCOMPARE(names, (std::vector<std::string>{"demo1.bms", "demo2.bms", "demo3.bms", "chart.bms", "other.bms"}));
        QVERIFY(fs::exists(root / "prog" / "jov01.ini"));
    }
};

QTEST_MAIN(ProgramTest)
#include "program_window_test.moc"
