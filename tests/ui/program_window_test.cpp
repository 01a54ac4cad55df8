// The whole program: a first start lists the demo charts, paths on the command line are
// added, a second start hands its paths to the first, SIGHUP saves like the close box.
#include <QLocalSocket>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>

#include <signal.h>
#include <unistd.h>

#include "playlist/playlist.h"
#include "shell/status.h"
#include "list_rig.h"
#include "ui/single_instance.h"

using namespace jov;
namespace fs = std::filesystem;

class ProgramTest : public QObject {
    Q_OBJECT
private:
    fs::path base_;

    static std::vector<std::string> ListedFiles(const fs::path& list) {
        Shell shell;
        PlayList l(shell);
        l.LoadPlayList(list.string(), true);
        std::vector<std::string> names;
        for (int32_t i = 1; i <= l.PlayListCount(); ++i)
            names.push_back(fs::path(l.PlayListEntries()[static_cast<size_t>(i)].FilePath).filename().string());
        return names;
    }

private slots:
    void initTestCase() {
        base_ = fs::temp_directory_path() / "program_test" / std::to_string(::getpid());
        fs::remove_all(base_);
    }
    void cleanupTestCase() { fs::remove_all(base_); }

    void firstStartListsTheDemoChartsAndPlays() {
        const fs::path dir = base_ / "first";
        {
            rig::Window r(dir, rig::kDemo.string());
            r.w->EnsureLoaded();
            QCOMPARE(r.w->lstPlayList->count(), 3);
            QCOMPARE(r.w->GetPlayList().PlayListEntries()[1].Title, std::string("Neon Grid"));
            int passes = 0;
            r.w->SetDrawNotes([&] {
                r.PullAudio();
                if (++passes == 200) r.w->cmdStop->click();
            });
            r.w->cmdPlay->click();
            r.RunUntilIdle();
            QVERIFY(r.HeardSomething());
            // Emptied and closed: the next start finds an empty list, not the demo again.
            r.w->cmdClear->click();
            r.w->close();
        }
        rig::Window again(dir, rig::kDemo.string());
        again.w->EnsureLoaded();
        QCOMPARE(again.w->lstPlayList->count(), 0);
    }

    void handOverTakesWholeMessagesOnly() {
        const QString name = QString::fromStdString((base_ / "sock").string());
        fs::create_directories(base_);
        QCOMPARE(SingleInstance::HandOver(name, {"/a.bms"}), HandOverResult::NoJukebox);
        SingleInstance server(name);
        QVERIFY(server.Listen(true));
        std::vector<std::vector<std::string>> got;
        server.onPaths = [&](const std::vector<std::string>& p) { got.push_back(p); };

        // Garbage, a message cut short, a count beyond reason: dropped without a word.
        for (QByteArray bad : {QByteArray("hello\n"), SingleInstance::Encode({"/x.bms"}).chopped(1),
                               QByteArray("jov01-open\n99999999999\n")}) {
            QLocalSocket s;
            s.connectToServer(name);
            QVERIFY(s.waitForConnected(1000));
            s.write(bad);
            s.flush();
            QTest::qWait(50);
        }
        QVERIFY(got.empty());
        // Paths are bytes: a name that is not UTF-8 arrives unchanged. Runs its own event loop
        // on this thread, so the answer comes from a second thread.
        const std::vector<std::string> paths{"/music/\x82\xa0.bms", "", "/list.rxl"};
        HandOverResult result = HandOverResult::NoJukebox;
        std::unique_ptr<QThread> client(QThread::create([&] { result = SingleInstance::HandOver(name, paths); }));
        client->start();
        QTRY_VERIFY(client->isFinished());
        QCOMPARE(result, HandOverResult::Taken);
        QTRY_COMPARE(got.size(), size_t{1});
        QCOMPARE(got[0], paths);
    }

    void commandLineAndSecondStartAndHangUp() {
        const fs::path root = base_ / "program";
        fs::create_directories(root / "prog" / "demo");
        fs::create_directories(root / "run");
        fs::permissions(root / "run", fs::perms::owner_all);
        fs::create_directories(root / "cfg");
        // A copy of the program in a folder of its own, with the demo charts beside it.
        fs::copy_file(JOV01_PROGRAM, root / "prog" / "jov01");
        for (const char* demo : {"demo1.bms", "demo2.bms", "demo3.bms"})
            fs::copy_file(rig::kDemo / demo, root / "prog" / "demo" / demo);
        rig::WriteChart(root / "chart.bms", "chart", 1);
        rig::WriteChart(root / "other.bms", "other", 1);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString((root / "run").string()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((root / "cfg").string()));
        auto start = [&](QProcess& p, const QString& arg) {
            p.setProcessEnvironment(env);
            p.setWorkingDirectory(QString::fromStdString(root.string()));
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.start(QString::fromStdString((root / "prog" / "jov01").string()), {arg});
            QVERIFY(p.waitForStarted());
        };
        auto listening = [&] {
            for (const auto& e : fs::directory_iterator(root / "run"))
                if (e.is_socket()) return true;
            return false;
        };

        QProcess first, second;
        start(first, "chart.bms");
        QTRY_VERIFY_WITH_TIMEOUT(listening(), 30000);
        start(second, "other.bms");
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        // The terminal that started it closes: the list and the settings are saved.
        ::kill(static_cast<pid_t>(first.processId()), SIGHUP);
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(ListedFiles(root / "prog" / "default.rxl"),
                 (std::vector<std::string>{"demo1.bms", "demo2.bms", "demo3.bms", "chart.bms", "other.bms"}));
        QVERIFY(fs::exists(root / "prog" / "jov01.ini"));
    }
};

QTEST_MAIN(ProgramTest)
#include "program_window_test.moc"
