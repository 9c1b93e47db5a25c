// The installed launcher: it makes the per-user folder, links the archive, writes a best score
// of zero only where there is none, and runs the program on it (--data-dir) from the caller's
// folder. The program here is a stand-in that reports where it ran and with what.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "process.h"

using namespace testing_support;

namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

using testing_support::ReadFile;

// A fake installation under `root`/usr with a stand-in program.
struct Installation {
    std::string root = FreshFolder("install");
    std::string prefix = root + "/usr";
    std::string home = root + "/home";

    explicit Installation(int exitCode = 1) {
        const std::string script =
            "mkdir -p '" + prefix + "/games' '" + prefix + "/libexec/tavlo' '" + prefix +
            "/share/games/tavlo' '" + home + "' && cp '" TAVLO_LAUNCHER "' '" + prefix +
            "/games/tavlo' && printf archive > '" + prefix + "/share/games/tavlo/tavlo.rka'";
        EXPECT_EQ(std::system(script.c_str()), 0);
        std::ofstream program(prefix + "/libexec/tavlo/tavlo");
        program << "#!/bin/sh\npwd > \"$OUT\"\necho \"$@\" >> \"$OUT\"\nexit " << exitCode << "\n";
        program.close();
        EXPECT_EQ(::chmod((prefix + "/libexec/tavlo/tavlo").c_str(), 0755), 0);
    }
    RunResult Launch(const std::string& environment, const std::string& arguments = "",
                     const std::string& launcher = "") {
        return Run(
            "cd '" + root + "' && env -i PATH=/usr/bin:/bin OUT='" + root + "/out' " + environment,
            (launcher.empty() ? prefix + "/games/tavlo" : launcher) + " " + arguments);
    }
    std::string Out() const { return ReadFile(root + "/out"); }
};

TEST(Launcher, MakesTheFolderAndRunsTheGameThere) {
    struct Case {
        std::string name;
        std::string environment;  // {home} stands for the fake home
        std::string folder;       // relative to the fake root
    };
    const Case cases[] = {
        {"XDG_DATA_HOME", "HOME={home} XDG_DATA_HOME={root}/data/deep", "/data/deep/tavlo"},
        {"HOME only", "HOME={home}", "/home/.local/share/tavlo"},
        {"relative XDG_DATA_HOME is ignored", "HOME={home} XDG_DATA_HOME=data",
         "/home/.local/share/tavlo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Installation install;
        std::string environment = c.environment;
        for (std::string key : {"{home}", "{root}"}) {
            for (auto at = environment.find(key); at != std::string::npos;
                 at = environment.find(key)) {
                environment.replace(at, key.size(), key == "{home}" ? install.home : install.root);
            }
        }
        const RunResult result = install.Launch(environment, "--window --smooth");
        EXPECT_EQ(result.exitCode, 1) << result.standardError;
        const std::string folder = install.root + c.folder;
        EXPECT_EQ(install.Out(), install.root + "\n--data-dir " + folder + " --window --smooth\n");
        EXPECT_EQ(ReadFile(folder + "/score.dat"), std::string(4, '\0'));
        char target[4096] = {};
        ASSERT_GT(::readlink((folder + "/tavlo.rka").c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), install.prefix + "/share/games/tavlo/tavlo.rka");
        EXPECT_EQ(ReadFile(folder + "/tavlo.rka"), "archive");
    }
}

TEST(Launcher, NeverWritesOverAScore) {
    Installation install;
    const std::string folder = install.home + "/.local/share/tavlo";
    ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
    std::ofstream(folder + "/score.dat", std::ios::binary) << std::string("\x2a\0\0\0", 4);
    // An old copy of the archive is replaced by the link; the score stays.
    std::ofstream(folder + "/tavlo.rka") << "old";
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(install.Launch("HOME=" + install.home).exitCode, 1);
        EXPECT_EQ(ReadFile(folder + "/score.dat"), std::string("\x2a\0\0\0", 4));
        EXPECT_EQ(ReadFile(folder + "/tavlo.rka"), "archive");
    }
    // An empty score is the player's too.
    std::ofstream(folder + "/score.dat", std::ios::trunc).close();
    EXPECT_EQ(install.Launch("HOME=" + install.home).exitCode, 1);
    EXPECT_EQ(ReadFile(folder + "/score.dat"), "");
}

TEST(Launcher, PassesTheProgramsExitCodeAndFindsItselfThroughLinks) {
    Installation install(3);
    const std::string link = install.root + "/elsewhere-tavlo";
    ASSERT_EQ(::symlink((install.prefix + "/games/tavlo").c_str(), link.c_str()), 0);
    EXPECT_EQ(install.Launch("HOME=" + install.home, "", link).exitCode, 3);
    EXPECT_EQ(install.Out(),
              install.root + "\n--data-dir " + install.home + "/.local/share/tavlo\n");
}

// Recording and playing back are games in the usual folder; the program itself takes the files
// they name from the caller's folder.
TEST(Launcher, RecordingAndPlayingBackUseThePerUserFolder) {
    for (const std::string arguments : {"--record run.replay", "--window --rec=run.replay",
                                        "--replay run.replay --verify", "--replay --help"}) {
        SCOPED_TRACE(arguments);
        Installation install;
        EXPECT_EQ(install.Launch("HOME=" + install.home, arguments).exitCode, 1);
        EXPECT_EQ(install.Out(), install.root + "\n--data-dir " + install.home +
                                     "/.local/share/tavlo " + arguments + "\n");
    }
}

// Anything but play options (--help, --version, --data-dir DIR, a wrong option) goes to the
// program as it is, in the caller's folder, and no per-user folder is made for it.
TEST(Launcher, OtherArgumentsReachTheProgramWithoutAFolder) {
    for (const std::string arguments :
         {"--help", "-V", "--window --version", "--data-dir mine", "--bogus", "stray"}) {
        SCOPED_TRACE(arguments);
        Installation install;
        const RunResult result = install.Launch("HOME=" + install.home, arguments);
        EXPECT_EQ(result.exitCode, 1) << result.standardError;
        EXPECT_EQ(install.Out(), install.root + "\n" + arguments + "\n");
        EXPECT_FALSE(Exists(install.home + "/.local"));
    }
}

TEST(Launcher, NoHomeIsAnError) {
    Installation install;
    const RunResult result = install.Launch("");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.standardError.find("HOME"), std::string::npos);
    EXPECT_EQ(install.Out(), "");
}

}  // namespace
