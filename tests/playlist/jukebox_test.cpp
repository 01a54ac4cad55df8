#include "playlist/jukebox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../test_util.h"
#include "playlist/playlist.h"
#include "playlist/scan_cache.h"
#include "shell/status.h"

namespace jov {
namespace {

namespace fs = std::filesystem;

std::string Join(const std::vector<int32_t>& values) {
    std::ostringstream out;
    for (size_t i = 0; i < values.size(); ++i) out << (i ? " " : "") << values[i];
    return out.str();
}

// A jukebox over charts c1.bms ... cN.bms whose window and player only record what they
// are asked (the timer is a flag the scenario fires); driven by the lines of a scenario.
struct Rig : JukeboxWindow, JukeboxPlayer {
    jovtest::TempDir dir;
    Shell shell;
    PlayList list{shell};
    Jukebox box{list, *this, *this, [](const std::string&) {}};
    EngineState state;
    std::string now;
    bool timer = false;
    bool endsAtOnce = false;  // every chart ends in its first pass
    bool hasChart = false;    // the last load read its file
    int throwOn = 0;          // loading this chart runs out of memory
    std::vector<int32_t> loads, selected;
    std::string pictures;       // 1 running, 0 idle, as shown
    std::string seek = "none";  // the last: target, tick or measure
    int midiStops = 0, soundStops = 0, dropped = 0;
    size_t duringAt = 0;  // the actions run inside the loop of this load, once
    std::vector<std::string> duringActions;

    explicit Rig(int entries) {
        for (int i = 1; i <= entries; ++i) list.AddPlayListEntry(dir.Write(Name(i), "#TITLE c\r\n"));
        box.makeplaytable();
    }
    static std::string Name(int i) { return std::string("c").append(std::to_string(i)).append(".bms"); }

    void SetNextPlayTimer(bool enabled) override { timer = enabled; }
    void SelectLine(int line) override {  // this raises the list's click reaction
        selected.push_back(line);
        box.OnListClick(line);
    }
    void ShowRunningPicture(bool running) override { pictures += running ? '1' : '0'; }
    double TitleTextWidth(const std::string& text) override { return static_cast<double>(text.size()) * 4; }
    void RestartMarquee(double) override {}
    // The window's events run only once the loop has been asked to stop.
    void PumpEvents() override { EXPECT_TRUE(state.StopRequest); }
    void UpdateBeatDisplay() override {}
    EngineState& State() override { return state; }
    const std::string& NowPlaying() override { return now; }
    bool EndedAtOnce() override { return endsAtOnce; }
    bool HasChart() override { return hasChart; }
    void DropChart() override { ++dropped; }
    bool LoadChart(const std::string& path) override {
        loads.push_back(path.empty() ? -1 : std::stoi(path.substr(path.rfind("/c") + 2)));
        if (loads.back() == throwOn) throw std::bad_alloc();
        now = path;
        state.CurrentTick = 0;
        return hasChart = fs::is_regular_file(path);
    }
    void PlaceStart() override {}
    bool SeekTo(int32_t target, bool byTick) override {
        seek = std::to_string(target) + (byTick ? " tick" : " measure");
        return true;
    }
    void RunPlayLoop() override {
        state.IsPlaying = true;
        state.StopRequest = false;
        if (loads.size() != duringAt) return;
        for (const std::string& action : std::exchange(duringActions, {})) Line(action);
    }
    void StopSounds() override { ++soundStops; }
    void StopMidi() override { ++midiStops; }

    // One line of a scenario (see tests/data/jukebox/steps.txt): an action, or a thing to
    // look at and what it must show.
    void Line(const std::string& line) {
        std::istringstream in(line);
        std::string op;
        double n = 0;
        in >> op >> n;
        const std::map<std::string, std::function<void()>> actions = {
            {"shuffle", [&] { box.SetRandom(true); }},
            {"click", [&] { box.OnListClick(int(n)); }},
            {"play", [&] { box.OnPlayClick(); }},
            {"stop", [&] { box.OnStopClick(); }},
            {"run", [&] {  // fires the timer while it is armed, at most n times
                 for (int i = 0; i < int(n) && timer; ++i) box.OnNextPlayTimer();
             }},
            {"fire", [&] { box.OnNextPlayTimer(); }},
            {"tick", [&] { state.CurrentTick = n; }},
            {"playing", [&] {
                 state.IsPlaying = true;
                 timer = false;
             }},
            {"remove", [&] { list.RemovePlayListEntry(int(n)); }},
            {"clear", [&] { list.ClearPlayList(); }},
            {"maketable", [&] { box.makeplaytable(); }},
            {"delete", [&] { fs::remove(dir / Name(int(n))); }},
            {"write", [&] { dir.Write(Name(int(n)), "#TITLE x\r\n"); }},
            {"silent", [&] { endsAtOnce = true; }},
            {"songs", [&] { box.SetOneChartPerSong(n != 0); }},
            {"song", [&] {  // song N TITLE... OBJECTS: chart N rewritten and read again
                 std::string rest;
                 std::getline(in >> std::ws, rest);
                 const std::size_t cut = rest.rfind(' ');
                 std::string chart = "#TITLE " + rest.substr(0, cut) + "\r\n#00111:";
                 for (int k = std::stoi(rest.substr(cut + 1)); k > 0; --k) chart += "01";
                 const std::string path = dir.Write(Name(int(n)), chart + "\r\n");
                 const auto scan = ScanChartFile(path, nullptr);
                 list.ReplaceEntry(int(n), scan->info, scan->soundingObjects);
             }},
            {"throw", [&] { throwOn = int(n); }},
            {"during", [&] {
                 duringAt = size_t(n);
                 std::getline(in >> std::ws, duringActions.emplace_back());
             }},
        };
        if (const auto a = actions.find(op); a != actions.end()) {
            a->second();
            return;
        }
        const std::map<std::string, std::string> looks = {
            {"loads", Join(loads)},
            {"selected", Join(selected)},
            {"pictures", pictures},
            {"timer", std::to_string(timer)},
            {"state", std::to_string(state.IsPlaying) + " " + std::to_string(state.StopRequest)},
            {"userstop", std::to_string(box.UserStop)},
            {"resume", std::to_string(box.ResumeCurrent)},
            {"table", Join(box.PlayTable)},
            {"seek", seek},
            {"stops", std::to_string(soundStops) + " " + std::to_string(midiStops)},
            {"dropped", std::to_string(dropped)},
        };
        const auto look = looks.find(op);
        EXPECT_EQ(look == looks.end() ? "(no such action or thing to look at)" : look->second,
                  line.substr(std::min(op.size() + 1, line.size())))
            << line;
    }
};

TEST(Jukebox, StepsAsTheScenariosSay) {
    std::ifstream file(std::string(JOV01_TEST_DATA) + "/jukebox/steps.txt");
    std::unique_ptr<Rig> r;
    std::string line;
    int lines = 0;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        SCOPED_TRACE(line);
        ++lines;
        if (line.rfind("list ", 0) == 0) {
            r = std::make_unique<Rig>(std::stoi(line.substr(5)));
            continue;
        }
        ASSERT_TRUE(r) << "no list yet";
        r->Line(line);
    }
    EXPECT_GT(lines, 90);
}

}  // namespace
}  // namespace jov
