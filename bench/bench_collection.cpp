// A whole collection added while a chart plays: 20,000 generated charts in 5,000 song
// folders dropped on the real window, whose play loop runs a chart on the steady clock
// into the live mixer, pulled by a stand-in sound card on its own schedule.
// Counters:
//   pass_median_ms, pass_worst_ms    gaps between play-loop passes during the add
//   event_median_ms, event_worst_ms  gaps between firings of a 5 ms window timer
//   add_s, tool_s, ratio             the add (empty cache) against `jov01-tool list --write`
//                                    of the same paths, run first in the same process
//   identical                        1 when the window's list file equals the tool's
//   again_s                          the same add once more (every chart in the cache)
//   silence_ms                       the longest silence in the playing chart's output
//                                    (its tone sounds without a break when on time)
//   find_open_ms, find_ms            opening the filter on the 20,000 lines (folds every
//                                    line once), and one more typed letter after that
//   sort_ms                          Sort by artist of the 20,000 lines
//   idle_pass_worst_ms, idle_event_worst_ms, idle_silence_ms
//                                    the same over 4 s of play before the add, for the
//                                    machine's own stalls (a busy machine shows them)
// The collection is made once in $TMPDIR/jov01_bench_collection and kept. raised:1 runs
// at the raised priority the program asks for at start-up (granted to root or with an
// RLIMIT_NICE); raised:0 at the ordinary one, against every other process.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "audio/mixer.h"
#include "paced_device.h"
#include "shell/clock.h"
#include "shell/status.h"
#include "ui/main_window.h"

namespace {

using namespace jov;
namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr int kFolders = 5000;
constexpr int kPerFolder = 4;

double NowMs() { return std::chrono::duration<double, std::milli>(Steady::now().time_since_epoch()).count(); }

using bench::PacedDevice;

// Song folders of four difficulties, as packages come: a few WAV lines, 64 measures.
fs::path MakeCollection() {
    const fs::path root = fs::temp_directory_path() / "jov01_bench_collection";
    if (fs::exists(root / "done")) return root;
    fs::remove_all(root);
    const char* names[kPerFolder] = {"_n.bms", "_h.bms", "_a.bms", "_x.bme"};
    const char* marks[kPerFolder] = {"[NORMAL]", "[HYPER]", "[ANOTHER]", "(EX)"};
    for (int f = 0; f < kFolders; ++f) {
        const fs::path folder = root / std::string("g").append(std::to_string(f / 100)) / std::string("song").append(std::to_string(f));
        fs::create_directories(folder);
        for (int c = 0; c < kPerFolder; ++c) {
            std::ofstream out(folder / std::string("s").append(std::to_string(f)).append(names[c]), std::ios::binary);
            out << "#PLAYER 1\r\n#GENRE Bench\r\n#TITLE Song " << f << ' ' << marks[c] << "\r\n#ARTIST Artist "
                << f % 700 << "\r\n#BPM " << 120 + f % 80 << "\r\n#PLAYLEVEL " << c * 3 + 1 << "\r\n#RANK 2\r\n";
            for (int w = 1; w <= 16; ++w) out << "#WAV" << (w < 10 ? "0" : "") << w << " k" << w << ".wav\r\n";
            for (int m = 1; m <= 64; ++m)
                for (int ch = 11; ch <= 11 + c; ++ch)
                    out << '#' << (m < 10 ? "00" : "0") << m << ch << ":0" << (m % 9 + 1) << "000" << (ch % 9 + 1)
                        << "000" << (c + 1) << "0000\r\n";
        }
    }
    std::ofstream(root / "done") << "";
    return root;
}

// A 260 ms tone every 250 ms for three minutes: on time (each start cuts the last
// 10 ms short), it never falls silent.
std::string MakePlayingChart(const fs::path& dir) {
    const int frames = kRate * 26 / 100;
    std::ofstream wav(dir / "tone.wav", std::ios::binary);
    auto u32 = [&](uint32_t v) { wav.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { wav.write(reinterpret_cast<const char*>(&v), 2); };
    wav << "RIFF";
    u32(36 + frames * 2);
    wav << "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(kRate), u32(kRate * 2), u16(2), u16(16);
    wav << "data";
    u32(frames * 2);
    for (int i = 0; i < frames; ++i) u16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 441 / kRate + 0.3))));
    wav.close();
    std::ofstream chart(dir / "play.bms", std::ios::binary);
    chart << "#TITLE tone\r\n#BPM 240\r\n#WAV01 tone.wav\r\n";
    for (int m = 1; m <= 180; ++m) chart << '#' << (m < 10 ? "00" : m < 100 ? "0" : "") << m << "01:01010101\r\n";
    return (dir / "play.bms").string();
}

