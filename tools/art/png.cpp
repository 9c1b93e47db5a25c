#include "png.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace art {

bool WritePng(const std::string& path, const Picture& picture, int zoom, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        error = "out of memory writing " + path;
        return false;
    }
    const Canvas& canvas = picture.canvas;
    const auto width = static_cast<png_uint_32>(canvas.Width() * zoom);
    const auto height = static_cast<png_uint_32>(canvas.Height() * zoom);
    std::vector<png_byte> row(width);
    // libpng reports failures by jumping back here; everything with a destructor
    // is made before it.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        error = "cannot write " + path;
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color colours[256];
    for (int i = 0; i < 256; ++i) {
        const Rgb& c = picture.palette[static_cast<std::size_t>(i)];
        colours[i] = {c.r, c.g, c.b};
    }
    png_set_PLTE(png, info, colours, 256);
    png_write_info(png, info);
    for (png_uint_32 y = 0; y < height; ++y) {
        for (png_uint_32 x = 0; x < width; ++x)
            row[x] = canvas.At(static_cast<int>(x) / zoom, static_cast<int>(y) / zoom);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return true;
}

}  // namespace art
