// The settings file: written, read back, and damaged files falling back to the defaults.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "sdl_settings.h"

using namespace host::sdl;

namespace {

std::string Folder(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp ? tmp : "/tmp") + "/tavlo-settings-" +
                         std::to_string(::getpid()) + "-" + name;
    EXPECT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0);
    return folder;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Settings, FormattedSettingsReadBackTheSame) {
    const Settings cases[] = {
        Settings{},
        {WindowMode::Window, Scaling::Smooth, 1000, 750},
        {WindowMode::FullScreen, Scaling::Smooth, 320, 240},
        {WindowMode::Window, Scaling::Sharp, 16384, 16384},
    };
    for (const Settings& s : cases) {
        Settings read{WindowMode::Window, Scaling::Smooth, 500, 500};
        EXPECT_TRUE(ParseSettings(FormatSettings(s), read));
        EXPECT_EQ(read, s);
    }
}

TEST(Settings, HandWrittenVariantsAreAccepted) {
    Settings read;
    ASSERT_TRUE(ParseSettings("\n  # mine\r\n scaling = smooth \r\n\nmode=window\n", read));
    EXPECT_EQ(read, (Settings{WindowMode::Window, Scaling::Smooth, 960, 720}));
    ASSERT_TRUE(ParseSettings("", read));
    EXPECT_EQ(read, Settings{});
    ASSERT_TRUE(ParseSettings("window=1280x960\nwindow=640x480", read));
    EXPECT_EQ(read.windowWidth, 640);
}

TEST(Settings, DamagedTextGivesTheDefaults) {
    const std::string damaged[] = {
        "mode=fullscreen\nscaling=blurry\n",
        "mode=window\ncolour=blue\n",
        "mode window\n",
        "window=100x100\n",
        "window=960x\n",
        "window=x720\n",
        "window=96Ox720\n",
        "window=9999999x720\n",
        "window=-960x720\n",
        "mode=window\n\x01\x02\xff\xfe",
        std::string("mode=window\0scaling=smooth", 26),
        "mode=window\n" + std::string(5000, '#'),
    };
    for (const std::string& text : damaged) {
        SCOPED_TRACE(text.substr(0, 40));
        Settings read{WindowMode::Window, Scaling::Smooth, 500, 500};
        EXPECT_FALSE(ParseSettings(text, read));
        EXPECT_EQ(read, Settings{});
    }
}

TEST(Settings, DamagedOrMissingFileIsRewrittenWithDefaults) {
    const std::string folder = Folder("damaged");
    const std::string path = folder + "/tavlo/settings.conf";
    // Missing, folder and all: defaults, and the file is made.
    EXPECT_EQ(LoadSettings(path), Settings{});
    EXPECT_EQ(ReadFile(path), FormatSettings(Settings{}));

    const std::string damaged[] = {"mode=sideways\n", std::string(10000, 'x'), "\xff\xd8\xff"};
    for (const std::string& text : damaged) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        EXPECT_EQ(LoadSettings(path), Settings{});
        EXPECT_EQ(ReadFile(path), FormatSettings(Settings{}));
    }
}

TEST(Settings, SavedFileIsLoaded) {
    const std::string path = Folder("saved") + "/deep/er/settings.conf";
    const Settings mine{WindowMode::Window, Scaling::Smooth, 1111, 777};
    ASSERT_TRUE(SaveSettings(path, mine));
    EXPECT_EQ(LoadSettings(path), mine);
    EXPECT_FALSE(SaveSettings("", mine));
    EXPECT_FALSE(SaveSettings("/proc/no/such/settings.conf", mine));
}

TEST(Settings, PathFollowsXdgConfigHomeThenHome) {
    ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
    ::setenv("HOME", "/home/me", 1);
    EXPECT_EQ(SettingsPath(), "/x/config/tavlo/settings.conf");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as the XDG rules say
    EXPECT_EQ(SettingsPath(), "/home/me/.config/tavlo/settings.conf");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsPath(), "/home/me/.config/tavlo/settings.conf");
    ::unsetenv("HOME");
    EXPECT_EQ(SettingsPath(), "");
}

}  // namespace
