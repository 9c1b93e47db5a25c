// The real program on the headless host, driven by scripts from outside: how it ends, what
// it prints and what the screen shows.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "byte_order.h"
#include "process.h"

using namespace testing_support;

namespace {

struct Program {
    std::string folder = FreshFolder("run");

    // The game needs its archive and a high-score file in the working folder.
    Program() {
        EXPECT_EQ(std::system(("cp '" TAVLO_BINARY_DIR "/tavlo.rka' '" + folder + "/'").c_str()),
                  0);
        std::ofstream(folder + "/score.dat", std::ios::binary).write("\0\0\0\0", 4);
    }

    RunResult Start(const std::string& script, const std::string& environment = "") {
        std::ofstream(folder + "/script.txt") << script;
        return Run(
            "cd '" + folder + "' && TAVLO_VIDEO=headless TAVLO_INPUT=script.txt " + environment,
            TAVLO_BINARY);
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(folder + "/" + name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

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

}  // namespace

struct EndCase {
    const char* name;
    const char* script;
    const char* environment;
    int exitCode;
    const char* message;  // expected on standard error; "" for none
};

class ProgramEnds : public ::testing::TestWithParam<EndCase> {};

TEST_P(ProgramEnds, WithItsCodeAndMessage) {
    Program program;
    RunResult result = program.Start(GetParam().script, GetParam().environment);
    EXPECT_EQ(result.exitCode, GetParam().exitCode);
    if (*GetParam().message == '\0') {
        EXPECT_EQ(result.standardError, "");
    } else {
        EXPECT_NE(result.standardError.find(GetParam().message), std::string::npos)
            << result.standardError;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ProgramEnds,
    ::testing::Values(EndCase{"Pause", "1000 down PAUSE\n", "", 1, ""},
                      EndCase{"Close", "# the window's close button\n\n1000 close\n", "", 1, ""},
                      EndCase{"Quit", "500 quit\n", "", 1, ""},
                      EndCase{"NoDisplayMode", "", "TAVLO_FAIL=SetDisplayMode", 1, ""},
                      EndCase{"NoDirectDraw", "", "TAVLO_FAIL=DirectDrawCreate", 1,
                              "エラーが発生したらしい(^^;: DirectDrawを初期化出来ません(;;\n"},
                      // The design's own message, then a plain line of the port's.
                      EndCase{"NoDirectDrawSaysWhy", "", "TAVLO_FAIL=DirectDrawCreate", 1,
                              "(;;\ntavlo: the game could not open its screen"},
                      EndCase{"NoWindowClass", "", "TAVLO_FAIL=RegisterClassA", 0, ""},
                      EndCase{"TimeLimit", "", "TAVLO_TIME_LIMIT=2000", 3, "time limit"},
                      EndCase{"MalformedScript", "10 down UP\n20 jump UP\n", "", 2, "line 2"},
                      EndCase{"UnknownKey", "10 down UPP\n", "", 2, "line 1"},
                      EndCase{"KeyMissing", "10 down\n", "", 2, "line 1"},
                      // Every lock fails: the mosaics have no memory and draw nothing.
                      EndCase{"NoLock", "1000 down PAUSE\n", "TAVLO_FAIL=Lock", 1, ""},
                      // 2^64 + 3 would wrap to 3.
                      EndCase{"TimeBeyond64Bits", "18446744073709551619 down PAUSE\n", "", 2,
                              "line 1"},
                      EndCase{"LeadingZeros", "000000000000000000000000000500 quit\n", "", 1, ""},
                      EndCase{"ScriptIsAFolder", "", "TAVLO_INPUT=.", 2, "folder"},
                      EndCase{"TimeLimitJunk", "", "TAVLO_TIME_LIMIT=2s", 2, "TAVLO_TIME_LIMIT"},
                      EndCase{"ClockStartJunk", "", "TAVLO_CLOCK_START=-1", 2, "TAVLO_CLOCK_START"},
                      EndCase{"ClockStartBeyond32Bits", "", "TAVLO_CLOCK_START=4294967296", 2,
                              "TAVLO_CLOCK_START"}),
    [](const auto& info) { return std::string(info.param.name); });

// A second game in the same folder would clash with the first over "tmp.bmp": it says so and
// ends; once the first has ended, the folder is free again.
TEST(TwoInstances, TheSecondInOneFolderEndsWithAMessage) {
    Program program;
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        // Nothing to do but wait at the title, far longer than this test takes.
        if (::chdir(program.folder.c_str()) == 0) {
            ::setenv("TAVLO_VIDEO", "headless", 1);
            ::setenv("TAVLO_TIME_LIMIT", "100000000000", 1);
            ::execl(TAVLO_BINARY, TAVLO_BINARY, static_cast<char*>(nullptr));
        }
        ::_exit(127);
    }
    auto heldByAnother = [&] {
        const int fd = ::open(program.folder.c_str(), O_RDONLY | O_DIRECTORY);
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    };
    for (int tries = 0; tries < 500 && !heldByAnother(); ++tries) ::usleep(10000);
    ASSERT_TRUE(heldByAnother());
    const RunResult second = program.Start("");
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.standardError.find("the game is already running in " + program.folder),
              std::string::npos)
        << second.standardError;
    // And a dialog, for a player who started it from the desktop (headless: on stderr).
    EXPECT_NE(second.standardError.find("Tavlo: Tavlo is already running with its data in " +
                                        program.folder),
              std::string::npos)
        << second.standardError;
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    EXPECT_FALSE(heldByAnother());
}

// A "score.dat" kept read-only on purpose: QUIT with no new best loses nothing, so it ends with
// the reason on stderr and no note of the port's.
TEST(ReadOnlyScore, QuitWithNothingNewEndsWithoutANote) {
    Program program;
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + program.folder + "' && chmod 0444 '" +
                           program.folder + "/score.dat'")
                              .c_str()),
              0);
    std::ofstream(program.folder + "/script.txt")
        << "7000 down DOWN\n7050 up DOWN\n7200 down RETURN\n7250 up RETURN\n";
    const RunResult result = testing_support::Run(
        "cd '" + program.folder +
            "' && TAVLO_VIDEO=headless TAVLO_INPUT=script.txt TAVLO_TIME_LIMIT=20000",
        "setpriv --reuid=65534 --regid=65534 --clear-groups " TAVLO_BINARY);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardError,
              "tavlo: cannot replace \"score.dat\" with \"score.dat.tmp\": Permission denied\n");
}

