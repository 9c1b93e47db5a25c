// Screenshots: paletted PNGs that read back with the same indices and colours, under names that
// never clash.
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process.h"
#include "system.h"
#include "sdl_screenshot.h"

using namespace sdl;
using platform::PicturesFolderIn;

namespace {

std::string Folder(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder =
        std::string(tmp ? tmp : "/tmp") + "/tavlo-shots-" + std::to_string(::getpid()) + "-" + name;
    EXPECT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0);
    return folder;
}

struct Png {
    int width = 0, height = 0, bitDepth = 0, colourType = 0;
    std::vector<png_color> palette;
    std::vector<std::uint8_t> pixels;
};

// libpng's errors jump back here; the file is opened and closed by the caller.
Png ReadPngFrom(std::FILE* file) {
    Png out;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return Png{};
    }
    png_init_io(png, file);
    png_read_info(png, info);
    out.width = static_cast<int>(png_get_image_width(png, info));
    out.height = static_cast<int>(png_get_image_height(png, info));
    out.bitDepth = png_get_bit_depth(png, info);
    out.colourType = png_get_color_type(png, info);
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &palette, &count)) out.palette.assign(palette, palette + count);
    out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        png_read_row(png, out.pixels.data() + static_cast<std::size_t>(y) * out.width, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return out;
}

Png ReadPng(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return Png{};
    Png out = ReadPngFrom(file);
    std::fclose(file);
    return out;
}

// A 320×240 screen in a buffer with a wider pitch, every index used, and a palette of 256
// different colours.
struct Screen {
    static constexpr int kPitch = 336;
    std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(kPitch * 240, 0xEE);
    std::vector<host::Rgb> colours = std::vector<host::Rgb>(256);
    host::ScreenImage image;
    Screen() {
        for (int y = 0; y < 240; ++y) {
            for (int x = 0; x < 320; ++x) {
                memory[static_cast<std::size_t>(y * kPitch + x)] =
                    static_cast<std::uint8_t>(x * 7 + y * 13);
            }
        }
        for (int i = 0; i < 256; ++i) {
            colours[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i),
                                                    static_cast<std::uint8_t>(255 - i),
                                                    static_cast<std::uint8_t>(i * 37)};
        }
        image = host::ScreenImage{memory.data(), 320, 240, kPitch, colours.data()};
    }
};

TEST(Screenshot, PngKeepsIndicesAndPalette) {
    const Screen screen;
    const std::string folder = Folder("roundtrip");
    const std::string path = SaveScreenshot(folder + "/a/b", screen.image, std::time(nullptr));
    ASSERT_FALSE(path.empty());
    const Png png = ReadPng(path);
    EXPECT_EQ(png.width, 320);
    EXPECT_EQ(png.height, 240);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_PALETTE);
    ASSERT_EQ(png.palette.size(), 256u);
    for (int i = 0; i < 256; ++i) {
        const auto& c = screen.colours[static_cast<std::size_t>(i)];
        const auto& p = png.palette[static_cast<std::size_t>(i)];
        ASSERT_EQ((std::vector<int>{p.red, p.green, p.blue}), (std::vector<int>{c.r, c.g, c.b}))
            << "colour " << i;
    }
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            ASSERT_EQ(png.pixels[static_cast<std::size_t>(y * 320 + x)],
                      screen.memory[static_cast<std::size_t>(y * Screen::kPitch + x)])
                << x << "," << y;
        }
    }
}

TEST(Screenshot, NamesNeverClashAndOldPicturesAreKept) {
    const Screen screen;
    const std::string folder = Folder("names");
    std::tm when{};
    when.tm_year = 125;
    when.tm_mon = 0;
    when.tm_mday = 2;
    when.tm_hour = 3;
    when.tm_min = 4;
    when.tm_sec = 5;
    when.tm_isdst = -1;
    const std::time_t at = std::mktime(&when);
    EXPECT_EQ(ScreenshotName(when, 0), "tavlo-2025-01-02-030405.png");
    EXPECT_EQ(ScreenshotName(when, 1), "tavlo-2025-01-02-030405-2.png");

    // A picture already there under the first name stays as it is.
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    std::ofstream(folder + "/tavlo-2025-01-02-030405.png") << "mine";
    const std::string second = SaveScreenshot(folder, screen.image, at);
    const std::string third = SaveScreenshot(folder, screen.image, at);
    EXPECT_EQ(second, folder + "/tavlo-2025-01-02-030405-2.png");
    EXPECT_EQ(third, folder + "/tavlo-2025-01-02-030405-3.png");
    EXPECT_EQ(testing_support::ReadFile(folder + "/tavlo-2025-01-02-030405.png"), "mine");
    EXPECT_EQ(ReadPng(third).width, 320);
}

TEST(Screenshot, UnwritableFolderGivesNoPath) {
    const Screen screen;
    EXPECT_EQ(SaveScreenshot("/proc/tavlo", screen.image, 0), "");
    EXPECT_EQ(SaveScreenshot("", screen.image, 0), "");
    host::ScreenImage empty;
    EXPECT_EQ(SaveScreenshot(Folder("empty"), empty, 0), "");
}

TEST(Screenshot, UserDirsNameThePicturesFolder) {
    struct Case {
        const char* text;
        const char* folder;
    };
    const Case cases[] = {
        {"# written by xdg-user-dirs-update\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n",
         "/home/me/Bilder"},
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"/srv/pics/\"\n", "/srv/pics"},
        {"XDG_PICTURES_DIR=\"$HOME/My \\\"Pics\\\"\"", "/home/me/My \"Pics\""},
        {"XDG_PICTURES_DIR=\"$HOME\"", "/home/me"},
        {"XDG_PICTURES_DIR=\"$HOMEWORK/x\"", ""},  // only $HOME itself is replaced
        {"XDG_PICTURES_DIR=\"relative/pics\"", ""},
        {"XDG_PICTURES_DIR=$HOME/unquoted", ""},
        {"#XDG_PICTURES_DIR=\"/commented\"", ""},
        {"XDG_PICTURES_DIR=\"/first\"\nXDG_PICTURES_DIR=\"/second\"", "/second"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PicturesFolderIn(c.text, "/home/me"), c.folder) << c.text;
}

TEST(Screenshot, FolderFollowsXdgPicturesDirThenUserDirsThenHome) {
    const std::string config = Folder("config");
    ASSERT_EQ(::mkdir(config.c_str(), 0755), 0);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_PICTURES_DIR", "/p/pics", 1);
    ::setenv("HOME", "/home/me", 1);
    EXPECT_EQ(ScreenshotFolder(), "/p/pics/tavlo");
    ::unsetenv("XDG_PICTURES_DIR");
    EXPECT_EQ(ScreenshotFolder(), "/home/me/Pictures/tavlo");
    std::ofstream(config + "/user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/Kuvat\"\n";
    EXPECT_EQ(ScreenshotFolder(), "/home/me/Kuvat/tavlo");
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(ScreenshotFolder(), "");
}

}  // namespace
