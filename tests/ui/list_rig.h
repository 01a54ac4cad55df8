#pragma once
// A main window on the offline mixer and a virtual clock, in a folder of its own.
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_system.h"
#include "shell/clock.h"
#include "ui/main_window.h"

namespace rig {

namespace fs = std::filesystem;

inline const fs::path kDemo = fs::path(JOV01_TEST_DATA) / ".." / ".." / "assets" / "demo";

struct Window {
    jov::Shell shell;
    jov::VirtualClock clock{1000, 10};
    std::unique_ptr<jov::AudioSystem> audio = jov::AudioSystem::CreateOffline(44100, nullptr, std::string());
    std::unique_ptr<jov::frmMenu> w;
    std::vector<int16_t> pcm;
    std::vector<std::string> messages;  // message boxes shown, "title: text"
    bool ended = false;                 // Shutdown ended the program

    explicit Window(const fs::path& dir, const std::string& demoFolder = {}) {
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
        parts.endProgram = [this] { ended = true; };
        w = std::make_unique<jov::frmMenu>(parts);
        w->EnsureLoaded();
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

}  // namespace rig
