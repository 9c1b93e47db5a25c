// tavlo-icon IN.bmp X Y WIDTH HEIGHT SIZE OUT.png|OUT.cpp
// Cuts a region out of an 8-bit bitmap and writes it as a SIZE × SIZE RGBA PNG (or, for OUT.h, a
// C++ header of ARGB words for the window's icon), drawn at a whole-number scale (see Draw) and
// centred; palette entry 1, the artwork's transparent colour, and the margin are transparent.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Bitmap {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;  // top row first
    std::vector<png_color> palette = std::vector<png_color>(256);
};

unsigned Le(const std::vector<unsigned char>& d, std::size_t at, int bytes) {
    unsigned v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | d[at + static_cast<std::size_t>(i)];
    return v;
}

// An uncompressed 8-bit BMP, bottom-up or top-down.
bool ReadBmp(const char* path, Bitmap& out) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || Le(d, 28, 2) != 8 || Le(d, 30, 4) != 0) {
        return false;
    }
    const unsigned offset = Le(d, 10, 4), header = Le(d, 14, 4);
    const int width = static_cast<int>(Le(d, 18, 4));
    int height = static_cast<int>(Le(d, 22, 4));
    const bool topDown = height < 0;
    if (topDown) height = -height;
    unsigned colours = Le(d, 46, 4);
    if (colours == 0 || colours > 256) colours = 256;
    const std::size_t row = (static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096 ||
        offset + row * static_cast<std::size_t>(height) > d.size() ||
        14 + header + colours * 4 > d.size()) {
        return false;
    }
    out.width = width;
    out.height = height;
    for (unsigned i = 0; i < colours; ++i) {
        const std::size_t at = 14 + header + i * 4;
        out.palette[i] = {d[at + 2], d[at + 1], d[at]};
    }
    out.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::size_t source =
            offset + row * static_cast<std::size_t>(topDown ? y : height - 1 - y);
        std::copy_n(d.begin() + static_cast<long>(source), width,
                    out.pixels.begin() + static_cast<long>(y) * width);
    }
    return true;
}

// Straight (not premultiplied) RGBA, four bytes a pixel, top row first.
using Rgba = std::vector<unsigned char>;

bool WritePng(const char* path, int size, const Rgba& pixels) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
        rows[static_cast<std::size_t>(y)] =
            const_cast<png_bytep>(pixels.data() + static_cast<std::size_t>(y) * size * 4);
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// The icon as a C++ source for the program's window (the SDL host's sdl_window_icon.h declares it):
// ARGB words, top row first.
bool WriteSource(const char* path, int size, const Rgba& pixels) {
    std::FILE* file = std::fopen(path, "w");
    if (!file) return false;
    std::fprintf(file,
                 "// Made by tavlo-icon from the game's artwork at build time.\n"
                 "#include \"sdl_window_icon.h\"\n"
                 "namespace sdl {\n"
                 "extern const int kWindowIconSize = %d;\n"
                 "extern const std::uint32_t kWindowIcon[] = {",
                 size);
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        const unsigned argb = static_cast<unsigned>(pixels[i + 3]) << 24 |
                              static_cast<unsigned>(pixels[i]) << 16 |
                              static_cast<unsigned>(pixels[i + 1]) << 8 | pixels[i + 2];
        std::fprintf(file, "%s0x%08x,", i % 32 == 0 ? "\n" : "", argb);
    }
    std::fprintf(file, "\n};\n}  // namespace sdl\n");
    return std::fclose(file) == 0;
}

