// jov01: the jukebox window. Start-up runs in a fixed order, then everything happens in
// window events and timers on this one thread; the program ends only through Shutdown,
// which the main window's close runs after saving the list.
#include <QApplication>
#include <QIcon>
#include <QLocale>

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThread>
#include <QWindow>

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/late_devices.h"
#include "audio/audio_system.h"
#include "shell/clock.h"
#include "notes/note_renderer.h"
#include "ui/notes_window.h"
#include "notes/skin.h"
#include "ui/guarded_application.h"
#include "ui/main_window.h"
#include "ui/mpris.h"
#include "ui/single_instance.h"
#include "shell/paths.h"
#include "shell/settings.h"
#include "shell/status.h"

namespace {

using namespace jov;

UiLanguage LanguageFromLocale() {
    const QStringList langs = QLocale::system().uiLanguages();
    return !langs.isEmpty() && langs.front().startsWith(QLatin1String("ja")) ? UiLanguage::Japanese
                                                                            : UiLanguage::English;
}

// As high a priority as the system grants an ordinary user; a refusal is not reported.
void RaisePriority() {
    for (int nice = -20; nice < 0; nice += 5) {
        if (setpriority(PRIO_PROCESS, 0, nice) == 0) return;
    }
}

// The sound set-up's two calls back into the windows.
class SetupHooks final : public AudioSetupHooks, public DisplayMessageHook {
public:
    SetupHooks(frmMenu& menu, frmNotes& notes, DirectDraw& ddraw, Shell& shell, UiLanguage language)
        : menu_(menu), notes_(notes), ddraw_(ddraw), shell_(shell), language_(language) {}
    void ShowCriticalMessage(const std::string& text) override { menu_.ShowCritical(text); }
    void InitDirectDraw() override {
        ddraw_.InitDirectDraw(&notes_, QGuiApplication::primaryScreen() != nullptr, language_, &shell_, this);
    }

private:
    frmMenu& menu_;
    frmNotes& notes_;
    DirectDraw& ddraw_;
    Shell& shell_;
    UiLanguage language_;
};

// SIGTERM, SIGINT and SIGHUP (a logout, a kill, the terminal that started the program
// closing) close the main window like its close box, so the list and the settings are
// saved before the program ends.
int signalFds[2] = {-1, -1};

void OnTerminateSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalFds[1], &byte, 1);
}

void CloseOnTerminateSignals(QWidget* window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalFds) != 0) return;
    auto* notifier = new QSocketNotifier(signalFds[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(signalFds[0], &byte, 1);
        window->close();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminateSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

// The paths named on the command line, made absolute: a running jukebox that takes
// them over works in another folder.
std::vector<std::string> CommandLinePaths(int argc, char** argv) {
    std::vector<std::string> out;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.empty()) continue;
        std::error_code ec;
        std::filesystem::path p = std::filesystem::absolute(arg, ec);
        std::string path = ec ? arg : p.string();
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        out.push_back(path);
    }
    return out;
}

// The sound set-up (the SoundFont above all) takes a good half second: let the window
// appear and paint its list first, without taking any user input yet.
void DrawBeforeSoundSetup(QWidget& window) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (window.windowHandle() && window.windowHandle()->isExposed()) break;
        QThread::msleep(2);
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("jov01"));
    // One jukebox per user and config folder: a later start hands its paths over and ends.
    const std::vector<std::string> commandLine = CommandLinePaths(argc, argv);
    const SingleInstance::Claim claim = SingleInstance::ClaimStart(ConfigFolder(), commandLine);
    if (claim.exitCode >= 0) return claim.exitCode;
    if (auto icon = FindDataFile("jov01.png")) QApplication::setWindowIcon(QIcon(QString::fromStdString(*icon)));

    static Shell shell;
    app.onFailure = [](const std::string& what) { shell.SetStatus("Err[" + what + "]"); };
    static SteadyClock clock;
    static LateSoundDevice sound;
    static LateMidiDevice midi;
    static DirectDraw ddraw;
    static SkinTables skin;
    static NotesScreen screen;
    static std::unique_ptr<AudioSystem> audio;
    const UiLanguage language = LanguageFromLocale();

    MainWindowParts parts;
    parts.shell = &shell;
    parts.clock = &clock;
    parts.sound = &sound;
    parts.midi = &midi;
    parts.listPath = DefaultListPath();
    parts.settingsPath = SettingsPath();
    parts.scanCachePath = ConfigFolder() + "/scan.cache";
    parts.demoFolder = FindDemoFolder().value_or(std::string());
    parts.releaseSoundDevice = [] { sound.Attach(nullptr); };
    parts.setOutputGain = [](float gain) {
        if (audio) audio->GetMixer().SetOutputGain(gain);
    };
    parts.loudnessCachePath = LoudnessCachePath();
    // Nothing may run after the end: no destructors, no further window events.
    static SingleInstance* instancePtr = claim.instance;
    parts.endProgram = [] {
        if (instancePtr) instancePtr->Close();  // the next start need not find it stale
        std::fflush(nullptr);
        std::quick_exit(0);
    };
    static frmMenu* menuPtr = nullptr;
    auto* menu = new frmMenu(parts);
    menuPtr = menu;

    static frmNotes* notesPtr = nullptr;
    auto* notes = new frmNotes(ddraw, skin, screen);
    notesPtr = notes;
    notes->SetUserCloseHandler([] { menuPtr->NotesWindowClosed(); });
    static NoteRenderer renderer(skin, screen, ddraw, menu->GetPlayer().State(), menu->GetPlayer().Model());
    menu->SetDrawNotes([] {
        if (notesPtr->isVisible()) renderer.DrawNotes();
    });
    menu->SetNotesWindow(notes);

    // 1. Scheduling priority.
    RaisePriority();
    // 2. Settings; applying one loads (and shows) the main window.
    LoadSettings(parts.settingsPath, shell, *menu);
    // 3. The notes window exists, hidden unless the settings showed it.
    // 4. Sound system (and the notes window's drawing set-up); the main window is used here.
    menu->EnsureLoaded();
    // The command line's paths, each as its drop would add it, after the default list.
    for (const std::string& path : commandLine) menu->AddDropped({path});
    instancePtr->setParent(menu);
    instancePtr->SetPathsHandler([](const std::vector<std::string>& paths) {
        for (const std::string& path : paths) menuPtr->AddDropped({path});
        menuPtr->raise();
        menuPtr->activateWindow();
    });
    CloseOnTerminateSignals(menu);
    DrawBeforeSoundSetup(*menu);
    SetupHooks hooks(*menu, *notes, ddraw, shell, language);
    audio = InitDirectX(&shell, &hooks, language);
    if (!audio) std::quick_exit(1);
    sound.Attach(&audio->Sound());
    midi.Attach(&audio->Midi());
    // 5. The note skin.
    LoadSkin(skin, ddraw, FindDataFile("bms.hrd").value_or(std::string()));
    // 6. The notes window's surfaces, visible or not.
    notes->Form_Resize();

    // Media keys and the desktop's player widgets; silently absent without a session bus.
    if (Mpris::SessionBusPossible()) new Mpris(*menu);

    return app.exec();
}
