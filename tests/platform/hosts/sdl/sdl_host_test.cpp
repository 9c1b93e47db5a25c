// The real program in the SDL host on SDL's dummy video driver: scripted keys, the settings file
// and screenshots, seen from outside.
#include <cstdlib>
#include <dirent.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
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
    std::string folder = FreshFolder("sdl");

    RunResult Start(const std::string& script, const std::string& environment = "",
                    const std::string& arguments = "") {
        std::ofstream(folder + "/script.txt") << script;
        std::ofstream(folder + "/score.dat", std::ios::binary).write("\0\0\0\0", 4);
        // The game needs its archive in the working folder.
        EXPECT_EQ(std::system(("cp '" TAVLO_BINARY_DIR "/tavlo.rka' '" + folder + "/'").c_str()),
                  0);
        return Run("cd '" + folder + "' && " + environment +
                       " TAVLO_VIDEO=sdl SDL_VIDEODRIVER=dummy HOME='" + folder +
                       "/home' XDG_CONFIG_HOME='" + folder + "/config' XDG_PICTURES_DIR='" +
                       folder + "/pictures' TAVLO_INPUT=script.txt",
                   std::string(TAVLO_BINARY) + " " + arguments);
    }
    std::string Read(const std::string& name) const { return ReadFile(folder + "/" + name); }
    // The window's pictures that SDL's dummy driver saved (SDL_VIDEO_DUMMY_SAVE_FRAMES), in the
    // order shown; they are taken out of the folder.
    std::vector<std::string> TakeFrames() const {
        std::vector<std::string> frames;
        if (DIR* dir = ::opendir(folder.c_str())) {
            while (dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name.rfind("SDL_window", 0) == 0) frames.push_back(name);
            }
            ::closedir(dir);
        }
        std::sort(frames.begin(), frames.end());
        std::vector<std::string> contents;
        for (const std::string& frame : frames) {
            contents.push_back(Read(frame));
            std::remove((folder + "/" + frame).c_str());
        }
        return contents;
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
    "window=960x720\n"
    "pause_on_focus_loss=yes\n";

// The file's settings lines, without comments and bindings (`prefix` "key." for those of keys).
std::string Values(const std::string& settings, const std::string& prefix = "") {
    std::istringstream in(settings);
    std::string line, values;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const bool binding = line.rfind("key.", 0) == 0 || line.rfind("pad.", 0) == 0;
        if (prefix.empty() ? !binding : line.rfind(prefix, 0) == 0) values += line + "\n";
    }
    return values;
}

TEST(SdlHost, PauseEndsTheRunAndDefaultSettingsAreWritten) {
    Program program;
    const RunResult result = program.Start("500 down PAUSE\n");
    EXPECT_EQ(result.exitCode, 1) << result.standardError;
    const std::string written = program.Read("config/tavlo/settings.conf");
    EXPECT_EQ(Values(written), kDefaults);
    EXPECT_EQ(Values(written, "key."),
              "key.left=Left\nkey.right=Right\nkey.up=Up\nkey.down=Down\n"
              "key.enter=Return,Keypad Enter\nkey.skip=Left Ctrl,Right Ctrl\nkey.pause=Pause\n"
              "key.fullscreen=Alt+Return,Alt+Keypad Enter\nkey.scaling=F11,F9\n"
              "key.screenshot=F12\n");
}

TEST(SdlHost, ABadSettingsLineIsSkippedWithANoteAndTheGameStillRuns) {
    Program program;
    ASSERT_EQ(std::system(("mkdir -p '" + program.folder + "/config/tavlo'").c_str()), 0);
    const std::string mine = "scaling=smooth\nmode=\xff\xfe garbage\n";
    std::ofstream(program.folder + "/config/tavlo/settings.conf") << mine;
    const RunResult result = program.Start("500 down PAUSE\n");
    EXPECT_EQ(result.exitCode, 1) << result.standardError;
    EXPECT_NE(result.standardError.find("line 2 ignored"), std::string::npos)
        << result.standardError;
    EXPECT_EQ(program.Read("config/tavlo/settings.conf"), mine);  // left for its owner to mend
}

