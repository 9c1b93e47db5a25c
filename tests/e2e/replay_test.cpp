// Replays through the real program: a recorded run plays back to the same frames, a run keeps
// its seed, a file that does not fit ends with a message naming its line and exit code 1, and a
// verify that cannot be set up here with code 4.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game_round.h"
#include "pictures.h"
#include "process.h"

using namespace testing_support;

namespace {

// The player's folder holds a best score of 3.
struct Folder : GameFolder {
    Folder() : GameFolder("replay", "\x03\0\0\0") {}
};

TEST(ReplayRunDeathTest, ARecordedRunPlaysBackToTheSameFramesAndLeavesTheScoreFileAlone) {
    Folder folder;
    // Into a round, one wrong key (two arrows at once), back to the title, QUIT.
    std::ofstream(folder.path + "/in.txt") << "6000 down RETURN\n6040 up RETURN\n"
                                              "12000 down RIGHT\n12000 down LEFT\n"
                                              "18000 down DOWN\n18300 down RETURN\n";
    RunResult recorded = folder.Tavlo(
        "TAVLO_VIDEO=headless TAVLO_INPUT=in.txt TAVLO_FRAME_SUMS=a.tsv", "--record run.replay");
    ASSERT_EQ(recorded.exitCode, 1) << recorded.standardError;
    std::ofstream(folder.path + "/score.dat", std::ios::binary).write("\x09\0\0\0", 4);
    RunResult played =
        folder.Tavlo("TAVLO_FRAME_SUMS=b.tsv", "--replay run.replay --verify >report.txt");
    EXPECT_EQ(played.exitCode, 0) << played.standardError;
    // The round's result as the game had it: no picture answered, the best score as it was.
    EXPECT_NE(ReadFile(folder.path + "/report.txt").find("\nround 1: score 0, best 3\n"),
              std::string::npos)
        << ReadFile(folder.path + "/report.txt");
    const std::string frames = ReadFile(folder.path + "/a.tsv");
    EXPECT_GT(frames.size(), 300u * 20);
    EXPECT_EQ(ReadFile(folder.path + "/b.tsv"), frames);
    // The replay played with the score file it was recorded with, in a folder of its own.
    EXPECT_EQ(ReadFile(folder.path + "/score.dat"), std::string("\x09\0\0\0", 4));
    const std::string replay = ReadFile(folder.path + "/run.replay");
    EXPECT_NE(replay.find("scores 03000000\n"), std::string::npos) << replay;
    EXPECT_EQ(replay.find("seed none"), std::string::npos) << replay;
}

// The replay keeps what the game read of its score file (an empty file, the first bytes of a long
// one, nothing from a folder), so it plays back as recorded; where the game would not start,
// nothing is recorded. Playback is a run of its own: an exported time limit or script is not
// for it.
TEST(ReplayRunDeathTest, TheScoreFileIsRecordedAsTheGameReadIt) {
    struct Case {
        const char* what;
        const char* setUp;  // shell, in the folder, after score.dat is removed
        const char* header;
        const char* round;
    };
    const Case cases[] = {
        {"empty", ": >score.dat", "scores empty\n", "round 1: score 0, best 0\n"},
        {"longer than it reads",
         "printf '\\005\\000\\000\\000' >score.dat && head -c 100 /dev/zero >>score.dat",
         "scores 05000000\n", "round 1: score 0, best 5\n"},
        {"a folder", "mkdir score.dat", "scores empty\n", "round 1: score 0, best 0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Folder folder;
        ASSERT_EQ(std::system(("cd '" + folder.path + "' && rm score.dat && " + c.setUp).c_str()),
                  0);
        std::ofstream(folder.path + "/in.txt") << "6000 down RETURN\n6040 up RETURN\n"
                                                  "12000 down RIGHT\n12000 down LEFT\n"
                                                  "15000 down PAUSE\n";
        RunResult recorded =
            folder.Tavlo("TAVLO_VIDEO=headless TAVLO_INPUT=in.txt", "--record run.replay");
        ASSERT_EQ(recorded.exitCode, 1) << recorded.standardError;
        EXPECT_NE(ReadFile(folder.path + "/run.replay").find(c.header), std::string::npos);
        RunResult played = folder.Tavlo("TAVLO_TIME_LIMIT=1000 TAVLO_INPUT=nowhere.txt",
                                        "--replay run.replay --verify >report.txt");
        EXPECT_EQ(played.exitCode, 0) << played.standardError;
        EXPECT_NE(ReadFile(folder.path + "/report.txt").find(c.round), std::string::npos)
            << ReadFile(folder.path + "/report.txt");
    }
    Folder folder;
    ASSERT_EQ(std::remove((folder.path + "/score.dat").c_str()), 0);
    RunResult refused = folder.Tavlo("TAVLO_VIDEO=headless", "--record run.replay");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.standardError.find("score.dat cannot be read"), std::string::npos)
        << refused.standardError;
    EXPECT_NE(::access((folder.path + "/run.replay").c_str(), F_OK), 0);
}

// Played on another folder (--data-dir), the files named on the command line and in the
// environment are still the caller's.
TEST(ReplayRunDeathTest, ARecordingStoppedByTheTimeLimitIsCutThereAndPlaysToItsCut) {
    const Folder data;
    const std::string caller = FreshFolder("replay-caller");
    auto tavlo = [&](const std::string& environment, const std::string& arguments) {
        return testing_support::Run("cd '" + caller + "' && " + environment,
                                    TAVLO_BINARY " --data-dir '" + data.path + "' " + arguments);
    };
    std::ofstream(caller + "/in.txt") << "6000 down RETURN\n6040 up RETURN\n";
    RunResult recorded = tavlo("TAVLO_VIDEO=headless TAVLO_INPUT=in.txt TAVLO_TIME_LIMIT=9000",
                               "--record run.replay");
    ASSERT_EQ(recorded.exitCode, 3) << recorded.standardError;
    const std::string replay = ReadFile(caller + "/run.replay");
    EXPECT_NE(replay.find("\n9000 cut @"), std::string::npos) << replay;
    RunResult played = tavlo("TAVLO_FRAME_SUMS=sums.tsv", "--replay run.replay --verify");
    EXPECT_EQ(played.exitCode, 0) << played.standardError;
    EXPECT_FALSE(ReadFile(caller + "/sums.tsv").empty());
}

TEST(ReplayRunDeathTest, AFileThatDoesNotFitEndsWithItsLineAndCodeOne) {
    Folder folder;
    const std::string golden = ReadFile(TAVLO_SOURCE_DIR "/tests/e2e/replays/wrong.replay");
    ASSERT_FALSE(golden.empty());
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = golden;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    struct Case {
        std::string text;
        const char* says;
    };
    const Case cases[] = {
        {golden.substr(0, golden.size() / 2), "line "},
        {replaced("program 1.0.0", "program 0.9"), "recorded by tavlo 0.9"},
        {replaced("archive ", "archive 0000000000000000\n#"), "another tavlo.rka"},
        {replaced("scores 07000000", "scores none"), "keeps no score file"},
        {replaced("@121", "@120"), "line 9: the run went another way"},
        {replaced("end @", "end @1"), "line 19: the run went another way"},
        {replaced("18200 down RETURN", "18200 down SPACE"), "line 18: the run went another way"},
        {std::string("\x89PNG\r\n\x1a\n\0\0", 10), "line 1: not a tavlo replay"},
    };
    for (const Case& c : cases) {
        std::ofstream(folder.path + "/bad.replay", std::ios::binary) << c.text;
        RunResult result = folder.Tavlo("", "--replay bad.replay --verify");
        EXPECT_EQ(result.exitCode, 1) << c.says << "\n" << result.standardError;
        EXPECT_NE(result.standardError.find(c.says), std::string::npos)
            << "wanted: " << c.says << "\n"
            << result.standardError;
    }
    RunResult missing = folder.Tavlo("", "--replay none.replay --verify");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.standardError.find("cannot be read"), std::string::npos);
}

