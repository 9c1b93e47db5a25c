// The Debian package: made with CPack from this build, its file list and dependencies, and the
// game installed from it into a scratch root and run there through the launcher.
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

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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
        "/usr/bin/tavlo",
        "/usr/libexec/tavlo/tavlo",
        "/usr/share/applications/org.tavlo.Tavlo.desktop",
        "/usr/share/metainfo/org.tavlo.Tavlo.metainfo.xml",
    };
    expected.insert("/usr/share/tavlo/tavlo.rka");
    expected.insert("/usr/share/icons/hicolor/128x128/apps/org.tavlo.Tavlo.png");
    expected.insert("/usr/share/icons/hicolor/256x256/apps/org.tavlo.Tavlo.png");
    EXPECT_EQ(files, expected);
    // Both programs are executable.
    EXPECT_NE(
        Capture("dpkg-deb -c '" + *deb_ + "' | grep ' ./usr/bin/tavlo$'").rfind("-rwxr-xr-x", 0),
        std::string::npos);
}

TEST_F(DebPackage, DeclaresWhatItNeeds) {
    const std::string depends = Capture("dpkg-deb -f '" + *deb_ + "' Depends");
    for (const char* library : {"libsdl2-2.0-0", "libpng16-16", "libc6", "libstdc++6"}) {
        EXPECT_NE(depends.find(library), std::string::npos) << depends;
    }
    EXPECT_EQ(Capture("dpkg-deb -f '" + *deb_ + "' Package Architecture Section"),
              "Package: tavlo\nArchitecture: amd64\nSection: games\n");
}

TEST_F(DebPackage, InstalledGameRunsThroughItsLauncher) {
    const std::string root = *folder_ + "/root";
    ASSERT_EQ(testing_support::Run("", "dpkg -x '" + *deb_ + "' '" + root + "'").exitCode, 0);
    const std::string home = *folder_ + "/home";
    std::ofstream(*folder_ + "/pause.txt") << "400 down PAUSE\n";
    const std::string environment =
        "HOME='" + home + "' TAVLO_VIDEO=headless TAVLO_INPUT='" + *folder_ + "/pause.txt'";
    const RunResult first = testing_support::Run(environment, root + "/usr/bin/tavlo");
    const std::string score = home + "/.local/share/tavlo/score.dat";
    // Pause, or no archive yet: either way the game ends itself, with code 1.
    EXPECT_EQ(first.exitCode, 1) << first.standardError;
    EXPECT_EQ(ReadFile(score), std::string(4, '\0'));

    std::ofstream(score, std::ios::binary | std::ios::trunc) << std::string("\x07\x01\0\0", 4);
    const RunResult second = testing_support::Run(environment, root + "/usr/bin/tavlo");
    EXPECT_EQ(second.exitCode, 1) << second.standardError;
    EXPECT_EQ(ReadFile(score), std::string("\x07\x01\0\0", 4));
}

}  // namespace
