#pragma once
// A main window on the offline mixer and a virtual clock, in a folder of its own, started
// as the program starts it: the settings first (applying one loads the window), then the load.
#include <QElapsedTimer>
#include <QListWidget>
#include <QTest>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_system.h"
#include "shell/clock.h"
#include "shell/settings.h"
#include "ui/main_window.h"

namespace rig {

namespace fs = std::filesystem;

inline const fs::path kDemo = fs::path(JOV01_TEST_DATA) / ".." / ".." / "assets" / "demo";

// A new folder under this test program's own, which is removed when the program ends.
inline fs::path Fresh() {
    struct Base {
        fs::path path = fs::temp_directory_path() / ("jov01_ui_test_" + std::to_string(::getpid()));
        int made = 0;
        ~Base() { fs::remove_all(path); }
    };
    static Base base;
    return base.path / std::to_string(++base.made);
}

struct Window {
    fs::path dir;
    jov::Shell shell;
    jov::VirtualClock clock{1000, 10};  // every sleep of the play loop moves 10 ms
    std::unique_ptr<jov::AudioSystem> audio = jov::AudioSystem::CreateOffline(44100, nullptr, std::string());
    std::unique_ptr<jov::frmMenu> w;
    std::vector<int16_t> pcm;
    std::vector<std::string> messages;  // message boxes shown, "title: text"
    std::function<void()> onRelease;    // Shutdown let the sound device go
    bool ended = false;                 // Shutdown ended the program

    explicit Window(const fs::path& folder = Fresh(), const std::string& demoFolder = {}) : dir(folder) {
        fs::create_directories(dir);
        audio->GetMixer().SetOfflineAnchor(1000, 0);
        jov::MainWindowParts parts;
        parts.shell = &shell;
        parts.clock = &clock;
        parts.sound = &audio->Sound();
        parts.midi = &audio->Midi();
        parts.listPath = (dir / "default.rxl").string();
        parts.settingsPath = (dir / "jov01.ini").string();
        parts.demoFolder = demoFolder;
        parts.showMessage = [this](jov::MessageIcon, const std::string& title, const std::string& text) {
            messages.push_back(title + ": " + text);
        };
        parts.releaseSoundDevice = [this] {
            if (onRelease) onRelease();
        };
        parts.endProgram = [this] { ended = true; };
        w = std::make_unique<jov::frmMenu>(parts);
        jov::LoadSettings(parts.settingsPath, shell, *w);
        w->EnsureLoaded();
        w->FinishAdds();
    }
    // Mixes everything up to the clock's now; true when any of it was not silence.
    bool Heard() {
        audio->RenderUntil(static_cast<double>(clock.NowMs()), pcm);
        return std::any_of(pcm.begin(), pcm.end(), [](int16_t s) { return s != 0; });
    }
    // Runs the window's events until the jukebox is idle (or a limit).
    void RunUntilIdle(int ms = 20000) {
        QElapsedTimer t;
        t.start();
        do QTest::qWait(5);
        while ((w->NextPlayTimer().isActive() || w->GetPlayer().State().IsPlaying) && t.elapsed() < ms);
    }
};

// A chart of one background note per measure, 2 s a measure.
inline std::string WriteChart(const fs::path& path, const std::string& title, int measures) {
    std::ofstream f(path, std::ios::binary);
    f << "#TITLE " << title << "\r\n#ARTIST tester\r\n#BPM 120\r\n";
    for (int m = 1; m <= measures; ++m) f << "#" << (m < 10 ? "00" : "0") << m << "01:01\r\n";
    return path.string();
}

inline QStringList Lines(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

inline void ClickLine(QListWidget* list, int row, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
    QTest::mouseClick(list->viewport(), b, m, list->visualItemRect(list->item(row)).center());
}

// Records each chart's title as it starts; `act(chart number, pass)` runs on every pass of the play loop.
inline void Watch(jov::frmMenu& w, std::vector<std::string>& titles, std::function<void(size_t, int)> act) {
    auto passes = std::make_shared<int>(0);
    w.SetDrawNotes([&w, &titles, act, passes] {
        const std::string& t = w.GetPlayer().Model().Chart.Title;
        if (titles.empty() || titles.back() != t) titles.push_back(t), *passes = 0;
        act(titles.size(), ++*passes);
    });
}

}  // namespace rig
