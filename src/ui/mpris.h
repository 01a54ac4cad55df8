#pragma once
// The jukebox on the session bus as an MPRIS 2 player (org.mpris.MediaPlayer2.jov01):
// media keys and the desktop's sound widgets show the loaded chart and steer it through
// the window's own reactions (Play, Stop, a click on a line, the seek bar, the close box).
// Without a session bus nothing happens and nothing is reported.
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace jov {

class frmMenu;

class Mpris : public QObject {
    Q_OBJECT
public:
    explicit Mpris(frmMenu& window, const QDBusConnection& bus = QDBusConnection::sessionBus());
    ~Mpris() override;

    // False when no session bus can be there (neither its address nor a runtime folder
    // is set): then not even looking for one, which would only print warnings.
    static bool SessionBusPossible();

    // The bus name taken, empty when none could be.
    const QString& ServiceName() const { return service_; }

    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    qlonglong PositionUs() const;
    bool Shuffle() const;
    void SetShuffle(bool on);

    void Play();
    void Stop();
    void PlayPause();
    void Next();
    void Previous();
    void Seek(qlonglong offsetUs);
    void SetPosition(const QDBusObjectPath& track, qlonglong positionUs);
    void OpenUri(const QString& uri);
    void Raise();
    void Quit();

signals:
    void Seeked(qlonglong positionUs);

private:
    // Sends PropertiesChanged for what differs from the last values sent.
    void Refresh();
    void SendChanges();
    QDBusObjectPath TrackId() const;
    // Clicks the line `step` positions away in the play order from the chart last started.
    void Skip(int step);
    void SeekToMs(double ms);

    frmMenu& w_;
    QDBusConnection bus_;
    QString service_;
    QString lastStatus_;
    QVariantMap lastMeta_;
    bool lastShuffle_ = false;
    bool refreshPending_ = false;
    // The picture of the chart last asked about (looked up once per chart).
    mutable std::string artFor_;
    mutable QString artUrl_;
    std::string trackKey_;
    quint64 trackSerial_ = 0;
};

}  // namespace jov