// A TAVLO_REACTIONS line, split.
struct Reaction {
    int round = 0, hit = 0, kind = 0;
    std::string frame;
    long long shown = 0, press = 0, reaction = 0;
};

std::vector<Reaction> Reactions(const std::string& text) {
    std::vector<Reaction> lines;
    std::istringstream in(text);
    Reaction r;
    while (in >> r.round >> r.hit >> r.kind >> r.frame >> r.shown >> r.press >> r.reaction) {
        lines.push_back(r);
    }
    return lines;
}

// The golden round's bot presses as soon as a picture is on its way in, before a person could
// see it; the person-paced one 200 to 600 ms after the first frame. Each line's frame is the one
// the frame list has at its clock; the hits count up within the round.
TEST(ReplayRunDeathTest, ReactionLinesTimeEachHitFromItsPicturesFirstFrame) {
    struct Case {
        const char* replay;
        std::size_t hits;
        long long fastest, slowest;
    };
    const Case cases[] = {{"round", 101, -1000, 99}, {"paced", 31, 200, 700}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.replay);
        Folder folder;
        const std::string golden = std::string(TAVLO_SOURCE_DIR "/tests/e2e/replays/") + c.replay;
        RunResult played = folder.Tavlo("TAVLO_REACTIONS=reactions.tsv",
                                        "--replay '" + golden + ".replay' --verify >report.txt");
        ASSERT_EQ(played.exitCode, 0) << played.standardError;
        // The report is the golden one still (it names the replay as given).
        const std::string report = ReadFile(folder.path + "/report.txt");
        EXPECT_EQ(report.substr(report.find('\n')),
                  ReadFile(golden + ".report").substr(ReadFile(golden + ".report").find('\n')));
        std::map<std::string, long long> clockOf;
        std::istringstream frames(ReadFile(golden + ".frames"));
        std::string index, sum;
        long long at = 0;
        while (frames >> index >> at >> sum) clockOf[index] = at;

        const std::vector<Reaction> lines = Reactions(ReadFile(folder.path + "/reactions.tsv"));
        ASSERT_EQ(lines.size(), c.hits);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Reaction& r = lines[i];
            EXPECT_EQ(r.round, 1);
            EXPECT_EQ(r.hit, static_cast<int>(i) + 1);
            EXPECT_TRUE(r.kind >= 0 && r.kind <= 3) << r.kind;
            EXPECT_EQ(r.frame.size(), 6u);
            EXPECT_EQ(clockOf[r.frame], r.shown) << r.frame;
            EXPECT_EQ(r.reaction, r.press - r.shown);
            EXPECT_GE(r.reaction, c.fastest) << "hit " << r.hit;
            EXPECT_LE(r.reaction, c.slowest) << "hit " << r.hit;
        }
    }
}