// Gaps between stamps; a NaN stamp starts afresh (the harness's own work between the adds).
void Stats(const std::vector<double>& stamps, double& median, double& worst) {
    std::vector<double> gaps;
    for (size_t i = 1; i < stamps.size(); ++i)
        if (!std::isnan(stamps[i]) && !std::isnan(stamps[i - 1])) gaps.push_back(stamps[i] - stamps[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    median = gaps.empty() ? NAN : gaps[gaps.size() / 2];
    worst = gaps.empty() ? NAN : gaps.back();
}

// As the program does at start-up (when the system grants it); threads started afterwards
// inherit it, and the adding threads step back from it.
void RaisePriority() {
    for (int nice = -20; nice < 0; nice += 5)
        if (setpriority(PRIO_PROCESS, 0, nice) == 0) return;
}

void BM_AddCollectionWhilePlaying(benchmark::State& state) {
    if (state.range(0) != 0) RaisePriority();
    static int argc = 1;
    static char name[] = "bench_collection";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    const fs::path root = MakeCollection();
    const fs::path work = fs::temp_directory_path() / ("jov01_bench_work_" + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::string play = MakePlayingChart(work);

    for (auto _ : state) {
        // The tool first, so both find the files in the system's cache.
        const double toolStart = NowMs();
        std::string command = "'";
        for (const std::string& part : {std::string(JOV01_TOOL), std::string("' list --write '"), (work / "tool.rxl").string(),
                                        std::string("' '"), play, std::string("' '"), root.string(), std::string("' >/dev/null 2>&1")})
            command += part;
        if (std::system(command.c_str()) != 0) state.SkipWithError("jov01-tool failed");
        const double toolS = (NowMs() - toolStart) / 1000;

        fs::remove(work / "scan.cache");
        Shell shell;
        SteadyClock clock;
        Mixer mixer(kRate);
        mixer.SetLive(NowMs, 30.0);
        PacedDevice device(mixer, 400.0);
        MainWindowParts parts;
        parts.shell = &shell;
        parts.clock = &clock;
        parts.sound = &mixer;
        parts.listPath = (work / "default.rxl").string();
        parts.settingsPath = (work / "jov01.ini").string();
        parts.scanCachePath = (work / "scan.cache").string();
        parts.showMessage = [](MessageIcon, const std::string&, const std::string&) {};
        parts.endProgram = [] {};
        frmMenu w(parts);
        w.EnsureLoaded();
        w.AddDropped({play});
        w.FinishAdds();

        std::vector<double> passes, events, idlePasses, idleEvents;
        bool recording = false, stopped = false;
        int phase = 0;  // 0 playing, 1 first add, 2 second add
        double addStart = 0, addS = 0, againS = 0, soundFrom = 0, soundTo = 0, idleFrom = 0;
        double betweenFrom = 0, betweenTo = 0;  // the harness's own save and clear
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (recording) events.push_back(NowMs());
            if (phase == 0 && idleFrom > 0) idleEvents.push_back(NowMs());
        });
        probe.start(5);
        int passCount = 0;
        w.SetDrawNotes([&] {
            const double now = NowMs();
            if (recording) passes.push_back(now);
            if (phase == 0 && idleFrom > 0) idlePasses.push_back(now);
            if (++passCount == 150) idleFrom = now;
            if (phase == 0 && idleFrom > 0 && now - idleFrom > 4000) {
                phase = 1;
                soundFrom = now;
                addStart = now;
                recording = true;
                w.AddDropped({root.string()});
            } else if (phase == 1 && !w.Adding()) {
                addS = (now - addStart) / 1000;
                betweenFrom = now;
                w.GetPlayList().SavePlayList((work / "window.rxl").string(), true);
                w.GetPlayList().ClearPlayList();
                passes.push_back(NAN);
                events.push_back(NAN);
                phase = 2;
                addStart = NowMs();
                betweenTo = addStart + 50;  // its late starts, too
                w.AddDropped({root.string()});
            } else if (phase == 2 && !w.Adding()) {
                againS = (now - addStart) / 1000;
                recording = false;
                soundTo = now;
                phase = 3;
                w.cmdStop->click();
                stopped = true;
            }
        });
        device.Start();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        w.ClickLine(0);
        const double limit = NowMs() + 380000;
        while (!stopped && NowMs() < limit) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        device.Stop();
        probe.stop();

        QElapsedTimer find;
        find.start();
        w.OpenFilter();
        w.FilterLine()->setText(QStringLiteral("song 4"));
        state.counters["find_open_ms"] = find.nsecsElapsed() / 1e6;
        find.restart();
        w.FilterLine()->setText(QStringLiteral("song 42"));
        state.counters["find_ms"] = find.nsecsElapsed() / 1e6;
        w.CloseFilter();
        find.restart();
        w.SortList(SortKey::Artist);
        state.counters["sort_ms"] = find.nsecsElapsed() / 1e6;

        // The longest run of silent frames while the chart played on during the adds.
        const auto& pcm = device.Output();
        auto longestSilence = [&](int64_t from, int64_t to) {
            int64_t run = 0, worstRun = 0;
            for (int64_t f = std::max<int64_t>(0, from); f < std::min(to, device.Frames()); ++f) {
                run = pcm[2 * f] == 0 ? run + 1 : 0;
                worstRun = std::max(worstRun, run);
            }
            return worstRun * 1000.0 / kRate;
        };
        auto frameOf = [&](double ms) { return static_cast<int64_t>((ms + 30 - device.T0Ms()) * kRate / 1000); };
        double median = 0, worst = 0;
        Stats(passes, median, worst);
        state.counters["pass_median_ms"] = median;
        state.counters["pass_worst_ms"] = worst;
        Stats(events, median, worst);
        state.counters["event_median_ms"] = median;
        state.counters["event_worst_ms"] = worst;
        state.counters["add_s"] = addS;
        state.counters["tool_s"] = toolS;
        state.counters["ratio"] = toolS > 0 ? addS / toolS : NAN;
        state.counters["again_s"] = againS;
        std::ifstream a(work / "window.rxl", std::ios::binary), b(work / "tool.rxl", std::ios::binary);
        const std::string wa((std::istreambuf_iterator<char>(a)), {}), wb((std::istreambuf_iterator<char>(b)), {});
        state.counters["identical"] = !wa.empty() && wa == wb;
        state.counters["lines"] = static_cast<double>(w.GetPlayList().PlayListCount());
        state.counters["silence_ms"] = std::max(longestSilence(frameOf(soundFrom), frameOf(betweenFrom)),
                                                longestSilence(frameOf(betweenTo), frameOf(soundTo - 5)));  // not the stop
        state.counters["idle_silence_ms"] = longestSilence(frameOf(idleFrom), frameOf(soundFrom));
        Stats(idlePasses, median, worst);
        state.counters["idle_pass_worst_ms"] = worst;
        Stats(idleEvents, median, worst);
        state.counters["idle_event_worst_ms"] = worst;
    }
    fs::remove_all(work);
}
BENCHMARK(BM_AddCollectionWhilePlaying)->ArgName("raised")->Arg(0)->Arg(1)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