TEST(Scripts, AHugeMalformedLineIsQuotedOnlyInPart) {
    Program program;
    RunResult result = program.Start("10 down UP\n" + std::string(10'000'000, 'x') + "\n");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.standardError.find("line 2: malformed: " + std::string(80, 'x') + "...\n"),
              std::string::npos);
    EXPECT_LT(result.standardError.size(), 200u);
}

TEST(Captures, APictureThatCannotBeWrittenEndsTheRunWithoutItsRow) {
    Program program;
    std::filesystem::create_directories(program.folder + "/cap/000001.bmp");
    RunResult result = program.Start("1000 down PAUSE\n", "TAVLO_CAPTURE=cap");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.standardError.find("cap/000001.bmp"), std::string::npos)
        << result.standardError;
    auto rows = Frames(program.Read("cap/frames.tsv"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "000000");
}

TEST(Captures, FirstFlipIsABlankScreenAndTimesAreVirtual) {
    Program program;
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
    Program program;
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
    Program program;
    RunResult result = program.Start("0 down CONTROL\n40 down PAUSE\n", "TAVLO_CAPTURE=cap");
    EXPECT_EQ(result.exitCode, 1);
    // Without Ctrl the 300 ms start-up wait alone would put the first frame after 300 ms.
    auto rows = Frames(program.Read("cap/frames.tsv"));
    int flipsBefore40 = 0;
    for (const auto& row : rows) flipsBefore40 += row[2] == "flip" && std::stoi(row[1]) < 40;
    EXPECT_GT(flipsBefore40, 5);
}
