// The installed program: beside its archive (PREFIX/games/tavlo, PREFIX/share/games/tavlo) it
// makes the player's folder, links the archive there, writes a best score of zero only where
// there is none, and plays there, the files it is given staying the caller's. The real program
// in a fake installation, on the headless host.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "process.h"

using namespace testing_support;

namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

std::string LinkTarget(const std::string& path) {
    char target[4096] = {};
    return ::readlink(path.c_str(), target, sizeof target - 1) > 0 ? target : "";
}

// A fake installation under `root`/usr; the caller plays from `root`, which has no archive.
struct Installation {
    std::string root = FreshFolder("install");
    std::string prefix = root + "/usr";
    std::string home = root + "/home";
    std::string archive = prefix + "/share/games/tavlo/tavlo.rka";

    // Installed by the build's own rules, as scripts/play.sh's stage and the package are.
    Installation() {
        const std::string script = "mkdir -p '" + home + "' && '" TAVLO_CMAKE "' --install '" +
                                   TAVLO_BINARY_DIR "' --component program --prefix '" + prefix +
                                   "' >/dev/null";
        EXPECT_EQ(std::system(script.c_str()), 0);
        std::ofstream(root + "/pause.txt") << "400 down PAUSE\n";
    }
    // `environment` beyond PATH (the installed games/ first) and the headless host; {home} and
    // {root} stand for the fake ones.
    RunResult Launch(std::string environment, const std::string& arguments = "",
                     const std::string& program = "tavlo") const {
        for (const std::string key : {"{home}", "{root}"}) {
            for (auto at = environment.find(key); at != std::string::npos;
                 at = environment.find(key)) {
                environment.replace(at, key.size(), key == "{home}" ? home : root);
            }
        }
        return Run("cd '" + root + "' && env -i PATH='" + prefix + "/games':/usr/bin:/bin " +
                       "TAVLO_VIDEO=headless TAVLO_INPUT=pause.txt " + environment,
                   program + " " + arguments + " >'" + root + "/out'");
    }
    std::string Out() const { return ReadFile(root + "/out"); }
};

TEST(Installed, MakesThePlayersFolderAndPlaysThere) {
    struct Case {
        std::string name;
        std::string environment;
        std::string folder;  // relative to the fake root
        std::string program = "tavlo";
    };
    const Case cases[] = {
        {"XDG_DATA_HOME", "HOME={home} XDG_DATA_HOME={root}/data/deep", "/data/deep/tavlo"},
        {"HOME only", "HOME={home}", "/home/.local/share/tavlo"},
        {"relative XDG_DATA_HOME is ignored", "HOME={home} XDG_DATA_HOME=data",
         "/home/.local/share/tavlo"},
        {"started through a link", "HOME={home}", "/home/.local/share/tavlo", "./elsewhere"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Installation install;
        ASSERT_EQ(::symlink((install.prefix + "/games/tavlo").c_str(),
                            (install.root + "/elsewhere").c_str()),
                  0);
        const RunResult result = install.Launch(c.environment, "--window --smooth", c.program);
        // Pause ends the game (1); it found the archive, which only the player's folder holds.
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.standardError, "");
        const std::string folder = install.root + c.folder;
        EXPECT_EQ(ReadFile(folder + "/score.dat"), std::string(4, '\0'));
        EXPECT_EQ(LinkTarget(folder + "/tavlo.rka"), install.archive);
        EXPECT_FALSE(Exists(install.root + "/score.dat"));
    }
}

