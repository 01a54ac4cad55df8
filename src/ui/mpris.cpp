#include "ui/mpris.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "audio/path_resolver.h"
#include "chart/chart_model.h"
#include "chart/clock_line.h"
#include "playlist/playlist.h"
#include "ui/display_text.h"
#include "ui/main_window.h"

namespace jov {

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

QStringList Texts(const std::string& s) { return s.empty() ? QStringList() : QStringList{QString::fromStdString(s)}; }

// The file URL of a path's own bytes: a name that is not UTF-8 still names its file.
QString FileUrl(const std::string& path) {
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        std::error_code ec;
        full = std::filesystem::absolute(path, ec).string();
        if (ec) return {};
    }
    return QStringLiteral("file://") + QString::fromLatin1(QByteArray::fromStdString(full).toPercentEncoding("/"));
}

// The chart's #STAGEFILE picture, found as its sounds are (a sound found in its place is no picture).
std::optional<std::string> StagePicture(const std::string& chartPath, const std::string& stageFile) {
    if (stageFile.empty()) return std::nullopt;
    const std::string folder = chartPath.substr(0, chartPath.find_last_of('/') + 1);
    auto found = ResolvePath(folder + stageFile);
    const auto extension = [](const std::string& p) {
        const std::string name = p.substr(p.find_last_of("/\\") + 1);
        const auto dot = name.find_last_of('.');
        return dot == std::string::npos ? std::string() : name.substr(dot);
    };
    if (found && !EqualsIgnoreAsciiCase(extension(*found), extension(stageFile))) return std::nullopt;
    return found;
}

// The name of the chart's folder, shown as the album.
std::string FolderName(const std::string& chartPath) {
    const auto slash = chartPath.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return {};
    const auto before = chartPath.find_last_of('/', slash - 1);
    return chartPath.substr(before == std::string::npos ? 0 : before + 1, slash - (before == std::string::npos ? 0 : before + 1));
}

}  // namespace

// org.mpris.MediaPlayer2
class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit MprisRoot(Mpris* m) : QDBusAbstractAdaptor(m), m_(m) {}
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("jov:01"); }
    QString DesktopEntry() const { return QStringLiteral("jov01"); }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const { return {}; }
public slots:
    void Raise() { m_->Raise(); }
    void Quit() { m_->Quit(); }

private:
    Mpris* m_;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ Yes)
    Q_PROPERTY(bool CanGoPrevious READ Yes)
    Q_PROPERTY(bool CanPlay READ Yes)
    Q_PROPERTY(bool CanPause READ No)
    Q_PROPERTY(bool CanSeek READ Yes)
    Q_PROPERTY(bool CanControl READ Yes)
public:
    explicit MprisPlayer(Mpris* m) : QDBusAbstractAdaptor(m), m_(m) {
        connect(m, &Mpris::Seeked, this, &MprisPlayer::Seeked);
    }
    QString PlaybackStatus() const { return m_->PlaybackStatus(); }
    double Rate() const { return 1.0; }
    void SetRate(double) {}  // one speed only
    bool Shuffle() const { return m_->Shuffle(); }
    void SetShuffle(bool on) { m_->SetShuffle(on); }
    QVariantMap Metadata() const { return m_->Metadata(); }
    double Volume() const { return 1.0; }
    void SetVolume(double) {}  // the desktop's mixer sets the level
    qlonglong Position() const { return m_->PositionUs(); }
    bool Yes() const { return true; }
    bool No() const { return false; }
public slots:
    void Next() { m_->Next(); }
    void Previous() { m_->Previous(); }
    void Pause() {}  // the jukebox has no pause (CanPause is false)
    void PlayPause() { m_->PlayPause(); }
    void Stop() { m_->Stop(); }
    void Play() { m_->Play(); }
    void Seek(qlonglong Offset) { m_->Seek(Offset); }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) { m_->SetPosition(TrackId, Position); }
    void OpenUri(const QString& Uri) { m_->OpenUri(Uri); }