// The frame a line names is the first where the picture is on the screen: it enters at 320, off
// the screen, and the frame after draws it one step in (3 pixels at the first picture's speed).
// Frame by frame from there the band's right edge is the picture over the background (the frame
// before, which shows none of it) at 317, 314, 311...; its art begins with a few transparent
// columns, so its first coloured pixels come a few frames later.
TEST(ReplayRunDeathTest, AReactionLineNamesTheFrameWhereItsPictureFirstShowed) {
    Folder folder;
    RunResult played = folder.Tavlo("TAVLO_REACTIONS=reactions.tsv TAVLO_CAPTURE=shots",
                                    "--replay '" TAVLO_SOURCE_DIR
                                    "/tests/e2e/replays/wrong.replay' --verify >/dev/null");
    ASSERT_EQ(played.exitCode, 0) << played.standardError;
    const std::vector<Reaction> lines = Reactions(ReadFile(folder.path + "/reactions.tsv"));
    ASSERT_EQ(lines.size(), 1u);
    const int first = std::stoi(lines[0].frame);
    const int source = TargetSourceX[lines[0].kind];
    auto shot = [&](int index) {
        char name[16];
        std::snprintf(name, sizeof name, "%06d", index);
        return e2e::ReadBmp(folder.path + "/shots/" + name + ".bmp");
    };
    const e2e::Image background = shot(first - 1);
    const e2e::Image art = e2e::ArchiveEntry("game0.bmp", folder.path);
    ASSERT_EQ(background.width, 320);
    const std::uint32_t key = art.At(source, 0);  // the transparent colour
    int coloured = 0;
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE("frame " + std::to_string(first + k));
        const e2e::Image frame = shot(first + k);
        ASSERT_EQ(frame.width, 320);
        const int left = 317 - 3 * k;
        for (int y = 0; y < 85; ++y) {
            for (int x = left; x < 320; ++x) {
                const std::uint32_t picture = art.At(source + x - left, y);
                const bool shows = picture != key;
                coloured += shows ? 1 : 0;
                ASSERT_EQ(frame.At(x, 80 + y), shows ? picture : background.At(x, 80 + y))
                    << x << "," << y;
            }
        }
    }
    EXPECT_GT(coloured, 0);
}