TEST(Installed, NeverWritesOverAScore) {
    Installation install;
    const std::string folder = install.home + "/.local/share/tavlo";
    ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
    std::ofstream(folder + "/score.dat", std::ios::binary) << std::string("\x2a\0\0\0", 4);
    // An old copy of the archive is replaced by the link; the score stays.
    std::ofstream(folder + "/tavlo.rka") << "old";
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(install.Launch("HOME={home}").exitCode, 1);
        EXPECT_EQ(ReadFile(folder + "/score.dat"), std::string("\x2a\0\0\0", 4));
        EXPECT_EQ(LinkTarget(folder + "/tavlo.rka"), install.archive);
    }
    // An empty score is the player's too, and so is a link, even a dangling one.
    std::ofstream(folder + "/score.dat", std::ios::trunc).close();
    install.Launch("HOME={home}");
    EXPECT_EQ(ReadFile(folder + "/score.dat"), "");
    ASSERT_EQ(::unlink((folder + "/score.dat").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (folder + "/score.dat").c_str()), 0);
    install.Launch("HOME={home}");
    EXPECT_EQ(LinkTarget(folder + "/score.dat"), "nowhere");
    EXPECT_FALSE(Exists(folder + "/nowhere"));
}

// The build's stage and the package are two installations playing in one player's folder: each
// links its own archive there when it starts, and the score is both's.
TEST(Installed, TwoInstallationsShareThePlayersFolder) {
    const Installation package, stage;
    const std::string folder = package.home + "/.local/share/tavlo";
    for (const Installation* install : {&package, &stage, &package}) {
        EXPECT_EQ(install->Launch("HOME='" + package.home + "'").exitCode, 1);
        EXPECT_EQ(LinkTarget(folder + "/tavlo.rka"), install->archive);
        std::ofstream(folder + "/score.dat", std::ios::binary) << std::string("\x2a\0\0\0", 4);
    }
    EXPECT_EQ(ReadFile(folder + "/score.dat"), std::string("\x2a\0\0\0", 4));
}

// Recording is a game in the player's folder; the files it names are the caller's. A verify
// reads the installed archive where it lies and makes no player's folder.
TEST(Installed, RecordsInThePlayersFolderAndVerifiesWithoutOne) {
    Installation install;
    EXPECT_EQ(install.Launch("HOME={home}", "--record run.replay").exitCode, 1);
    ASSERT_TRUE(Exists(install.root + "/run.replay"));
    ASSERT_EQ(std::system(("rm -r '" + install.home + "/.local'").c_str()), 0);
    const RunResult verified = install.Launch("HOME={home}", "--replay run.replay --verify");
    EXPECT_EQ(verified.exitCode, 0) << verified.standardError;
    EXPECT_NE(install.Out().find(": played to its end at 400 ms\n"), std::string::npos)
        << install.Out();
    EXPECT_FALSE(Exists(install.home + "/.local"));
}

// Asked for anything but a game, the program makes no folder; --help says where it plays.
TEST(Installed, OtherRequestsMakeNoFolder) {
    struct Case {
        std::string arguments;
        int exitCode;
    };
    const Case cases[] = {{"--help", 0},  {"-V", 0},    {"--window --version", 0},
                          {"--bogus", 2}, {"stray", 2}, {"--data-dir mine", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        Installation install;
        EXPECT_EQ(install.Launch("HOME={home}", c.arguments).exitCode, c.exitCode);
        EXPECT_FALSE(Exists(install.home + "/.local"));
        if (c.arguments == "--help") {
            EXPECT_EQ(install.Out().rfind("Usage: tavlo [OPTION]...\n", 0), 0u) << install.Out();
            EXPECT_NE(install.Out().find("(default: " + install.home + "/.local/share/tavlo)\n"),
                      std::string::npos)
                << install.Out();
        }
    }
}

TEST(Installed, NoFolderToPlayInIsAnError) {
    for (const std::string environment : {"", "XDG_DATA_HOME=data"}) {
        SCOPED_TRACE(environment);
        Installation install;
        const RunResult result = install.Launch(environment);
        EXPECT_EQ(result.exitCode, 1);
        // The line, then the dialog (which the headless host writes there too).
        EXPECT_EQ(result.standardError.rfind("tavlo: neither XDG_DATA_HOME (an absolute path) nor "
                                             "HOME is set: the game has no folder to play in\n",
                                             0),
                  0u)
            << result.standardError;
        EXPECT_FALSE(Exists(install.root + "/data"));
    }
}

}  // namespace
