// tavlo-icon IN.bmp X Y WIDTH HEIGHT SIZE OUT.png
// Cuts a region out of an 8-bit bitmap and writes it as a SIZE × SIZE paletted PNG, scaled by the
// largest whole factor that fits and centred; palette entry 1, the artwork's transparent colour,
// and the margin are transparent.
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

bool WritePng(const char* path, int size, const std::vector<unsigned char>& pixels,
              const std::vector<png_color>& palette) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
        rows[static_cast<std::size_t>(y)] =
            const_cast<png_bytep>(pixels.data() + static_cast<std::size_t>(y) * size);
    }
    png_byte alpha[2] = {255, 0};  // entry 1 is transparent
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8,
                 PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette.data(), 256);
    png_set_tRNS(png, info, alpha, 2, nullptr);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: tavlo-icon IN.bmp X Y WIDTH HEIGHT SIZE OUT.png\n");
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
        size < w || size < h || size > 1024) {
        std::fprintf(stderr, "tavlo-icon: the region does not fit\n");
        return 2;
    }
    const int factor = std::min(size / w, size / h);
    const int left = (size - w * factor) / 2, top = (size - h * factor) / 2;
    std::vector<unsigned char> icon(static_cast<std::size_t>(size) * size, 1);
    for (int y = 0; y < h * factor; ++y) {
        for (int x = 0; x < w * factor; ++x) {
            icon[static_cast<std::size_t>((top + y) * size + left + x)] =
                bitmap.pixels[static_cast<std::size_t>((y0 + y / factor) * bitmap.width + x0 +
                                                       x / factor)];
        }
    }
    if (!WritePng(argv[7], size, icon, bitmap.palette)) {
        std::fprintf(stderr, "tavlo-icon: cannot write %s\n", argv[7]);
        return 1;
    }
    return 0;
}
