// The headless host as the program meets it, run from outside: input scripts and the settings it
// reads from the environment, the virtual clock and its limit, captures.
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "byte_order.h"
#include "process.h"
#include "program_ends.h"

using namespace testing_support;

namespace {

std::vector<std::vector<std::string>> Frames(const std::string& tsv) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(tsv);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, '\t')) fields.push_back(cell);
        rows.push_back(fields);
    }
    return rows;
}

class HeadlessRuns : public ::testing::TestWithParam<EndCase> {};

}  // namespace

TEST_P(HeadlessRuns, EndWithTheirCodeAndMessage) {
    ExpectEnd(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, HeadlessRuns,
    ::testing::Values(EndCase{"TimeLimit", "", "TAVLO_TIME_LIMIT=2000", 3, "time limit"},
                      EndCase{"MalformedScript", "10 down UP\n20 jump UP\n", "", 2, "line 2"},
                      EndCase{"UnknownKey", "10 down UPP\n", "", 2, "line 1"},
                      EndCase{"KeyMissing", "10 down\n", "", 2, "line 1"},
                      // 2^64 + 3 would wrap to 3.
                      EndCase{"TimeBeyond64Bits", "18446744073709551619 down PAUSE\n", "", 2,
                              "line 1"},
                      EndCase{"LeadingZeros", "000000000000000000000000000500 quit\n", "", 1, ""},
                      EndCase{"ScriptIsAFolder", "", "TAVLO_INPUT=.", 2, "folder"},
                      EndCase{"TimeLimitJunk", "", "TAVLO_TIME_LIMIT=2s", 2, "TAVLO_TIME_LIMIT"},
                      EndCase{"ClockStartJunk", "", "TAVLO_CLOCK_START=-1", 2, "TAVLO_CLOCK_START"},
                      EndCase{"ClockStartBeyond32Bits", "", "TAVLO_CLOCK_START=4294967296", 2,
                              "TAVLO_CLOCK_START"}),
    EndCaseName);

TEST(Scripts, AHugeMalformedLineIsQuotedOnlyInPart) {
    GameFolder program("headless");
    RunResult result = program.Start("10 down UP\n" + std::string(10'000'000, 'x') + "\n");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.standardError.find("line 2: malformed: " + std::string(80, 'x') + "...\n"),
              std::string::npos);
    EXPECT_LT(result.standardError.size(), 200u);
}

TEST(Captures, APictureThatCannotBeWrittenEndsTheRunWithoutItsRow) {
    GameFolder program("headless");
    std::filesystem::create_directories(program.path + "/cap/000001.bmp");
    RunResult result = program.Start("1000 down PAUSE\n", "TAVLO_CAPTURE=cap");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.standardError.find("cap/000001.bmp"), std::string::npos)
        << result.standardError;
    auto rows = Frames(program.Read("cap/frames.tsv"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "000000");
}

TEST(Captures, FirstFlipIsABlankScreenAndTimesAreVirtual) {
    GameFolder program("headless");
    RunResult result = program.Start("1000 down PAUSE\n", "TAVLO_CAPTURE=cap/frames");
    ASSERT_EQ(result.exitCode, 1);
    auto rows = Frames(program.Read("cap/frames/frames.tsv"));
    ASSERT_FALSE(rows.empty());
    std::string firstFlip;
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 3u);
        EXPECT_EQ(row[0].size(), 6u);
        if (row[2] == "flip" && firstFlip.empty()) {
            firstFlip = row[0];
            EXPECT_EQ(row[1], "0");  // presented at once, before the 300 ms wait
        }
        EXPECT_LE(std::stoi(row[1]), 1000);
    }
    ASSERT_FALSE(firstFlip.empty());

    std::string bmp = program.Read("cap/frames/" + firstFlip + ".bmp");
    ASSERT_GE(bmp.size(), 1078u + 76800u);
    auto u32 = [&](std::size_t at) {
        return platform::ReadLe32(reinterpret_cast<const std::uint8_t*>(bmp.data() + at));
    };
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(u32(18), 320u);
    EXPECT_EQ(u32(22), 240u);  // positive: bottom-up
    EXPECT_EQ(static_cast<unsigned char>(bmp[28]), 8);
    EXPECT_EQ(u32(30), 0u);  // uncompressed
    const unsigned offset = u32(10);
    ASSERT_EQ(bmp.size(), offset + 76800u);
    for (std::size_t i = offset; i < bmp.size(); ++i) ASSERT_EQ(bmp[i], 0) << i;
}

TEST(Captures, ClockStartNearTheWrapStillRunsAndEnds) {
    GameFolder program("headless");
    RunResult result =
        program.Start("1000 down PAUSE\n", "TAVLO_CLOCK_START=4294967000 TAVLO_CAPTURE=cap");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardError, "");
    auto rows = Frames(program.Read("cap/frames.tsv"));
    ASSERT_FALSE(rows.empty());
    EXPECT_LE(std::stoi(rows.back()[1]), 1000);
    EXPECT_GE(std::stoi(rows.back()[1]), 900);
}

TEST(Captures, CtrlHeldRunsTheWaitsAtOnce) {
    GameFolder program("headless");
    RunResult result = program.Start("0 down CONTROL\n40 down PAUSE\n", "TAVLO_CAPTURE=cap");
    EXPECT_EQ(result.exitCode, 1);
    // Without Ctrl the 300 ms start-up wait alone would put the first frame after 300 ms.
    auto rows = Frames(program.Read("cap/frames.tsv"));
    int flipsBefore40 = 0;
    for (const auto& row : rows) flipsBefore40 += row[2] == "flip" && std::stoi(row[1]) < 40;
    EXPECT_GT(flipsBefore40, 5);
}
