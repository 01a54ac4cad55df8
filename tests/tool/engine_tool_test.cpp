// jov01-tool simulate and render, run as a user runs them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tool_run.h"

namespace {

using namespace jov::tooltest;

// Runs the tool with blank-separated arguments (none of them holds a blank); returns its lines.
struct LineRun {
    int code;
    std::vector<std::string> lines;
};
LineRun Tool(const std::string& args) {
    std::vector<std::string> split;
    for (size_t b = 0, e; b < args.size(); b = e + 1) {
        e = args.find(' ', b);
        if (e == std::string::npos) e = args.size();
        if (e > b) split.push_back(args.substr(b, e - b));
    }
    ToolRun r = jov::tooltest::Tool(split);
    return {r.code, r.Lines()};
}

// The value of "key" in a flat one-line object ("" when absent).
std::string Field(const std::string& line, const std::string& key) {
    auto k = line.find("\"" + key + "\":");
    if (k == std::string::npos) return "";
    auto b = k + key.size() + 3;
    while (b < line.size() && line[b] == ' ') ++b;
    auto e = line.find_first_of(",}", b);
    return line.substr(b, e - b);
}
long long Int(const std::string& line, const std::string& key) { return std::stoll(Field(line, key)); }

const std::string kData = JOV01_TEST_DATA;

TEST(EngineToolTest, SimulateFollowsTheClockAtEverySleepAndLoadMode) {
    // small.bms: 120 BPM; key 01 at 192, scratch 02 at 288, background 01 at 384;
    // bar lines every 192 ticks up to 768. Play starts at its first sound, tick 192.
    const float perMs = 120.0f / 1250.0f;
    struct Ev { int tick, channel, value; bool sounded; };
    const std::vector<Ev> events = {{0, -1, 0, false},  {192, -1, 0, false}, {192, 11, 1, true}, {288, 16, 2, true},
                                    {384, -1, 0, false}, {384, 1, 1, true},  {576, -1, 0, false}, {768, -1, 0, false}};
    for (int mode : {0, 1}) {
        for (int sleep : {1, 10, 15}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " sleep " + std::to_string(sleep));
            LineRun r = Tool("simulate " + kData + "/engine/small.bms --sleep " + std::to_string(sleep) +
                         " --load-mode " + std::to_string(mode));
            ASSERT_EQ(r.code, 0);
            std::vector<long long> loads;
            size_t i = 0;
            for (; i < r.lines.size() && Field(r.lines[i], "load") != ""; ++i) {
                EXPECT_EQ(Int(r.lines[i], "pass"), 0);
                loads.push_back(Int(r.lines[i], "load"));
            }
            // The parser's loads (mode 0) come first, then the start placement's.
            std::vector<long long> want = {1, 2, 1};
            if (mode == 0) want.insert(want.begin(), {1, 2});
            EXPECT_EQ(loads, want);

            // Each event goes out in the first pass whose clock reaches it.
            std::map<std::pair<int, int>, std::string> seen;
            for (; i + 1 < r.lines.size(); ++i) {
                const std::string& l = r.lines[i];
                ASSERT_NE(Field(l, "tick"), "") << l;
                seen[{static_cast<int>(Int(l, "tick")), static_cast<int>(Int(l, "channel"))}] = l;
            }
            ASSERT_EQ(seen.size(), events.size());
            long long lastPass = 0, lastElapsed = 0;
            for (const auto& e : events) {
                const std::string& l = seen[{e.tick, e.channel}];
                long long pass = 1, elapsed = 2000;  // the seek put tick 192 at 2000 ms
                while (static_cast<double>(elapsed) * perMs < e.tick) ++pass, elapsed += sleep;
                EXPECT_EQ(Int(l, "pass"), pass) << l;
                EXPECT_EQ(Int(l, "elapsed"), elapsed) << l;
                EXPECT_NEAR(std::stod(Field(l, "at")), static_cast<double>(elapsed) * perMs, 1e-9) << l;
                EXPECT_EQ(Int(l, "value"), e.value);
                EXPECT_EQ(Field(l, "sounded"), e.sounded ? "true" : "false") << l;
                lastPass = pass;
                lastElapsed = elapsed;
            }
            EXPECT_EQ(r.lines.back(), "{\"passes\":" + std::to_string(lastPass) + ",\"elapsed\":" +
                                          std::to_string(lastElapsed) + "}");
        }
    }
}