signals:
    void Seeked(qlonglong Position);

private:
    Mpris* m_;
};

bool Mpris::SessionBusPossible() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR");
}

Mpris::Mpris(frmMenu& window, const QDBusConnection& bus) : QObject(&window), w_(window), bus_(bus) {
    if (!bus_.isConnected()) return;
    new MprisRoot(this);
    new MprisPlayer(this);
    if (!bus_.registerObject(kPath, this, QDBusConnection::ExportAdaptors)) return;
    // A second jukebox takes a name of its own, as the MPRIS naming rule allows.
    for (const QString& name : {QStringLiteral("org.mpris.MediaPlayer2.jov01"),
                                QStringLiteral("org.mpris.MediaPlayer2.jov01.instance%1").arg(::getpid())}) {
        if (bus_.registerService(name)) {
            service_ = name;
            break;
        }
    }
    if (service_.isEmpty()) {
        bus_.unregisterObject(kPath);
        return;
    }
    lastStatus_ = PlaybackStatus();
    lastMeta_ = Metadata();
    lastShuffle_ = Shuffle();
    connect(&w_, &frmMenu::playbackChanged, this, &Mpris::Refresh);
    connect(w_.chkRandom, &QToolButton::toggled, this, &Mpris::Refresh);
    connect(w_.cmdPlay, &QPushButton::clicked, this, &Mpris::Refresh);
    connect(w_.cmdStop, &QPushButton::clicked, this, &Mpris::Refresh);
}

Mpris::~Mpris() {
    if (service_.isEmpty()) return;
    bus_.unregisterObject(kPath);
    bus_.unregisterService(service_);
}

// Playing from Play until the jukebox stops: also while it loads a chart and between
// two charts, so the desktop's widgets do not flicker at every change of chart.
QString Mpris::PlaybackStatus() const {
    const bool running = w_.GetPlayer().State().IsPlaying || w_.GetJukebox().InStep() || w_.NextPlayTimer().isActive();
    return running ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QDBusObjectPath Mpris::TrackId() const {
    if (trackSerial_ == 0) return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(QStringLiteral("/org/jov01/Track/%1").arg(trackSerial_));
}

QVariantMap Mpris::Metadata() const {
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId()));
    if (trackSerial_ == 0) return m;
    const ChartModel& model = w_.GetPlayer().Model();
    m.insert(QStringLiteral("mpris:length"), qlonglong{model.PlayTime} * 1000);
    m.insert(QStringLiteral("xesam:title"), QString::fromStdString(model.Chart.Title));
    m.insert(QStringLiteral("xesam:artist"), Texts(model.Chart.Artist));
    m.insert(QStringLiteral("xesam:genre"), Texts(model.Chart.Genre));
    const std::string& path = model.Chart.FilePath;
    if (path.empty()) return m;
    m.insert(QStringLiteral("xesam:url"), FileUrl(path));
    if (const std::string album = FolderName(path); !album.empty())
        m.insert(QStringLiteral("xesam:album"), DisplayText(album));
    // The loaded chart's header as the list scanned it (the chart reader keeps no picture).
    if (artFor_ != path) {
        artFor_ = path;
        artUrl_.clear();
        for (const ChartInfo& entry : w_.GetPlayList().PlayListEntries()) {
            if (entry.FilePath != path) continue;
            if (auto picture = StagePicture(path, entry.StageFile)) artUrl_ = FileUrl(*picture);
            break;
        }
    }
    if (!artUrl_.isEmpty()) m.insert(QStringLiteral("mpris:artUrl"), artUrl_);
    return m;
}

qlonglong Mpris::PositionUs() const {
    const EngineState& s = w_.GetPlayer().State();
    // The millisecond of the current tick on the clock line.
    double ms = s.TicksPerMs > 0.0f ? (s.CurrentTick - s.TickOffset) / s.TicksPerMs : s.ElapsedMs;
    if (!std::isfinite(ms) || ms < 0) ms = 0;
    return static_cast<qlonglong>(std::llround(std::min(ms, 1e12) * 1000.0));
}