// A verify that cannot be set up here ends with code 4 and says why; one that can writes only
// under TMPDIR (its scratch folder, gone at the end): nothing in the data folder, HOME or the
// caller's folder, whatever the outcome.
TEST(ReplayRunDeathTest, AVerifyThatCannotBeSetUpHereEndsWithCodeFourAndWritesOnlyUnderTmpdir) {
    struct Case {
        const char* what;
        const char* setUp;        // shell, in the data folder
        const char* environment;  // @ is the data folder
        int exitCode;
        const char* says;  // in standard error
    };
    const Case cases[] = {
        {"verified", ":", "", 0, ""},
        {"TMPDIR missing", ":", "TMPDIR=@/none", 4, "cannot verify here: no folder for"},
        {"TMPDIR a file", ": >file", "TMPDIR=@/file", 4, "cannot verify here: no folder for"},
        {"no archive", "rm tavlo.rka", "", 4, "cannot verify here: tavlo.rka cannot be read"},
        {"the archive a folder", "rm tavlo.rka && mkdir tavlo.rka", "", 4,
         "cannot verify here: tavlo.rka cannot be read: it is a folder"},
        {"no frame sums", ":", "TAVLO_FRAME_SUMS=@/none/sums", 4,
         "cannot verify here: TAVLO_FRAME_SUMS"},
        // During the play: a picture the game cannot load (its error dialog).
        {"a picture not loaded", ":", "TAVLO_FAIL=LoadImageA", 4,
         "cannot verify here: the game stopped: tmp.bmp"},
        {"another archive", "printf x >>tavlo.rka", "", 1, "recorded with another tavlo.rka"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Folder data;
        const std::string caller = FreshFolder("replay-caller");
        const std::string temporary = FreshFolder("replay-tmpdir");
        const std::string home = FreshFolder("replay-home");
        ASSERT_EQ(std::system(("cd '" + data.path + "' && rm score.dat && " + c.setUp).c_str()), 0);
        std::string environment = c.environment;
        if (const auto at = environment.find('@'); at != std::string::npos) {
            environment.replace(at, 1, data.path);
        }
        const std::string archive = ReadFile(data.path + "/tavlo.rka");
        RunResult result = testing_support::Run(
            "cd '" + caller + "' && HOME='" + home + "' XDG_CONFIG_HOME= XDG_DATA_HOME= TMPDIR='" +
                temporary + "' " + environment,
            TAVLO_BINARY " --data-dir '" + data.path +
                "' --replay " TAVLO_SOURCE_DIR "/tests/e2e/replays/quit.replay --verify >out");
        EXPECT_EQ(result.exitCode, c.exitCode) << result.standardError;
        EXPECT_NE(result.standardError.find(c.says), std::string::npos) << result.standardError;
        auto names = [](const std::string& folder) {
            std::string list;
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                list += entry.path().filename().string() + " ";
            }
            return list;
        };
        EXPECT_EQ(names(temporary), "");
        EXPECT_EQ(names(home), "");
        EXPECT_EQ(names(caller), "out ");
        EXPECT_EQ(ReadFile(data.path + "/tavlo.rka"), archive);
        EXPECT_NE(::access((data.path + "/score.dat").c_str(), F_OK), 0);
    }
}

}  // namespace
