#include "ui/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>

namespace jov {
namespace {

const QByteArray kMagic("jov01-open\n");
const QByteArray kReply("ok\n");
// Enough for any real command line; a peer sending more is not a jukebox.
constexpr qsizetype kMaxMessage = 16 * 1024 * 1024;
constexpr int kMaxPaths = 100000;
constexpr int kClientTimeoutMs = 10000;
// A start waits this long for another start to finish claiming the socket.
constexpr int kLockWaitMs = 30000;
constexpr qsizetype kMaxSocketPath = 100;

QString SocketId(const std::string& configFolder) {
    QByteArray folder = QByteArray::fromStdString(configFolder);
    const QString canonical = QDir(QFile::decodeName(folder)).canonicalPath();
    if (!canonical.isEmpty()) folder = QFile::encodeName(canonical);
    return QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16));
}

// A folder in the shared temp folder that only this user can enter (made when missing);
// empty when what is there is not such a folder.
QString PrivateTempFolder() {
    const QString dir = QDir::tempPath() + QStringLiteral("/jov01-%1").arg(::getuid());
    const QByteArray path = QFile::encodeName(dir);
    ::mkdir(path.constData(), 0700);
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return dir;
}

// The start lock beside the socket: its descriptor, -1 when no lock file can be made
// there, -2 when another start held it too long.
int LockBeside(const QString& name) {
    const QByteArray path = QFile::encodeName(name + QStringLiteral(".lock"));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    for (int waited = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0; waited += 20) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= kLockWaitMs) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            return busy ? -2 : -1;
        }
        ::usleep(20 * 1000);
    }
    return fd;
}

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
    const std::vector<QString> names = ServerNames(configFolder);
    return names.empty() ? QString() : names.front();
}

std::vector<QString> SingleInstance::ServerNames(const std::string& configFolder) {
    const QString id = QStringLiteral("/jov01-") + SocketId(configFolder);
    std::vector<QString> names;
    // The runtime folder belongs to the user alone.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) names.push_back(runtime + id);
    const QString own = PrivateTempFolder();
    if (!own.isEmpty()) names.push_back(own + id);
    std::erase_if(names, [](const QString& n) { return QFile::encodeName(n).size() > kMaxSocketPath; });
    return names;
}

SingleInstance::Claim SingleInstance::ClaimStart(const std::string& configFolder,
                                                 const std::vector<std::string>& paths) {
    const std::vector<QString> names = ServerNames(configFolder);
    QString failed;
    for (const QString& name : names) {
        if (!failed.isEmpty())
            std::fprintf(stderr, "jov01: cannot make the socket %s; using %s instead\n",
                         QFile::encodeName(failed).constData(), QFile::encodeName(name).constData());
        failed = name;
        const int lock = LockBeside(name);
        if (lock == -1) continue;
        if (lock == -2) {
            std::fprintf(stderr, "jov01: another start of the jukebox does not finish\n");
            return {1, nullptr};
        }
        const HandOverResult handed = HandOver(name, paths);
        if (handed != HandOverResult::NoJukebox) {
            ::close(lock);
            if (handed == HandOverResult::Taken) return {0, nullptr};
            std::fprintf(stderr, "jov01: a jukebox is running but did not take the paths\n");
            return {1, nullptr};
        }
        auto* instance = new SingleInstance(name);
        const bool listening = instance->Listen(true);
        ::close(lock);  // later starts find this one listening
        if (listening) return {-1, instance};
        delete instance;
    }
    std::fprintf(stderr, "jov01: no folder can hold the socket that keeps one jukebox per config folder%s%s\n",
                 failed.isEmpty() ? "" : "; last tried ", QFile::encodeName(failed).constData());
    return {1, nullptr};
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
        const QByteArray path = bytes.mid(pos, *size);
        if (path.contains('\0')) {  // no file has such a name: refused as a drop refuses it
            paths.clear();
            complete = true;
            return false;
        }
        paths.push_back(path.toStdString());
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
    if (!socket.waitForConnected(1000)) {
        // Only a socket nobody listens on is gone; a jukebox still starting may answer late.
        const auto error = socket.error();
        return error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError
                   ? HandOverResult::NoJukebox
                   : HandOverResult::NoAnswer;
    }
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
    QMetaObject::invokeMethod(this, [this, paths] { Deliver(paths); }, Qt::QueuedConnection);
}

void SingleInstance::Deliver(const std::vector<std::string>& paths) {
    if (onPaths)
        onPaths(paths);
    else
        pending_.push_back(paths);
}

void SingleInstance::SetPathsHandler(std::function<void(const std::vector<std::string>& paths)> handler) {
    onPaths = std::move(handler);
    auto pending = std::move(pending_);
    pending_.clear();
    for (const auto& paths : pending) Deliver(paths);
}

}  // namespace jov
