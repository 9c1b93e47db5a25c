// The real program in the SDL host on SDL's dummy video driver: scripted keys, the settings file
// and screenshots, seen from outside.
#include <cstdlib>
#include <dirent.h>
#include <png.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support.h"

using namespace testing_support;

namespace {

struct Program {
    std::string folder = FreshFolder("sdl");

    RunResult Start(const std::string& script) {
        std::ofstream(folder + "/script.txt") << script;
        std::ofstream(folder + "/score.dat", std::ios::binary).write("\0\0\0\0", 4);
        // The game needs its archive in the working folder.
        std::system(("cp '" TAVLO_BINARY_DIR "/tavlo.rka' '" + folder + "/'").c_str());
        return Run("cd '" + folder + "' && TAVLO_VIDEO=sdl SDL_VIDEODRIVER=dummy HOME='" + folder +
                       "/home' XDG_CONFIG_HOME='" + folder + "/config' XDG_PICTURES_DIR='" +
                       folder + "/pictures' TAVLO_INPUT=script.txt",
                   TAVLO_BINARY);
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(folder + "/" + name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> Pictures() const {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir((folder + "/pictures/tavlo").c_str())) {
            while (dirent* entry = ::readdir(dir)) {
                if (entry->d_name[0] != '.') names.push_back(entry->d_name);
            }
            ::closedir(dir);
        }
        return names;
    }
};

const char kDefaults[] =
    "mode=fullscreen\n"
    "scaling=sharp\n"
    "window=960x720\n";

std::string Values(const std::string& settings) {
    std::istringstream in(settings);
    std::string line, values;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#') values += line + "\n";
    }
    return values;
}

TEST(SdlHost, PauseEndsTheRunAndDefaultSettingsAreWritten) {
    Program program;
    const RunResult result = program.Start("500 down PAUSE\n");
    EXPECT_EQ(result.exitCode, 1) << result.standardError;
    EXPECT_EQ(Values(program.Read("config/tavlo/settings.conf")), kDefaults);
}

TEST(SdlHost, DamagedSettingsAreRewrittenAndTheGameStillRuns) {
    Program program;
    ASSERT_EQ(std::system(("mkdir -p '" + program.folder + "/config/tavlo'").c_str()), 0);
    std::ofstream(program.folder + "/config/tavlo/settings.conf") << "mode=\xff\xfe garbage\n";
    const RunResult result = program.Start("500 down PAUSE\n");
    EXPECT_EQ(result.exitCode, 1) << result.standardError;
    EXPECT_NE(result.standardError.find("damaged"), std::string::npos);
    EXPECT_EQ(Values(program.Read("config/tavlo/settings.conf")), kDefaults);
}

TEST(SdlHost, F11SwitchesToSmoothAndIsRemembered) {
    Program program;
    EXPECT_EQ(program.Start("400 down F11\n450 up F11\n600 down PAUSE\n").exitCode, 1);
    EXPECT_EQ(Values(program.Read("config/tavlo/settings.conf")),
              "mode=fullscreen\nscaling=smooth\nwindow=960x720\n");
    // Next run starts smooth; F11 again goes back.
    EXPECT_EQ(program.Start("400 down F11\n600 down PAUSE\n").exitCode, 1);
    EXPECT_EQ(Values(program.Read("config/tavlo/settings.conf")), kDefaults);
}

TEST(SdlHost, F12WritesAPalettedScreenshotEachTime) {
    Program program;
    const RunResult result =
        program.Start("500 down F12\n520 up F12\n540 down F12\n560 up F12\n700 down PAUSE\n");
    EXPECT_EQ(result.exitCode, 1) << result.standardError;
    const std::vector<std::string> pictures = program.Pictures();
    ASSERT_EQ(pictures.size(), 2u) << result.standardError;
    for (const std::string& name : pictures) {
        EXPECT_EQ(name.rfind("tavlo-", 0), 0u);
        std::FILE* file = std::fopen((program.folder + "/pictures/tavlo/" + name).c_str(), "rb");
        ASSERT_NE(file, nullptr);
        unsigned char header[26];
        ASSERT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
        std::fclose(file);
        EXPECT_EQ(png_sig_cmp(header, 0, 8), 0);
        // IHDR: 320 × 240, depth 8, colour type 3 (palette).
        EXPECT_EQ(header[18] * 256 + header[19], 320);
        EXPECT_EQ(header[22] * 256 + header[23], 240);
        EXPECT_EQ(header[24], 8);
        EXPECT_EQ(header[25], 3);
    }
}

}  // namespace

// With no display at all, SDL would fall back to a driver that draws nowhere: the player gets
// the start-up error instead of a game running invisibly.
TEST(SdlHost, NoDisplayEndsWithTheStartUpMessage) {
    const std::string folder = FreshFolder("nodisplay");
    const RunResult result = testing_support::Run(
        "cd '" + folder +
            "' && env -u SDL_VIDEODRIVER -u DISPLAY -u WAYLAND_DISPLAY -u TAVLO_VIDEO",
        TAVLO_BINARY);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.standardError.find("DirectDrawを初期化出来ません(;;"), std::string::npos)
        << result.standardError;
}
