// The real program on the headless host, driven by scripts from outside: how it ends and what
// it prints.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "process.h"
#include "program_ends.h"

using namespace testing_support;

class ProgramEnds : public ::testing::TestWithParam<EndCase> {};

TEST_P(ProgramEnds, WithItsCodeAndMessage) {
    ExpectEnd(GetParam());
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
                      // Every lock fails: the mosaics have no memory and draw nothing.
                      EndCase{"NoLock", "1000 down PAUSE\n", "TAVLO_FAIL=Lock", 1, ""}),
    EndCaseName);

// A second game in the same folder would clash with the first over "tmp.bmp": it says so and
// ends; once the first has ended, the folder is free again.
TEST(TwoInstances, TheSecondInOneFolderEndsWithAMessage) {
    GameFolder program("run");
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        // Nothing to do but wait at the title, far longer than this test takes.
        if (::chdir(program.path.c_str()) == 0) {
            ::setenv("TAVLO_VIDEO", "headless", 1);
            ::setenv("TAVLO_TIME_LIMIT", "100000000000", 1);
            ::execl(TAVLO_BINARY, TAVLO_BINARY, static_cast<char*>(nullptr));
        }
        ::_exit(127);
    }
    auto heldByAnother = [&] {
        const int fd = ::open(program.path.c_str(), O_RDONLY | O_DIRECTORY);
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    };
    for (int tries = 0; tries < 500 && !heldByAnother(); ++tries) ::usleep(10000);
    ASSERT_TRUE(heldByAnother());
    const RunResult second = program.Start("");
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.standardError.find("the game is already running in " + program.path),
              std::string::npos)
        << second.standardError;
    // And a dialog, for a player who started it from the desktop (headless: on stderr).
    EXPECT_NE(second.standardError.find("Tavlo: Tavlo is already running with its data in " +
                                        program.path),
              std::string::npos)
        << second.standardError;
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    EXPECT_FALSE(heldByAnother());
}

// A "score.dat" kept read-only on purpose: QUIT with no new best loses nothing, so it ends with
// the reason on stderr and no note of the port's.
TEST(ReadOnlyScore, QuitWithNothingNewEndsWithoutANote) {
    GameFolder program("run");
    ASSERT_EQ(std::system(("chown -R 65534:65534 '" + program.path + "' && chmod 0444 '" +
                           program.path + "/score.dat'")
                              .c_str()),
              0);
    std::ofstream(program.path + "/script.txt")
        << "7000 down DOWN\n7050 up DOWN\n7200 down RETURN\n7250 up RETURN\n";
    const RunResult result = testing_support::Run(
        "cd '" + program.path +
            "' && TAVLO_VIDEO=headless TAVLO_INPUT=script.txt TAVLO_TIME_LIMIT=20000",
        "setpriv --reuid=65534 --regid=65534 --clear-groups " TAVLO_BINARY);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardError,
              "tavlo: cannot replace \"score.dat\" with \"score.dat.tmp\": Permission denied\n");
}

// The locale rule is glibc's, which every GNU program on the system follows: LANGUAGE chooses
// in any locale but the plain C (and POSIX) one.
TEST(Languages, LanguageIsIgnoredOnlyInThePlainCLocale) {
    const struct {
        const char* environment;
        const char* answer;
    } cases[] = {
        {"LANGUAGE=de LANG=C.UTF-8", "unbekannte Option: --bogus"},
        {"LANGUAGE=de LANG=C", "unknown option: --bogus"},
        {"LANGUAGE=de LC_ALL=POSIX LANG=de_DE.UTF-8", "unknown option: --bogus"},
    };
    for (const auto& c : cases) {
        const RunResult result = testing_support::Run(
            std::string("env -u LC_ALL -u LC_MESSAGES -u LANGUAGE ") + c.environment,
            TAVLO_BINARY " --bogus");
        EXPECT_EQ(result.exitCode, 2) << c.environment;
        EXPECT_NE(result.standardError.find(c.answer), std::string::npos) << c.environment << "\n"
                                                                          << result.standardError;
    }
}

// The port's own notes speak the player's language, as the environment names it; the design's
// own message stays as it was written. An unknown language, and C, give English.
TEST(Languages, ThePortsNotesFollowTheEnvironment) {
    const struct {
        const char* environment;
        const char* note;
    } cases[] = {
        {"LANG=ja_JP.UTF-8", "tavlo.rka を開けません"},
        {"LANGUAGE=xx:ja LANG=de_DE.UTF-8", "tavlo.rka を開けません"},  // the first it has
        {"LANG=xx_YY.UTF-8", "tavlo: cannot open tavlo.rka in "},
        // As glibc: LANGUAGE is read in C.UTF-8, not in the plain C locale.
        {"LANGUAGE=ja LANG=C.UTF-8", "tavlo.rka を開けません"},
        {"LANGUAGE=ja LANG=C", "tavlo: cannot open tavlo.rka in "},
    };
    for (const auto& c : cases) {
        const std::string folder = FreshFolder("language");
        const RunResult result = testing_support::Run(
            "cd '" + folder + "' && env -u LC_ALL -u LC_MESSAGES -u LANGUAGE " + c.environment +
                " TAVLO_VIDEO=headless",
            TAVLO_BINARY);
        EXPECT_EQ(result.exitCode, 1) << c.environment;
        EXPECT_NE(result.standardError.find("File can't open[tavlo.rka]"), std::string::npos)
            << result.standardError;
        EXPECT_NE(result.standardError.find(c.note), std::string::npos) << c.environment << "\n"
                                                                        << result.standardError;
    }
}

// The settings' language is the program's from its start, whatever the host (its command line
// speaks it too) and over the environment's; reading the settings writes nothing.
TEST(Languages, TheSettingsChooseForTheWholeProgram) {
    const std::string folder = FreshFolder("settings-language");
    const std::string config = folder + "/config";
    const std::string run = "cd '" + folder + "' && env -u LC_ALL -u LC_MESSAGES -u LANGUAGE " +
                            "LANG=ja_JP.UTF-8 TAVLO_VIDEO=headless XDG_CONFIG_HOME='" + config +
                            "'";
    EXPECT_EQ(testing_support::Run(run, TAVLO_BINARY).exitCode, 1);  // no archive here
    EXPECT_NE(::access((config + "/tavlo/settings.conf").c_str(), F_OK), 0);
    ASSERT_EQ(std::system(("mkdir -p '" + config + "/tavlo'").c_str()), 0);
    std::ofstream(config + "/tavlo/settings.conf") << "language=de\n";
    const RunResult result = testing_support::Run(run, TAVLO_BINARY " --bogus");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.standardError.find("unbekannte Option: --bogus"), std::string::npos)
        << result.standardError;
    EXPECT_EQ(ReadFile(config + "/tavlo/settings.conf"), "language=de\n");
}