// The region drawn at a whole-number scale into a SIZE × SIZE square, centred on transparency:
// enlarged by the largest whole factor that fits (each pixel a block), or, when the region is
// larger than the square, reduced by the smallest whole factor that fits (each block of factor ×
// factor pixels, the region padded with transparency to whole blocks, averaged into one).
Rgba Draw(const Bitmap& bitmap, int x0, int y0, int w, int h, int size) {
    Rgba icon(static_cast<std::size_t>(size) * size * 4, 0);
    auto source = [&](int x, int y, int channel) -> unsigned {
        if (x < 0 || y < 0 || x >= w || y >= h) return 0;
        const unsigned char index =
            bitmap.pixels[static_cast<std::size_t>((y0 + y) * bitmap.width + x0 + x)];
        if (index == 1) return 0;  // the artwork's transparent colour
        const png_color& c = bitmap.palette[index];
        return channel == 0 ? c.red : channel == 1 ? c.green : channel == 2 ? c.blue : 255;
    };
    if (w <= size && h <= size) {
        const int factor = std::min(size / w, size / h);
        const int left = (size - w * factor) / 2, top = (size - h * factor) / 2;
        for (int y = 0; y < h * factor; ++y) {
            for (int x = 0; x < w * factor; ++x) {
                for (int channel = 0; channel < 4; ++channel) {
                    icon[static_cast<std::size_t>(((top + y) * size + left + x) * 4 + channel)] =
                        static_cast<unsigned char>(source(x / factor, y / factor, channel));
                }
            }
        }
        return icon;
    }
    int factor = 2;
    while ((w + factor - 1) / factor > size || (h + factor - 1) / factor > size) ++factor;
    const int outW = (w + factor - 1) / factor, outH = (h + factor - 1) / factor;
    // The region sits centred in its padded blocks.
    const int padX = (outW * factor - w) / 2, padY = (outH * factor - h) / 2;
    const int left = (size - outW) / 2, top = (size - outH) / 2;
    const unsigned area = static_cast<unsigned>(factor * factor);
    for (int by = 0; by < outH; ++by) {
        for (int bx = 0; bx < outW; ++bx) {
            unsigned sum[4] = {};  // colours weighted by their opacity
            for (int y = 0; y < factor; ++y) {
                for (int x = 0; x < factor; ++x) {
                    const int sx = bx * factor + x - padX, sy = by * factor + y - padY;
                    const unsigned alpha = source(sx, sy, 3);
                    for (int channel = 0; channel < 3; ++channel) {
                        sum[channel] += source(sx, sy, channel) * alpha;
                    }
                    sum[3] += alpha;
                }
            }
            unsigned char* out =
                icon.data() + static_cast<std::size_t>(((top + by) * size + left + bx) * 4);
            if (sum[3] == 0) continue;
            for (int channel = 0; channel < 3; ++channel) {
                out[channel] = static_cast<unsigned char>((sum[channel] + sum[3] / 2) / sum[3]);
            }
            out[3] = static_cast<unsigned char>((sum[3] + area / 2) / area);
        }
    }
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: tavlo-icon IN.bmp X Y WIDTH HEIGHT SIZE OUT.png|OUT.cpp\n");
        return 2;
    }
    Bitmap bitmap;
    if (!ReadBmp(argv[1], bitmap)) {
        std::fprintf(stderr, "tavlo-icon: %s is not an 8-bit bitmap\n", argv[1]);
        return 1;
    }
    const int x0 = std::atoi(argv[2]), y0 = std::atoi(argv[3]);
    const int w = std::atoi(argv[4]), h = std::atoi(argv[5]), size = std::atoi(argv[6]);
    if (x0 < 0 || y0 < 0 || w <= 0 || h <= 0 || x0 + w > bitmap.width || y0 + h > bitmap.height ||
        size < 1 || size > 1024) {
        std::fprintf(stderr, "tavlo-icon: the region does not fit\n");
        return 2;
    }
    const Rgba icon = Draw(bitmap, x0, y0, w, h, size);
    const std::string out = argv[7];
    const bool source = out.size() > 4 && out.compare(out.size() - 4, 4, ".cpp") == 0;
    if (!(source ? WriteSource(argv[7], size, icon) : WritePng(argv[7], size, icon))) {
        std::fprintf(stderr, "tavlo-icon: cannot write %s\n", argv[7]);
        return 1;
    }
    return 0;
}
