#pragma once
// One jukebox per user and config folder. A later start hands the paths of its command
// line to the running one over a local socket and ends, so "Open with" in a file manager
// adds to the list that is already playing instead of opening a second window that
// would save over the same default list.
#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace jov {

enum class HandOverResult {
    NoJukebox,  // nobody listens: this start opens the window
    Taken,      // the running jukebox has the paths
    NoAnswer,   // somebody listens but did not take them in time
};

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The socket for a config folder: in the user's runtime folder, named after the folder.
    static QString ServerName(const std::string& configFolder);
    // Where the socket may be, in order: the runtime folder, then a private folder of this
    // user's own in the temp folder.
    static std::vector<QString> ServerNames(const std::string& configFolder);
    // A start either ends (exitCode >= 0: the paths were handed over, or no jukebox can be
    // made sure of) or gets the listening instance. Starts are serialised by a lock file
    // beside the socket, so two at the same moment never both listen.
    struct Claim {
        int exitCode = -1;
        SingleInstance* instance = nullptr;
    };
    static Claim ClaimStart(const std::string& configFolder, const std::vector<std::string>& paths);
    // Sends `paths` (possibly none: the running window only comes to the front).
    static HandOverResult HandOver(const QString& name, const std::vector<std::string>& paths,
                                   int timeoutMs = 10000);
    // The message a hand-over sends, and its reading (nothing when it is malformed
    // or not complete yet; `complete` tells which).
    static QByteArray Encode(const std::vector<std::string>& paths);
    static bool Decode(const QByteArray& bytes, std::vector<std::string>& paths, bool& complete);

    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;
    // Starts taking hand-overs. `replaceStale` removes a socket left by a program that
    // ended without closing it (only after a hand-over found nobody answering).
    bool Listen(bool replaceStale);
    // Stops taking hand-overs and removes the socket.
    void Close();
    // Runs on the event loop with the paths of each hand-over, in the order they came;
    // hand-overs taken before it is set are passed to it then.
    void SetPathsHandler(std::function<void(const std::vector<std::string>& paths)> handler);
    std::function<void(const std::vector<std::string>& paths)> onPaths;

private:
    void Accept();
    void Read(QLocalSocket* socket);

    void Deliver(const std::vector<std::string>& paths);

    QString name_;
    QLocalServer* server_ = nullptr;
    std::vector<std::vector<std::string>> pending_;
};

}  // namespace jov
