// The desktop's media-player calls with any arguments, on a window playing nothing or a
// loaded chart: seek by an offset, set a position on any track id, open any address.
// Addresses are kept inside a folder of the run's own, so no search walks the disk.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDir>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "shell/clock.h"
#include "shell/settings.h"
#include "shell/status.h"
#include "ui/main_window.h"
#include "ui/mpris.h"

namespace {

struct Rig {
    int argc = 1;
    char name[8] = "fuzz";
    char* argv[2] = {name, nullptr};
    QApplication app{argc, argv};
    jov::Shell shell;
    jov::VirtualClock clock{1000, 10};
    std::unique_ptr<jov::frmMenu> w;
    std::unique_ptr<jov::Mpris> mpris;
    QString folder = QDir::tempPath() + QStringLiteral("/jov01-fuzz-mpris");

    Rig() {
        QDir().mkpath(folder);
        jov::MainWindowParts parts;
        parts.shell = &shell;
        parts.clock = &clock;
        parts.listPath = (folder + QStringLiteral("/default.rxl")).toStdString();
        parts.settingsPath = (folder + QStringLiteral("/jov01.ini")).toStdString();
        parts.showMessage = [](jov::MessageIcon, const std::string&, const std::string&) {};
        parts.endProgram = [] {};
        w = std::make_unique<jov::frmMenu>(parts);
        w->EnsureLoaded();
        mpris = std::make_unique<jov::Mpris>(*w, QDBusConnection(QStringLiteral("none")));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static Rig* rig = new Rig;
    size_t at = 0;
    auto take64 = [&] {
        int64_t v = 0;
        const size_t n = std::min(sizeof v, size - at);
        std::memcpy(&v, data + at, n);
        at += n;
        return static_cast<qlonglong>(v);
    };
    while (at < size) {
        const uint8_t op = data[at++];
        switch (op % 6) {
            case 0: rig->mpris->Seek(take64()); break;
            case 1: {  // the current track's id as the desktop reads it from the metadata
                const QVariant id = rig->mpris->Metadata().value(QStringLiteral("mpris:trackid"));
                rig->mpris->SetPosition(id.value<QDBusObjectPath>(), take64());
                break;
            }
            case 2: {
                const QString id = QStringLiteral("/org/jov01/Track/") + QString::number(take64() & 0xFF);
                rig->mpris->SetPosition(QDBusObjectPath(id), take64());
                break;
            }
            case 3: {
                const size_t n = std::min<size_t>(op / 6, size - at);
                const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(n));
                at += n;
                const QUrl url(QStringLiteral("file://") + rig->folder + QStringLiteral("/") + text);
                if (url.isLocalFile() && QDir::cleanPath(url.toLocalFile()).startsWith(rig->folder + QStringLiteral("/")))
                    rig->mpris->OpenUri(url.toString());
                break;
            }
            case 4: rig->mpris->SetShuffle(op & 0x40); break;
            default: (void)rig->mpris->PositionUs(); (void)rig->mpris->Metadata(); break;
        }
    }
    QCoreApplication::processEvents();
    return 0;
}
