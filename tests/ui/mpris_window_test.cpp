// The MPRIS interface of the real window, driven over a private session bus.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QProcess>
#include <QPushButton>

#include <fstream>

#include "list_rig.h"
#include "ui/mpris.h"

using namespace jov;
namespace fs = std::filesystem;

namespace {
const QString kService = QStringLiteral("org.mpris.MediaPlayer2.jov01");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
}  // namespace

class MprisWindowTest : public QObject {
    Q_OBJECT
private:
    QProcess daemon_;
    QString address_;
    QVariantMap changes_;  // all values signalled since the last clear, the latest value of each

    // Waits for a reply while the window's events (the jukebox, the server side) run.
    QDBusMessage Wait(const QDBusPendingCall& call) {
        QElapsedTimer t;
        t.start();
        while (!call.isFinished() && t.elapsed() < 5000) QTest::qWait(1);
        return call.reply();
    }
    QDBusMessage Call(QDBusConnection& bus, const QString& method, const QVariantList& args = {},
                      const QString& iface = kPlayer) {
        QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, iface, method);
        m.setArguments(args);
        return Wait(bus.asyncCall(m));
    }
    QVariant Get(QDBusConnection& bus, const QString& name) {
        QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, "org.freedesktop.DBus.Properties", "Get");
        m << kPlayer << name;
        QDBusMessage reply = Wait(bus.asyncCall(m));
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().front().value<QDBusVariant>().variant();
    }
    // a{sv} arrives unconverted.
    static QVariantMap Map(const QVariant& v) { return qdbus_cast<QVariantMap>(v.value<QDBusArgument>()); }

