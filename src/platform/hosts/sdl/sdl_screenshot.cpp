// Screenshots as paletted PNGs (libpng).
#include "sdl_screenshot.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "files.h"
#include "system.h"

namespace sdl {
namespace {

// libpng reports errors by longjmp; nothing with a destructor lives in this frame.
bool WritePng(std::FILE* file, const host::ScreenImage& image, const png_color* palette,
              png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette, 256);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::string ScreenshotName(const std::tm& t, int attempt) {
    char name[80];
    const int length =
        std::snprintf(name, sizeof name, "tavlo-%04d-%02d-%02d-%02d%02d%02d", t.tm_year + 1900,
                      t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    if (length > 0 && attempt > 0 && static_cast<std::size_t>(length) < sizeof name) {
        std::snprintf(name + length, sizeof name - static_cast<std::size_t>(length), "-%d",
                      attempt + 1);
    }
    return std::string(name) + ".png";
}

std::string ScreenshotFolder() {
    return platform::GameFolderPath(platform::UserFolder::Pictures);
}

bool WritePalettedPng(std::FILE* file, const host::ScreenImage& image) {
    if (!file || !image.pixels || !image.colours || image.width <= 0 || image.height <= 0) {
        return false;
    }
    std::vector<png_color> palette(256);
    for (int i = 0; i < 256; ++i) {
        palette[static_cast<std::size_t>(i)] = {image.colours[i].r, image.colours[i].g,
                                                image.colours[i].b};
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        rows[static_cast<std::size_t>(y)] =
            const_cast<png_bytep>(image.pixels + static_cast<long>(y) * image.pitch);
    }
    return WritePng(file, image, palette.data(), rows.data()) && std::fflush(file) == 0;
}

std::string SaveScreenshot(const std::string& folder, const host::ScreenImage& image,
                           std::time_t when) {
    if (folder.empty() || !platform::MakeFolders(folder)) return "";
    const std::tm local = platform::LocalTime(when);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string path = folder + "/" + ScreenshotName(local, attempt);
        // O_EXCL: an existing picture is never touched, even one made in the same instant. The
        // name goes through the file module: UTF-16 on Windows, whatever the user's name.
        const int fd = platform::OpenFile(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return "";
        }
        std::FILE* file = ::fdopen(fd, "wb");
        if (!file) {
            ::close(fd);
            platform::RemoveFile(path);
            return "";
        }
        const bool written = WritePalettedPng(file, image);
        const bool closed = std::fclose(file) == 0;
        if (written && closed) return path;
        platform::RemoveFile(path);
        return "";
    }
    return "";
}

}  // namespace sdl