bool Mpris::Shuffle() const { return w_.chkRandom->isChecked(); }
void Mpris::SetShuffle(bool on) { w_.chkRandom->setChecked(on); }

void Mpris::Refresh() {
    // Looked at once the reaction that changed things has returned: a jukebox step that
    // ends by a stop is over only then.
    if (refreshPending_) return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshPending_ = false;
        SendChanges();
    });
}

void Mpris::SendChanges() {
    // A chart that is not the one last announced is a new track.
    const ChartModel& model = w_.GetPlayer().Model();
    std::string key = model.Chart.FilePath;
    if (!key.empty()) {
        key += '\n' + model.Chart.Title + '\n' + std::to_string(model.PlayTime);
        if (key != trackKey_) {
            trackKey_ = std::move(key);
            ++trackSerial_;
        }
    }
    QVariantMap changed;
    const QString status = PlaybackStatus();
    if (status != lastStatus_) changed.insert(QStringLiteral("PlaybackStatus"), lastStatus_ = status);
    QVariantMap meta = Metadata();
    if (meta != lastMeta_) changed.insert(QStringLiteral("Metadata"), lastMeta_ = meta);
    if (Shuffle() != lastShuffle_) changed.insert(QStringLiteral("Shuffle"), lastShuffle_ = Shuffle());
    if (changed.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    bus_.send(signal);
}

void Mpris::Play() { w_.cmdPlay->click(); }
void Mpris::Stop() { w_.cmdStop->click(); }

void Mpris::PlayPause() {
    if (w_.GetPlayer().State().IsPlaying) Stop();
    else Play();
}

void Mpris::Skip(int step) {
    const auto& table = w_.GetJukebox().PlayTable;
    const int count = static_cast<int>(table.size()) - 1;  // positions 1..count
    if (count <= 0) return;
    int pos = w_.GetPlayList().PlayOrderIndex + step;
    // Nothing started yet: Next takes the first position, Previous the last.
    pos = ((pos - 1) % count + count) % count + 1;
    w_.ClickLine(table[static_cast<size_t>(pos)] - 1);
}

void Mpris::Next() { Skip(1); }
void Mpris::Previous() { Skip(-1); }

void Mpris::SeekToMs(double ms) {
    const ChartModel& model = w_.GetPlayer().Model();
    if (model.PlayTime <= 0) return;
    // Through the chart's tempo map, so the position read back is the one asked for.
    const double tick = std::clamp(TickAtMs(model, ms), 0.0, static_cast<double>(model.LastTick));
    if (!std::isfinite(tick)) return;
    w_.SeekToTick(static_cast<int32_t>(std::nearbyint(tick)));
    emit Seeked(PositionUs());
}

void Mpris::Seek(qlonglong offsetUs) {
    const double target = (PositionUs() + static_cast<double>(offsetUs)) / 1000.0;
    if (target > w_.GetPlayer().Model().PlayTime) {
        Next();
        return;
    }
    SeekToMs(std::max(0.0, target));
}

void Mpris::SetPosition(const QDBusObjectPath& track, qlonglong positionUs) {
    if (track != TrackId() || positionUs < 0 || positionUs > qlonglong{w_.GetPlayer().Model().PlayTime} * 1000) return;
    SeekToMs(positionUs / 1000.0);
}

void Mpris::OpenUri(const QString& uri) {
    const QUrl url(uri);
    if (!url.isLocalFile()) return;
    w_.AddDropped({QFile::encodeName(url.toLocalFile()).toStdString()});
}

void Mpris::Raise() {
    w_.showNormal();
    w_.raise();
    w_.activateWindow();
}

// Closed once the reply is on its way: the close ends the program.
void Mpris::Quit() { QTimer::singleShot(0, &w_, [this] { w_.close(); }); }

}  // namespace jov

#include "mpris.moc"