private slots:
    void initTestCase() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        QVERIFY2(daemon_.waitForStarted(5000), "dbus-daemon is needed (package dbus-daemon)");
        QTRY_VERIFY(daemon_.canReadLine());
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    void cleanupTestCase() {
        daemon_.terminate();
        daemon_.waitForFinished(3000);
    }
    void onChanged(const QString& iface, const QVariantMap& changed, const QStringList&) {
        if (iface == kPlayer) changes_.insert(changed);
    }

    void playNextSeekStopAndQuitOverTheBus() {
        QDBusConnection server = QDBusConnection::connectToBus(address_, QStringLiteral("server"));
        QDBusConnection client = QDBusConnection::connectToBus(address_, QStringLiteral("client"));
        QVERIFY(server.isConnected() && client.isConnected());
        rig::Window r;
        frmMenu& w = *r.w;
        w.AddDropped({(rig::kDemo / "demo1.bms").string(), (rig::kDemo / "demo2.bms").string(), (rig::kDemo / "demo3.bms").string()});
        w.FinishAdds();
        Mpris mpris(w, server);
        QVERIFY(client.connect(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                               QStringLiteral("PropertiesChanged"), this,
                               SLOT(onChanged(QString, QVariantMap, QStringList))));
        QCOMPARE(Get(client, "PlaybackStatus").toString(), QString("Stopped"));
        QCOMPARE(Map(Get(client, "Metadata")).value("mpris:trackid").value<QDBusObjectPath>().path(),
                 QString("/org/mpris/MediaPlayer2/TrackList/NoTrack"));

        const auto& entries = w.GetPlayList().PlayListEntries();
        std::vector<std::string> titles;
        int passes = 0;
        bool busy = false;
        w.SetDrawNotes([&] {
            // Not the empty chart Play first replays, nor the timer's passes while the test waits.
            if (!w.GetPlayer().State().IsPlaying || w.GetPlayer().Model().Chart.Title.empty() || busy) return;
            const std::string& t = w.GetPlayer().Model().Chart.Title;
            if (titles.empty() || titles.back() != t) titles.push_back(t), passes = 0;
            if (++passes != 20) return;
            busy = true;
            if (titles.size() == 1) {
                // Playing the first chart: status, metadata and their signal.
                QTRY_VERIFY(changes_.contains("Metadata"));
                QCOMPARE(changes_.value("PlaybackStatus").toString(), QString("Playing"));
                QVariantMap meta = Map(Get(client, "Metadata"));
                QCOMPARE(Map(changes_.value("Metadata")), meta);
                QCOMPARE(meta.value("xesam:title").toString().toStdString(), entries[1].Title);
                QCOMPARE(meta.value("xesam:artist").toStringList(), QStringList{QString::fromStdString(entries[1].Artist)});
                QCOMPARE(meta.value("xesam:genre").toStringList(), QStringList{QString::fromStdString(entries[1].Genre)});
                QCOMPARE(meta.value("mpris:length").toLongLong(), qlonglong{entries[1].PlayTime} * 1000);
                QVERIFY(meta.value("xesam:url").toString().endsWith("/demo1.bms"));
                // SetPosition to the middle seeks as the seek bar does.
                const qlonglong half = qlonglong{entries[1].PlayTime} * 500;
                Call(client, "SetPosition", {meta.value("mpris:trackid"), half});
                const double tick = w.GetPlayer().State().CurrentTick;
                QVERIFY2(std::abs(tick - w.GetPlayer().Model().LastTick / 2.0) < 50, std::to_string(tick).c_str());
                QVERIFY(std::abs(Get(client, "Position").toLongLong() - half) < entries[1].PlayTime * 100);
                // A position of another track is ignored.
                Call(client, "SetPosition", {QVariant::fromValue(QDBusObjectPath("/org/jov01/Track/999")), qlonglong{0}});
                QVERIFY(w.GetPlayer().State().CurrentTick > 100);
                changes_.clear();
                Call(client, "Next");
            } else if (titles.size() == 2) {
                // Between two charts the jukebox stays Playing; only the track changes.
                QTRY_VERIFY(changes_.contains("Metadata"));
                QVERIFY(!changes_.contains("PlaybackStatus"));
                QCOMPARE(Map(changes_.value("Metadata")).value("xesam:title").toString().toStdString(),
                         entries[2].Title);
                changes_.clear();
                Call(client, "Stop");
            }
            busy = false;
        });
        QCOMPARE(Call(client, "Play").type(), QDBusMessage::ReplyMessage);
        r.RunUntilIdle();
        QCOMPARE(titles, (std::vector<std::string>{entries[1].Title, entries[2].Title}));
        QTRY_COMPARE(changes_.value("PlaybackStatus").toString(), QString("Stopped"));
        QCOMPARE(Get(client, "PlaybackStatus").toString(), QString("Stopped"));

        // Previous: the line before the chart last started, armed as a click on it.
        Call(client, "Previous");
        QVERIFY(w.NextPlayTimer().isActive());
        QCOMPARE(w.lstPlayList->currentRow(), 0);
        w.NextPlayTimer().stop();

        // Quit is the close box: the list is saved, the program ends.
        Call(client, "Quit", {}, "org.mpris.MediaPlayer2");
        QTRY_VERIFY(r.ended && fs::exists(r.dir / "default.rxl"));
    }

    // A chart in a folder and under a name that are not UTF-8, with a picture, measures of
    // changing length and tempo changes: the URLs name its files, positions land where asked.
    void metadataNamesTheFilesAndPositionsLandWhereAsked() {
        QDBusConnection server = QDBusConnection::connectToBus(address_, QStringLiteral("server2"));
        QVERIFY(server.isConnected());
        rig::Window r;
        frmMenu& w = *r.w;
        const fs::path folder = r.dir / "\x83\x65\x83X\x83g";  // Shift-JIS names, as unpacked archives leave them
        fs::create_directories(folder);
        std::ofstream(folder / "stage.png") << "picture";
        std::ofstream chart(folder / "\x8b\xc8 1.bms", std::ios::binary);
        chart << "#TITLE t\r\n#BPM 120\r\n#STAGEFILE Stage.PNG\r\n#00102:0.5\r\n#00402:1.75\r\n#00603:B4\r\n"
                 "#00902:0.25\r\n#01203:5A\r\n";
        for (int m = 1; m <= 20; ++m) chart << "#0" << (m < 10 ? "0" : "") << m << "01:01\r\n";
        chart.close();
        const std::string path = (folder / "\x8b\xc8 1.bms").string();
        w.AddDropped({path});
        w.FinishAdds();
        Mpris mpris(w, server);
        QVERIFY(w.GetPlayer().LoadChart(path));
        emit w.playbackChanged();
        QTRY_VERIFY(mpris.Metadata().contains("xesam:url"));
        QVariantMap meta = mpris.Metadata();
        const QString base = "file://" + QString::fromStdString(r.dir.string()) + "/%83e%83X%83g/";
        QCOMPARE(meta.value("xesam:url").toString(), base + "%8B%C8%201.bms");
        QCOMPARE(meta.value("mpris:artUrl").toString(), base + "stage.png");
        QCOMPARE(meta.value("xesam:album").toString(), QString::fromUtf8("テスト"));
        // Positions (µs) asked and read back, by SetPosition and by Seek.
        for (const auto& [set, seek] : {std::pair{7'000'000LL, 0LL}, {25'000'000LL, 0LL}, {25'000'000LL, -13'300'000LL}}) {
            mpris.SetPosition(meta.value("mpris:trackid").value<QDBusObjectPath>(), set);
            if (seek) mpris.Seek(seek);
            QVERIFY2(std::abs(mpris.PositionUs() - (set + seek)) < 6000, std::to_string(mpris.PositionUs()).c_str());
        }
        // Without the picture (or with only a sound of its name) there is no art.
        fs::remove(folder / "stage.png");
        fs::copy_file(path, folder / "copy.bms");
        w.AddDropped({(folder / "copy.bms").string()});
        w.FinishAdds();
        QVERIFY(w.GetPlayer().LoadChart((folder / "copy.bms").string()));
        std::ofstream(folder / "stage.wav") << "a sound";
        emit w.playbackChanged();
        QTRY_VERIFY(mpris.Metadata().value("xesam:url").toString().endsWith("/copy.bms"));
        QVERIFY(!mpris.Metadata().contains("mpris:artUrl"));
    }

    void withoutABusNothingHappens() {
        rig::Window r;
        QDBusConnection none = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "none");
        Mpris m(*r.w, none);
        QVERIFY(m.ServiceName().isEmpty());
        r.w->cmdPlay->click();  // the window works as before
        QVERIFY(r.w->NextPlayTimer().isActive());
    }
};

QTEST_MAIN(MprisWindowTest)
#include "mpris_window_test.moc"