TEST(SdlHost, F11SwitchesToSmoothAndIsRemembered) {
    Program program;
    EXPECT_EQ(program.Start("400 down F11\n450 up F11\n600 down PAUSE\n").exitCode, 1);
    EXPECT_EQ(Values(program.Read("config/tavlo/settings.conf")),
              "mode=fullscreen\nscaling=smooth\nwindow=960x720\npause_on_focus_loss=yes\n");
    // Next run starts smooth; F9 (where a window manager keeps F11) goes back.
    EXPECT_EQ(program.Start("400 down F9\n600 down PAUSE\n").exitCode, 1);
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

std::vector<std::uint32_t> ReadBmp24(const std::string& file, int& width, int& height);

// --window and --smooth hold for the run they are given to: the window has its own size, not the
// display's, and the settings file keeps what was saved. A key the player presses saves what
// it switched, and only that.
TEST(SdlHost, CommandLineChoicesHoldForThisRunOnly) {
    Program program;
    RunResult result =
        program.Start("600 down PAUSE\n", "SDL_VIDEO_DUMMY_SAVE_FRAMES=1", "--window --smooth");
    ASSERT_EQ(result.exitCode, 1) << result.standardError;
    const std::vector<std::string> frames = program.TakeFrames();
    ASSERT_FALSE(frames.empty());
    int width = 0, height = 0;
    ReadBmp24(frames.back(), width, height);
    EXPECT_EQ(width, 960);
    EXPECT_EQ(height, 720);
    EXPECT_EQ(Values(program.Read("config/tavlo/settings.conf")), kDefaults);

    result = program.Start("400 down F11\n450 up F11\n600 down PAUSE\n", "", "--window");
    ASSERT_EQ(result.exitCode, 1) << result.standardError;
    EXPECT_EQ(Values(program.Read("config/tavlo/settings.conf")),
              "mode=fullscreen\nscaling=smooth\nwindow=960x720\npause_on_focus_loss=yes\n");
}

// The pixels of a 24-bit .bmp file's contents as 0xRRGGBB, top row first.
std::vector<std::uint32_t> ReadBmp24(const std::string& file, int& width, int& height) {
    const std::vector<unsigned char> data(file.begin(), file.end());
    auto u32 = [&](std::size_t at) { return platform::ReadLe32(&data[at]); };
    width = height = 0;
    if (data.size() < 54 || data[28] != 24) return {};
    const std::uint32_t offset = u32(10);
    width = static_cast<int>(u32(18));
    height = static_cast<int>(u32(22));  // positive: bottom-up
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    if (data.size() < offset + stride * static_cast<std::size_t>(height)) return {};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data.data() + offset + stride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            pixels[static_cast<std::size_t>(y) * width + x] =
                row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x];
        }
    }
    return pixels;
}

// Without a graphics chip the host draws the picture into the window's pixels itself. SDL's dummy
// driver saves each update of those pixels (SDL_VIDEO_DUMMY_SAVE_FRAMES): during the logo's hold
// the window must show the screen exactly, three times enlarged on its 1024×768 display and
// centred on black.
TEST(SdlHost, TheWindowShowsTheScreenAtAWholeFactor) {
    Program program;
    const RunResult result = program.Start("2000 down F12\n2020 up F12\n2100 down PAUSE\n",
                                           "SDL_VIDEO_DUMMY_SAVE_FRAMES=1");
    ASSERT_EQ(result.exitCode, 1) << result.standardError;
    const std::vector<std::string> pictures = program.Pictures();
    ASSERT_EQ(pictures.size(), 1u) << result.standardError;

    png_image shot{};
    shot.version = PNG_IMAGE_VERSION;
    const std::string shotPath = program.folder + "/pictures/tavlo/" + pictures[0];
    ASSERT_NE(png_image_begin_read_from_file(&shot, shotPath.c_str()), 0);
    shot.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> screen(PNG_IMAGE_SIZE(shot));
    ASSERT_NE(png_image_finish_read(&shot, nullptr, screen.data(), 0, nullptr), 0);
    ASSERT_EQ(shot.width, 320u);

    // The last frame shown is the logo held.
    const std::vector<std::string> frames = program.TakeFrames();
    ASSERT_FALSE(frames.empty());
    int width = 0, height = 0;
    const std::vector<std::uint32_t> window = ReadBmp24(frames.back(), width, height);
    ASSERT_EQ(width, 1024);
    ASSERT_EQ(height, 768);

    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int sx = (x - 32) / 3, sy = (y - 24) / 3;
            std::uint32_t expected = 0;
            if (x >= 32 && y >= 24 && sx < 320 && sy < 240) {
                const unsigned char* rgb = screen.data() + 3 * (sy * 320 + sx);
                expected = static_cast<std::uint32_t>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
            }
            if (window[static_cast<std::size_t>(y) * width + x] != expected && wrong++ < 5) {
                ADD_FAILURE() << "window pixel " << x << "," << y;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
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

// Where no dialog can be shown (SDL's dummy driver, and no display for SDL's own X11 dialogs;
// or an X server without core fonts) the messages are on standard error only, and it says so
// once, with SDL's reason, however many dialogs the end brings.
TEST(SdlHost, WithoutDialogsStandardErrorSaysSoOnce) {
    const std::string folder = FreshFolder("nodialog");
    const RunResult result = testing_support::Run(
        "cd '" + folder + "' && env -u DISPLAY -u WAYLAND_DISPLAY TAVLO_VIDEO=sdl " +
            "SDL_VIDEODRIVER=dummy HOME='" + folder + "' XDG_CONFIG_HOME='" + folder + "/config'",
        TAVLO_BINARY);
    EXPECT_EQ(result.exitCode, 1);
    const std::string& error = result.standardError;
    EXPECT_NE(error.find("tavlo.rka"), std::string::npos) << error;
    const std::size_t note = error.find("no dialog can be shown (");
    EXPECT_NE(note, std::string::npos) << error;
    EXPECT_EQ(error.find("no dialog can be shown", note + 1), std::string::npos) << error;
}
