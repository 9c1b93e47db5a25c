// The program's command line from outside: exit codes and what is printed, in an empty folder
// with no display, no archive and no score, and nothing left behind.
#include <dirent.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "process.h"
#include "tavlo_version.h"

using namespace testing_support;

namespace {

using testing_support::ReadFile;

// Every name in `folder` but the one given, "." and "..".
std::string OtherEntries(const std::string& folder, const std::string& but) {
    std::string names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && name != but) names += name + " ";
        }
        ::closedir(dir);
    }
    return names;
}

struct Outcome {
    int exitCode;
    std::string out;
    std::string error;
};

Outcome RunProgram(const std::string& arguments) {
    const std::string folder = FreshFolder("cmdline");
    const RunResult run =
        Run("cd '" + folder + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u TAVLO_VIDEO " +
                "-u SDL_VIDEODRIVER HOME='" + folder + "' XDG_CONFIG_HOME='" + folder +
                "' XDG_DATA_HOME='" + folder + "'",
            std::string(TAVLO_BINARY) + " " + arguments + " >out.txt");
    // Nothing is made: no settings, no score, no screenshots folder.
    EXPECT_EQ(OtherEntries(folder, "out.txt"), "") << arguments;
    return {run.exitCode, ReadFile(folder + "/out.txt"), run.standardError};
}

TEST(CommandLine, AnswersWithoutADisplayOrData) {
    const std::string version = std::string("tavlo ") + TAVLO_VERSION + "\n";
    const std::string usage = std::string("Usage: ") + TAVLO_BINARY +
                              " [--window|--fullscreen] [--sharp|--smooth] [--data-dir DIR]\n"
                              "       [--record FILE | --replay FILE [--verify]]\n       " +
                              TAVLO_BINARY + " --submit FILE --server URL --name NAME\n";
    struct Case {
        std::string arguments;
        int exitCode;
        std::string out;    // the whole of standard output; "help" stands for the help text
        std::string error;  // the first line of standard error, followed by the usage
    };
    const Case cases[] = {
        {"--help", 0, "help", ""},
        {"-h", 0, "help", ""},
        {"--he", 0, "help", ""},  // a unique abbreviation, as getopt_long allows
        {"--version", 0, version, ""},
        {"-V", 0, version, ""},
        {"--version --help", 0, version, ""},  // the first one asked for
        {"--window --smooth --help", 0, "help", ""},
        {"--bogus", 2, "", "unknown option: --bogus"},
        {"-x", 2, "", "unknown option: -x"},
        {"--s", 2, "", "unknown option: --s"},  // --sharp or --smooth: ambiguous
        {"--help=yes", 2, "", "unknown option: --help=yes"},
        {"--data-dir", 2, "", "option needs a value: --data-dir"},
        {"--data-dir=", 2, "", "--data-dir needs a folder"},
        {"stray", 2, "", "unexpected argument: stray"},
        {"--window stray --help", 2, "", "unexpected argument: stray"},
        {"--help stray", 2, "", "unexpected argument: stray"},
        {"--submit r.replay --name Zoë", 2, "", "--submit needs --server URL and --name NAME"},
        {"--server http://a.example --name Zoë", 2, "",
         "--server and --name go with --submit FILE"},
        {"--submit r --server http://a.example --name Zoë --replay r", 2, "",
         "--submit does not go with --record, --replay or --verify"},
        {"--submit r --server file:///etc --name Zoë", 2, "",
         "--server file:///etc: not a web address (http:// or https://, no query)"},
        {"--submit r --server http://a.example/?x=1 --name Zoë", 2, "",
         "--server http://a.example/?x=1: not a web address (http:// or https://, no query)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome outcome = RunProgram(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        if (c.out == "help") {
            EXPECT_EQ(
                outcome.out.rfind(std::string("Usage: ") + TAVLO_BINARY + " [OPTION]...\n", 0), 0u)
                << outcome.out;
            for (const char* option : {"--window", "--fullscreen", "--sharp", "--smooth",
                                       "--data-dir DIR", "--help", "--version"}) {
                EXPECT_NE(outcome.out.find(option), std::string::npos) << option;
            }
            // A program with no installed archive beside it plays where it is started.
            EXPECT_NE(outcome.out.find("(default: the current folder)\n"), std::string::npos);
        } else {
            EXPECT_EQ(outcome.out, c.out);
        }
        if (c.error.empty()) {
            EXPECT_EQ(outcome.error, "");
        } else {
            EXPECT_EQ(outcome.error, std::string(TAVLO_BINARY) + ": " + c.error + "\n" + usage +
                                         "Try '" + TAVLO_BINARY +
                                         " --help' for more information.\n");
        }
    }
}

TEST(CommandLine, DataDirThatIsNoFolderIsAnError) {
    const Outcome outcome = RunProgram("--data-dir /nonexistent/tavlo");
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.error, std::string(TAVLO_BINARY) +
                                 ": --data-dir /nonexistent/tavlo: No such file or directory\n");
}

// The game's own message, then the folder it looked in, from the real program.
TEST(CommandLine, AMissingArchiveNamesTheFolder) {
    const std::string folder = FreshFolder("noarchive");
    std::ofstream(folder + "/score.dat", std::ios::binary).write("\0\0\0\0", 4);
    const RunResult run =
        testing_support::Run("TAVLO_VIDEO=headless",
                             std::string(TAVLO_BINARY) + " --data-dir '" + folder + "' >/dev/null");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(
        run.standardError.find("File can't open[tavlo.rka]\ntavlo: cannot open tavlo.rka in " +
                               folder + ": No such file or directory\n"),
        std::string::npos)
        << run.standardError;
}

}  // namespace
