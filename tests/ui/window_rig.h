#pragma once
// The real main window on the offline mixer and a virtual clock, for window tests.
#include <QElapsedTimer>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_system.h"
#include "shell/clock.h"
#include "ui/main_window.h"

namespace jov::test {

namespace fs = std::filesystem;

inline const fs::path kDemo = fs::path(JOV01_TEST_DATA) / ".." / ".." / "assets" / "demo";

struct WindowRig {
    fs::path dir;
    Shell shell;
    VirtualClock clock{1000, 10};  // every sleep of the play loop moves 10 ms
    std::unique_ptr<AudioSystem> audio = AudioSystem::CreateOffline(44100, nullptr, std::string());
    std::vector<std::string> messages;
    std::vector<std::string> events;
    std::unique_ptr<frmMenu> w;

    explicit WindowRig(const fs::path& folder) : dir(folder) {
        fs::create_directories(dir);
        MainWindowParts parts;
        parts.shell = &shell;
        parts.clock = &clock;
        parts.sound = &audio->Sound();
        parts.midi = &audio->Midi();
        parts.listPath = (dir / "default.rxl").string();
        parts.settingsPath = (dir / "jov01.ini").string();
        parts.showMessage = [this](MessageIcon, const std::string& title, const std::string& text) {
            messages.push_back(title + ": " + text);
        };
        parts.endProgram = [this] { events.push_back("end"); };
        w = std::make_unique<frmMenu>(parts);
    }
    // Runs the window's events until the jukebox is idle (or a limit).
    void RunUntilIdle(int ms = 10000) {
        QElapsedTimer t;
        t.start();
        do QTest::qWait(5);
        while ((w->NextPlayTimer().isActive() || w->GetPlayer().State().IsPlaying) && t.elapsed() < ms);
    }
};

inline std::string WriteChart(const fs::path& path, const std::string& title, int measures) {
    std::ofstream f(path, std::ios::binary);
    f << "#TITLE " << title << "\r\n#ARTIST tester\r\n#BPM 120\r\n";
    for (int m = 1; m <= measures; ++m) f << "#" << (m < 10 ? "00" : "0") << m << "01:01\r\n";
    return path.string();
}

}  // namespace jov::test
