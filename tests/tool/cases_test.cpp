// Every case under tests/data/cases: NAME.args holds the expected exit code, then one
// argument a line; NAME.out the expected output. "$D" stands for tests/data and "$T" for
// a fresh folder; a NAME.written beside them the expected bytes of $T/out.rxl. No case
// leaves a $T/midi.wav: the render that names it must fail without a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "../test_util.h"
#include "tool_run.h"

namespace {

namespace fs = std::filesystem;

using jovtest::Slurp;

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += to.size()) s.replace(p, from.size(), to);
    return s;
}

TEST(ToolCases, EveryCaseGivesItsExpectedOutput) {
    const std::string data = JOV01_TEST_DATA;
    const jovtest::TempDir tmpDir;
    const fs::path& tmp = tmpDir.Path();
    int cases = 0;
    for (const auto& e : fs::recursive_directory_iterator(data + "/cases")) {
        if (e.path().extension() != ".args") continue;
        fs::path base = e.path();
        base.replace_extension();
        SCOPED_TRACE(base.string());
        fs::remove_all(tmp);
        fs::create_directories(tmp);
        std::istringstream lines(Replace(Replace(Slurp(e.path()), "$D", data), "$T", tmp.string()));
        std::string line;
        std::getline(lines, line);
        const int code = std::stoi(line);
        std::vector<std::string> args;
        while (std::getline(lines, line)) args.push_back(line);
        const auto run = jov::tooltest::Tool(args);
        EXPECT_EQ(run.code, code);
        EXPECT_EQ(Replace(Replace(run.out, tmp.string(), "$T"), data, "$D"), Slurp(base.string() + ".out"));
        EXPECT_FALSE(fs::exists(tmp / "midi.wav"));
        if (fs::exists(base.string() + ".written")) {
            EXPECT_EQ(Slurp(tmp / "out.rxl"), Slurp(base.string() + ".written"));
        }
        ++cases;
    }
    EXPECT_GE(cases, 80);
}

TEST(ToolCases, EveryCorpusChartParsesAndARenderWritesItsFrames) {
    for (const auto& e : fs::directory_iterator(std::string(JOV01_TEST_DATA) + "/charts")) {
        if (e.path().extension() != ".bms" && e.path().extension() != ".bme") continue;
        const auto parse = jov::tooltest::Tool({"parse", e.path().string()});
        EXPECT_EQ(parse.code, 0) << e.path();
        EXPECT_EQ(parse.out.rfind("{\"Chart\":{\"Title\":", 0), 0u) << e.path();
    }
    const jovtest::TempDir tmp;
    const std::string wav = tmp / "small.wav";
    const auto r = jov::tooltest::Tool({"render", std::string(JOV01_TEST_DATA) + "/engine/small.bms", "-o", wav}, true);
    ASSERT_EQ(r.code, 0);
    // A plain 44-byte PCM WAV holding every frame; the chart's two missing sounds are told.
    const auto frames = std::stoll(r.out.substr(r.out.find("\"frames\":") + 9));
    const std::string bytes = Slurp(wav);
    EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 8) + bytes.substr(36, 4), "RIFFWAVEfmt data");
    EXPECT_EQ(static_cast<long long>(bytes.size()) - 44, frames * 4);
    EXPECT_NE(r.out.find("small.bms: 2 of 2 key sounds could not be loaded"), std::string::npos) << r.out;
    const std::string flac = tmp / "small.flac";  // the extension chooses the format
    ASSERT_EQ(jov::tooltest::Tool({"render", std::string(JOV01_TEST_DATA) + "/engine/small.bms", "-o", flac}).code, 0);
    EXPECT_EQ(Slurp(flac).substr(0, 4), "fLaC");
}

}  // namespace