TEST(EngineToolTest, SimulateLogsLoadsWhereTheyHappen) {
    // midi.bms names a MIDI file, so play starts at tick 0 with nothing preloaded.
    LineRun r = Tool("simulate " + kData + "/engine/midi.bms");
    ASSERT_EQ(r.code, 0);
    ASSERT_GE(r.lines.size(), 4u);
    EXPECT_EQ(Int(r.lines[0], "pass"), 1);
    EXPECT_EQ(Int(r.lines[0], "channel"), -1);
    // The look-ahead after the first pass's dispatch loads 03; 04 sits at the cursor
    // and is loaded by its own trigger, logged just before its event.
    EXPECT_EQ(r.lines[1], "{\"pass\":1,\"load\":3}");
    EXPECT_EQ(Field(r.lines[2], "load"), "4");
    EXPECT_EQ(Int(r.lines[3], "channel"), 12);
    EXPECT_EQ(Int(r.lines[2], "pass"), Int(r.lines[3], "pass"));
    // 48 ticks at 0.12 (as a single, just under) ticks per ms: 410 ms.
    EXPECT_EQ(Int(r.lines[3], "elapsed"), 410);
    EXPECT_EQ(Int(r.lines[3], "pass"), 42);
    for (const auto& l : r.lines) {
        if (Field(l, "channel") == "17") {
            EXPECT_EQ(Field(l, "sounded"), "false");
        }
    }

    LineRun m0 = Tool("simulate " + kData + "/engine/midi.bms --load-mode 0 --sleep 0");
    ASSERT_GE(m0.lines.size(), 3u);
    EXPECT_EQ(m0.lines[0], "{\"pass\":0,\"load\":3}");
    EXPECT_EQ(m0.lines[1], "{\"pass\":0,\"load\":4}");
    EXPECT_EQ(Field(m0.lines[2], "load"), "");
}

TEST(EngineToolTest, BadInvocationsExitWithTheirCodes) {
    LineRun missing = Tool("simulate " + kData + "/engine/no_such_chart.bms");
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.lines.empty());
    EXPECT_EQ(Tool("simulate " + kData).code, 1);  // a folder is not a readable chart
    EXPECT_EQ(Tool("simulate").code, 2);
    EXPECT_EQ(Tool("simulate " + kData + "/engine/small.bms --sleep x").code, 2);
    EXPECT_EQ(Tool("simulate " + kData + "/engine/small.bms --load-mode 2").code, 2);
    EXPECT_EQ(Tool("render " + kData + "/engine/small.bms").code, 2);
    EXPECT_EQ(Tool("render " + kData + "/engine/no_such_chart.bms -o /dev/null").code, 1);
    // A MIDI background at a rate the synthesiser cannot run at: an error, no file.
    const std::string out = testing::TempDir() + "jov01_midi_192k.wav";
    EXPECT_EQ(Tool("render " + kData + "/engine/midi.bms -o " + out + " --rate 192000").code, 1);
    EXPECT_NE(::access(out.c_str(), F_OK), 0);
}

TEST(EngineToolTest, RenderWritesTheWaveAndReportsMissingSounds) {
    const std::string out = testing::TempDir() + "jov01_small.wav";
    LineRun r = Tool("render " + kData + "/engine/small.bms -o " + out + " --rate 22050");
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.lines.size(), 1u);
    // Play runs from 2000 ms to the last bar line at 8000 ms; no sound file exists.
    EXPECT_EQ(Int(r.lines[0], "rate"), 22050);
    EXPECT_NEAR(static_cast<double>(Int(r.lines[0], "frames")), 6.0 * 22050, 0.02 * 22050);
    EXPECT_EQ(Int(r.lines[0], "sounds"), 3);
    EXPECT_NE(r.lines[0].find("\"missing\":[1,2]"), std::string::npos) << r.lines[0];
    // A WAV (room kept for the RF64 header a render past 4 GiB needs), holding every frame.
    std::ifstream f(out, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 4), "WAVE");
    const size_t data = bytes.find("data");
    ASSERT_NE(data, std::string::npos);
    EXPECT_EQ(static_cast<int64_t>(bytes.size() - data - 8), Int(r.lines[0], "frames") * 4);
    std::remove(out.c_str());

    // The extension chooses the format.
    const std::string flac = testing::TempDir() + "jov01_small.flac";
    ASSERT_EQ(Tool("render " + kData + "/engine/small.bms -o " + flac).code, 0);
    std::ifstream flacFile(flac, std::ios::binary);
    std::string magic(4, '\0');
    flacFile.read(magic.data(), 4);
    EXPECT_EQ(magic, "fLaC");
    std::remove(flac.c_str());
}

}  // namespace
