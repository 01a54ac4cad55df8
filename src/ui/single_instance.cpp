#include "ui/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace jov {
namespace {

const QByteArray kMagic("jov01-open\n");
const QByteArray kReply("ok\n");
// Enough for any real command line; a peer sending more is not a jukebox.
constexpr qsizetype kMaxMessage = 16 * 1024 * 1024;
constexpr int kMaxPaths = 100000;
constexpr int kClientTimeoutMs = 10000;

// A decimal number ended by "\n" at `pos`; advances past it.
std::optional<qint64> ReadNumber(const QByteArray& b, qsizetype& pos, qint64 max, bool& waiting) {
    qsizetype end = b.indexOf('\n', pos);
    if (end < 0) {
        waiting = b.size() - pos <= 12;  // still arriving, unless it is already too long
        return std::nullopt;
    }
    if (end == pos || end - pos > 12) return std::nullopt;
    qint64 v = 0;
    for (qsizetype i = pos; i < end; ++i) {
        if (b[i] < '0' || b[i] > '9') return std::nullopt;
        v = v * 10 + (b[i] - '0');
    }
    if (v > max) return std::nullopt;
    pos = end + 1;
    return v;
}

}  // namespace

QString SingleInstance::ServerName(const std::string& configFolder) {
    QByteArray folder = QByteArray::fromStdString(configFolder);
    const QString canonical = QDir(QFile::decodeName(folder)).canonicalPath();
    if (!canonical.isEmpty()) folder = QFile::encodeName(canonical);
    const QString id = QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16));
    // The runtime folder belongs to the user alone; else the shared temp folder, with the user in the name.
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QString name = runtime + QStringLiteral("/jov01-") + id;
    if (runtime.isEmpty() || QFile::encodeName(name).size() > 100)
        name = QDir::tempPath() + QStringLiteral("/jov01-%1-").arg(::getuid()) + id;
    return name;
}

QByteArray SingleInstance::Encode(const std::vector<std::string>& paths) {
    QByteArray out = kMagic;
    out += QByteArray::number(static_cast<qulonglong>(paths.size())) + '\n';
    for (const std::string& p : paths) {
        out += QByteArray::number(static_cast<qulonglong>(p.size())) + '\n';
        out += QByteArray::fromStdString(p);
    }
    return out;
}

bool SingleInstance::Decode(const QByteArray& bytes, std::vector<std::string>& paths, bool& complete) {
    paths.clear();
    complete = false;
    if (bytes.size() < kMagic.size()) {
        complete = !kMagic.startsWith(bytes);  // a wrong start is final
        return false;
    }
    if (!bytes.startsWith(kMagic)) {
        complete = true;
        return false;
    }
    qsizetype pos = kMagic.size();
    bool waiting = false;
    auto count = ReadNumber(bytes, pos, kMaxPaths, waiting);
    if (!count) {
        complete = !waiting;
        return false;
    }
    for (qint64 i = 0; i < *count; ++i) {
        auto size = ReadNumber(bytes, pos, 64 * 1024, waiting);
        if (!size) {
            complete = !waiting;
            return false;
        }
        if (bytes.size() - pos < *size) return false;  // still arriving
        paths.push_back(bytes.mid(pos, *size).toStdString());
        pos += *size;
    }
    complete = true;
    return pos == bytes.size();
}

HandOverResult SingleInstance::HandOver(const QString& name, const std::vector<std::string>& paths,
                                        int timeoutMs) {
    // Only a socket of this user is a jukebox of this user (the temp-folder fallback is shared).
    struct stat st {};
    if (::lstat(QFile::encodeName(name).constData(), &st) == 0 && st.st_uid != ::getuid())
        return HandOverResult::NoJukebox;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(1000)) return HandOverResult::NoJukebox;
    socket.write(Encode(paths));
    if (!socket.waitForBytesWritten(timeoutMs)) return HandOverResult::NoAnswer;
    QByteArray reply;
    while (reply.size() < kReply.size() && socket.waitForReadyRead(timeoutMs)) reply += socket.readAll();
    reply += socket.readAll();
    return reply.startsWith(kReply) ? HandOverResult::Taken : HandOverResult::NoAnswer;
}

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Listen(bool replaceStale) {
    if (!server_) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        connect(server_, &QLocalServer::newConnection, this, [this] { Accept(); });
    }
    if (server_->listen(name_)) return true;
    if (!replaceStale) return false;
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

void SingleInstance::Close() {
    if (server_) server_->close();
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        // A peer that never finishes its message is let go.
        auto* timeout = new QTimer(socket);
        timeout->setSingleShot(true);
        connect(timeout, &QTimer::timeout, socket, [socket] { socket->abort(); });
        timeout->start(kClientTimeoutMs);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        Read(socket);
    }
}

void SingleInstance::Read(QLocalSocket* socket) {
    const char* const kBuffer = "jov01Message";
    QByteArray buffer = socket->property(kBuffer).toByteArray() + socket->readAll();
    std::vector<std::string> paths;
    bool complete = false;
    const bool ok = Decode(buffer, paths, complete);
    if (!complete && buffer.size() <= kMaxMessage) {
        socket->setProperty(kBuffer, buffer);
        return;
    }
    socket->setProperty(kBuffer, QByteArray());
    if (!ok) {
        socket->abort();
        return;
    }
    socket->write(kReply);
    socket->flush();
    socket->disconnectFromServer();
    // Not inside the socket's own signal: adding may run a long search that lets events in.
    QMetaObject::invokeMethod(
        this, [this, paths] {
            if (onPaths) onPaths(paths);
        },
        Qt::QueuedConnection);
}

}  // namespace jov
