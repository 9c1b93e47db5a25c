// Every icon shows the artwork's tile at a whole-number scale: enlarged, each artwork pixel a
// square block of one colour; reduced, the tile's size divided by a whole factor. Nothing is
// stretched unevenly.
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process.h"

namespace {

constexpr int kTileX = 6, kTileY = 9, kTileW = 62, kTileH = 67;  // in game0.bmp

std::vector<std::uint32_t> ReadRgba(const std::string& path, int& width, int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint32_t> pixels(image.width * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return pixels;
}

// The 8-bit artwork as RGBA words like ReadRgba's (bytes R, G, B, A), index 1 transparent.
std::vector<std::uint32_t> ReadArt(const std::string& path, int& width) {
    const std::string read = testing_support::ReadFile(path);
    const std::vector<unsigned char> d(read.begin(), read.end());
    auto le = [&](std::size_t at) {
        return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | d[at + 3] << 24;
    };
    if (d.size() < 1078) return {};
    width = le(18);
    const int height = le(22);
    const int row = (width + 3) & ~3;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char index = d[le(10) + (height - 1 - y) * row + x];
            const unsigned char* c = &d[54 + 4 * index];
            pixels[static_cast<std::size_t>(y) * width + x] =
                index == 1 ? 0u : 0xFF000000u | c[0] << 16 | c[1] << 8 | c[2];
        }
    }
    return pixels;
}

TEST(Icons, EachIsTheTileAtAWholeScale) {
    int artWidth = 0;
    const std::vector<std::uint32_t> art =
        ReadArt(TAVLO_BINARY_DIR "/icons/art/game0.bmp", artWidth);
    ASSERT_FALSE(art.empty());
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        int width = 0, height = 0;
        const std::vector<std::uint32_t> icon =
            ReadRgba(TAVLO_BINARY_DIR "/icons/" + std::to_string(size) + ".png", width, height);
        ASSERT_EQ(width, size);
        ASSERT_EQ(height, size);
        // The box of every pixel that is not wholly transparent.
        int left = size, top = size, right = -1, bottom = -1;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (icon[static_cast<std::size_t>(y) * size + x] >> 24 == 0) continue;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
        const int w = right - left + 1, h = bottom - top + 1;
        if (w >= kTileW) {
            const int factor = w / kTileW;
            ASSERT_EQ(w, kTileW * factor);
            ASSERT_EQ(h, kTileH * factor);
            int wrong = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const std::uint32_t expected =
                        art[static_cast<std::size_t>(kTileY + y / factor) * artWidth + kTileX +
                            x / factor];
                    wrong += icon[static_cast<std::size_t>(top + y) * size + left + x] != expected;
                }
            }
            EXPECT_EQ(wrong, 0);
        } else {
            // Reduced by a whole factor: the tile's size over it, rounded up.
            bool whole = false;
            for (int factor = 2; factor <= kTileH; ++factor) {
                whole = whole || (w == (kTileW + factor - 1) / factor &&
                                  h == (kTileH + factor - 1) / factor);
            }
            EXPECT_TRUE(whole) << w << "x" << h;
        }
        // Centred.
        EXPECT_LE(std::abs(left - (size - 1 - right)), 1);
        EXPECT_LE(std::abs(top - (size - 1 - bottom)), 1);
    }
}

}  // namespace
