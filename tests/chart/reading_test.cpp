// Auto's choice between the Classic and the Extended reading.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "../test_util.h"
#include "chart/reading.h"

namespace {

using jov::ChartReading;
using jov::ChooseReading;
using jov::ConstructNames;
using jov::ExtendedConstructs;
using jov::ReadingMode;

// Every corpus chart against the reading and constructs written down from its lines.
TEST(Reading, CorpusChartsSplitAsTheirLinesSay) {
    const std::string data = JOV01_TEST_DATA;
    std::ifstream list(data + "/reading/corpus.txt");
    std::string row;
    int charts = 0, extended = 0;
    ChartReading autoReading;
    while (std::getline(list, row)) {
        if (row.empty() || row[0] == '#') continue;
        std::istringstream fields(row);
        std::string file, reading, constructs;
        std::getline(fields, file, '\t');
        std::getline(fields, reading, '\t');
        std::getline(fields, constructs);
        SCOPED_TRACE(file);
        const std::string bytes = jovtest::Slurp(data + "/charts/" + file);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(ConstructNames(ExtendedConstructs(bytes)), constructs);
        EXPECT_EQ(ChooseReading(&autoReading, bytes).extended, reading == "extended");
        ++charts;
        extended += reading == "extended";
    }
    EXPECT_EQ(charts, 52);
    EXPECT_EQ(extended, 40);
}

TEST(Reading, EachTriggerAndItsNearMisses) {
    const std::string bpm = "#BPM 120\r\n";
    const struct {
        std::string text;
        std::string constructs;
    } kCases[] = {
        // Triggers, one each.
        {bpm + "#WAV0G a.wav\r\n", "base-36 slots"},
        {bpm + "#bmpz1 a.bmp\r\n", "base-36 slots"},
        {bpm + "#WAV1 a.wav\r\n", "base-36 slots"},  // the slot's second character is a blank
        {bpm + "#00111:0001zz00\r\n", "base-36 slots"},
        {bpm + "#00104:0W\r\n", "base-36 slots"},  // any channel, pictures too
        {bpm + "#BPM01 240\r\n", "#BPMxx tempos"},
        {bpm + "#bpmZZ 240\r\n", "#BPMxx tempos"},
        {bpm + "#00108:0001\r\n", "#BPMxx tempos"},
        {bpm + "#STOP01 96\r\n", "stops"},
        {bpm + "#00109:01\r\n", "stops"},
        {bpm + "#00151:0100\r\n", "long notes"},
        {bpm + "#00169:01\r\n", "long notes"},
        {bpm + "#LNOBJ ZZ\r\n", "long notes"},
        {bpm + "#RANDOM 2\r\n", "#RANDOM blocks"},
        {bpm + "#setrandom 1\r\n", "#RANDOM blocks"},
        {bpm + "#IF 1\r\n", "#RANDOM blocks"},
        {bpm + "#ELSEIF 2\r\n", "#RANDOM blocks"},
        {bpm + "#ELSE\r\n", "#RANDOM blocks"},
        {bpm + "#ENDIF\r\n", "#RANDOM blocks"},
        {bpm + "#ENDRANDOM\r\n", "#RANDOM blocks"},
        {"#TITLE x\r\n#00111:01\r\n", "no #BPM"},
        {"", "no #BPM"},
        {"#BPM01 120\r\n", "#BPMxx tempos, no #BPM"},
        // Near misses: the Classic subset as it stands.
        {bpm + "#WAVaF a.wav\r\n#BMP0e b.bmp\r\n#00111:AaFf0e\r\n", ""},
        {"#BPM   150   \r\n", ""},
        {"#BPM\t150\n", ""},
        {"#bpm 150\r\n", ""},
        {bpm + "#TITLE #RANDOM #IF #BPM01 #00108:01\r\n", ""},
        {bpm + " #BPM01 200\r\n  #STOP01 1\r\nx#RANDOM 2\r\n", ""},  // not at a line's start
        {bpm + "#00102:0.75\r\n", ""},                                  // a length, not objects
        {bpm + "#00108:0000\r\n#00151:\r\n#00109:00\r\n", ""},          // no object at all
        {bpm + "#00111:01z\r\n", ""},                                   // an odd last character is no pair
        {bpm + "#IFX 1\r\n#ENDIF2\r\n#RANDOMIZE\r\n", ""},
        // Lines as the walk finds them.
        {"#\r\n#BPM 120\r\n", "no #BPM"},          // a lone "#" takes the next line as its text
        {"#\r\n\r\n#BPM 120\r\n", ""},
        {"#\n#STOP01 1\n#BPM 120\n", ""},
        {"#BPM 120\r#00109:01\r", "stops"},         // lone CR ends a line
        {"#BPM 120\n#00109:01", "stops"},          // lone LF, no end at all
        {"\xEF\xBB\xBF#BPM 120\r\n", ""},          // UTF-8 byte-order mark dropped
        {"\xEF\xBB\xBF#BPM 120\r\n\x82\xA0\r\n", "no #BPM"},  // not UTF-8: the mark begins line 1
        // A channel line beyond ASCII counts characters, not bytes.
        {bpm + "#00111:01\xE3\x81\x82\r\n", ""},
        {bpm + "#00111:01\xE3\x81\x82Z\r\n", "base-36 slots"},
        {bpm + "#00111:01\x82\xA0\r\n", ""},  // code page 932: one character
    };
    ChartReading autoReading;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ConstructNames(ExtendedConstructs(c.text)), c.constructs);
        EXPECT_EQ(ChooseReading(&autoReading, c.text).extended, !c.constructs.empty());
    }
    // The text ends at a NUL.
    const std::string nul("#BPM 120\r\n\0#RANDOM 2\r\n", 22);
    EXPECT_EQ(ExtendedConstructs(nul), 0u);
    EXPECT_EQ(ExtendedConstructs(nul.substr(0, 10) + nul.substr(11)), uint32_t{jov::kRandomBlocks});

    // UTF-16 is read as its characters.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("#BPM 120\r\n#STOP01 1\r\n")) utf16 += std::string{c, '\0'};
    EXPECT_EQ(ConstructNames(ExtendedConstructs(utf16)), "stops");

    // Only Auto looks; no reading at all reads Classic.
    ChartReading classic{ReadingMode::Classic};
    ChartReading extended{ReadingMode::Extended};
    EXPECT_FALSE(ChooseReading(&classic, "#STOP01 1").extended);
    EXPECT_FALSE(ChooseReading(nullptr, "#STOP01 1").extended);
    EXPECT_TRUE(ChooseReading(&extended, bpm).extended);
    EXPECT_EQ(jov::DescribeReading(ReadingMode::Auto, ChooseReading(&autoReading, "#STOP01 1\r\n#00151:01")),
              "Extended reading: stops, long notes, no #BPM");
}

}  // namespace
