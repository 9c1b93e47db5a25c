// The Debian package: made with CPack from this build, its file list and dependencies, and the
// game installed from it into a scratch root and run there.
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "process.h"

using namespace testing_support;

namespace {

std::string Capture(const std::string& command) {
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
}

using testing_support::ReadFile;

class DebPackage : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new std::string(FreshFolder("deb"));
        const RunResult made = testing_support::Run("", "cpack -G DEB --config '" TAVLO_BINARY_DIR
                                                        "/CPackConfig.cmake' -B '" +
                                                            *folder_ + "' >/dev/null");
        ASSERT_EQ(made.exitCode, 0) << made.standardError;
        deb_ = new std::string(Capture("ls '" + *folder_ + "'/tavlo_*.deb | head -n1"));
        while (!deb_->empty() && deb_->back() == '\n') deb_->pop_back();
    }
    static void TearDownTestSuite() {
        delete folder_;
        delete deb_;
    }
    static std::string* folder_;
    static std::string* deb_;
};
std::string* DebPackage::folder_ = nullptr;
std::string* DebPackage::deb_ = nullptr;

TEST_F(DebPackage, HoldsTheInstalledFiles) {
    ASSERT_FALSE(deb_->empty());
    std::set<std::string> files;
    std::istringstream list(Capture("dpkg-deb -c '" + *deb_ + "'"));
    std::string line;
    while (std::getline(list, line)) {
        const auto path = line.rfind(" ./");
        if (path != std::string::npos && line[0] == '-') files.insert(line.substr(path + 2));
    }
    std::set<std::string> expected = {
        "/usr/games/tavlo",
        "/usr/share/games/tavlo/tavlo.rka",
        "/usr/share/applications/org.tavlo.Tavlo.desktop",
        "/usr/share/metainfo/org.tavlo.Tavlo.metainfo.xml",
        "/usr/share/man/man6/tavlo.6.gz",
        "/usr/share/man/ja/man6/tavlo.6.gz",
        "/usr/share/doc/tavlo/copyright",
        "/usr/share/doc/tavlo/changelog.Debian.gz",
        "/usr/share/lintian/overrides/tavlo",
    };
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        expected.insert("/usr/share/icons/hicolor/" + folder + "/apps/org.tavlo.Tavlo.png");
    }
    for (const char* language : {"ja", "de", "fr", "es", "zh_CN"}) {
        expected.insert(std::string("/usr/share/locale/") + language + "/LC_MESSAGES/tavlo.mo");
    }
    EXPECT_EQ(files, expected);
    // The program is executable.
    const std::string listing = Capture("dpkg-deb -c '" + *deb_ + "'");
    const auto at = listing.find(" ./usr/games/tavlo\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(listing.substr(listing.rfind('\n', at) + 1, 10), "-rwxr-xr-x");
}

TEST_F(DebPackage, DeclaresWhatItNeeds) {
    const std::string depends = Capture("dpkg-deb -f '" + *deb_ + "' Depends");
    for (const char* library :
         {"libsdl2-2.0-0", "libpng16-16", "libcurl4", "libc6", "libstdc++6"}) {
        EXPECT_NE(depends.find(library), std::string::npos) << depends;
    }
    EXPECT_EQ(Capture("dpkg-deb -f '" + *deb_ + "' Package Architecture Section"),
              "Package: tavlo\nArchitecture: amd64\nSection: games\n");
    EXPECT_EQ(Capture("dpkg-deb -f '" + *deb_ + "' Maintainer"),
              "Tavlo developers <maintainers@tavlo.org>\n");
}

// Debian's own checks: no error and no warning.
TEST_F(DebPackage, LintianFindsNothingToWarnAbout) {
    ASSERT_FALSE(deb_->empty());
    const std::string report =
        Capture("lintian --fail-on error,warning '" + *deb_ + "' 2>&1; echo \"exit $?\"");
    EXPECT_NE(report.find("exit 0\n"), std::string::npos) << report;
    EXPECT_EQ(report.find("\nE: "), std::string::npos) << report;
    EXPECT_EQ(report.find("W: "), std::string::npos) << report;
    EXPECT_EQ(report.rfind("E: ", 0), std::string::npos) << report;
}

// The program is built as distributions build theirs: position-independent, relocations
// read-only and bound at start, stack protector and fortified calls.
TEST_F(DebPackage, TheProgramIsHardened) {
    const std::string root = *folder_ + "/hardening";
    ASSERT_EQ(testing_support::Run("", "dpkg -x '" + *deb_ + "' '" + root + "'").exitCode, 0);
    const std::string program = "'" + root + "/usr/games/tavlo'";
    EXPECT_NE(Capture("readelf -h " + program).find("DYN ("), std::string::npos);
    EXPECT_NE(Capture("readelf -lW " + program).find("GNU_RELRO"), std::string::npos);
    EXPECT_NE(Capture("readelf -dW " + program).find("BIND_NOW"), std::string::npos);
    const std::string symbols = Capture("readelf --dyn-syms -W " + program);
    EXPECT_NE(symbols.find("__stack_chk_fail"), std::string::npos);
    EXPECT_NE(symbols.find("_chk@"), std::string::npos);  // e.g. __fprintf_chk
}

TEST_F(DebPackage, InstalledGamePlaysInThePlayersFolder) {
    const std::string root = *folder_ + "/root";
    ASSERT_EQ(testing_support::Run("", "dpkg -x '" + *deb_ + "' '" + root + "'").exitCode, 0);
    const std::string home = *folder_ + "/home";
    std::ofstream(*folder_ + "/pause.txt") << "400 down PAUSE\n";
    const std::string environment =
        "HOME='" + home + "' TAVLO_VIDEO=headless TAVLO_INPUT='" + *folder_ + "/pause.txt'";
    // --version answers without making the player's folder.
    const RunResult version =
        testing_support::Run(environment, root + "/usr/games/tavlo --version >/dev/null");
    EXPECT_EQ(version.exitCode, 0) << version.standardError;
    EXPECT_NE(::access((home + "/.local").c_str(), F_OK), 0);

    const RunResult first = testing_support::Run(environment, root + "/usr/games/tavlo");
    const std::string score = home + "/.local/share/tavlo/score.dat";
    // Pause, or no archive yet: either way the game ends itself, with code 1.
    EXPECT_EQ(first.exitCode, 1) << first.standardError;
    EXPECT_EQ(ReadFile(score), std::string(4, '\0'));

    std::ofstream(score, std::ios::binary | std::ios::trunc) << std::string("\x07\x01\0\0", 4);
    const RunResult second = testing_support::Run(environment, root + "/usr/games/tavlo");
    EXPECT_EQ(second.exitCode, 1) << second.standardError;
    EXPECT_EQ(ReadFile(score), std::string("\x07\x01\0\0", 4));
}

}  // namespace
