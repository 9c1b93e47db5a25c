// GDI's bitmaps as the picture loading relies on them: LoadImageA from files (and nothing from
// what it cannot read), GetObjectA, and BitBlt / StretchBlt into a surface's device context with
// colours matched to the palette in force, never touching a pixel outside either side.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bmp_writer.h"
#include "process.h"
#include "screen_support.h"

using namespace testing_support;

namespace {

constexpr unsigned char kUntouched = 200;
// The palette in force during these tests: entry i is grey level i, so an index shows which
// colour GDI matched.
constexpr std::uint32_t Grey(int level) {
    return static_cast<std::uint32_t>(level) * 0x010101u;
}

class GdiBitmaps : public ::testing::Test {
  protected:
    void SetUp() override {
        screen_ = OpenScreen();
        UseGreyPalette(screen_);
        for (int y = 0; y < 240; ++y)
            std::memset(screen_.memory + y * screen_.pitch, kUntouched, 320);
        folder_ = FreshFolder("gdi");
    }
    void TearDown() override {
        if (bitmap_) {
            EXPECT_TRUE(DeleteObject(bitmap_));
        }
        CloseScreen(screen_);
    }
    unsigned char SlotPixel(int x, int y) const { return screen_.Pixel(x, y); }

    // Writes the picture and loads it; the test owns the bitmap until TearDown.
    HBITMAP Load(const test_bmp::Picture& picture, int cx = 0, int cy = 0) {
        const std::string path = folder_ + "/picture.bmp";
        test_bmp::Write(path, picture);
        bitmap_ =
            static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), path.c_str(), IMAGE_BITMAP,
                                            cx, cy, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
        return bitmap_;
    }

    // Selects the loaded bitmap into a memory DC, gets slot 2's DC and runs `copy` with both.
    template <typename Copy>
    BOOL IntoSlot2(Copy copy) {
        HDC memoryDC = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(memoryDC, bitmap_);
        HDC surfaceDC = nullptr;
        EXPECT_EQ(screen_.offscreen->GetDC(&surfaceDC), DD_OK);
        const BOOL result = copy(surfaceDC, memoryDC);
        screen_.offscreen->ReleaseDC(surfaceDC);
        SelectObject(memoryDC, previous);
        DeleteDC(memoryDC);
        return result;
    }

    std::string folder_;
    HBITMAP bitmap_ = nullptr;
    Screen screen_;
};

// A 4 × 3 picture whose pixel (x, y) has grey level 10 + 20 * (y * 4 + x), at any depth.
test_bmp::Picture Ramp(int bitCount) {
    test_bmp::Picture p{4, 3, bitCount, {}, -1, {}, {}};
    const int tableSize = bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 12 : 0;
    for (int k = 0; k < tableSize; ++k) p.colours.push_back(Grey((10 + 20 * k) % 256));
    for (int k = 0; k < 12; ++k) {
        if (bitCount >= 24) {
            p.pixels.push_back(Grey(10 + 20 * k));
        } else {
            p.pixels.push_back(static_cast<std::uint32_t>(k % tableSize));
        }
    }
    return p;
}

int RampIndex(int bitCount, int x, int y) {
    const int k = y * 4 + x;
    return 10 + 20 * (bitCount == 1 ? k % 2 : k);
}

int CountChanged(const testing_support::Screen& screen) {
    int n = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) n += screen.Pixel(x, y) != kUntouched;
    return n;
}

}  // namespace

struct DepthCase {
    int bitCount;
    int width;
    LONG widthBytes;
};

class GdiDepths : public GdiBitmaps, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(GdiDepths, GetObjectDescribesTheBitmap) {
    const DepthCase c = GetParam();
    test_bmp::Picture p = Ramp(c.bitCount);
    p.width = c.width;
    p.pixels.assign(static_cast<size_t>(c.width * p.height), 1);
    ASSERT_NE(Load(p), nullptr);

    BITMAP info;
    std::memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(GetObjectA(bitmap_, static_cast<int>(sizeof info), &info),
              static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmType, 0);
    EXPECT_EQ(info.bmWidth, c.width);
    EXPECT_EQ(info.bmHeight, 3);
    EXPECT_EQ(info.bmWidthBytes, c.widthBytes);
    EXPECT_EQ(info.bmPlanes, 1);
    EXPECT_EQ(info.bmBitsPixel, c.bitCount);

    // The design's callers pass the 32-bit size: nothing beyond those 24 bytes is written.
    unsigned char raw[sizeof(BITMAP) + 8];
    std::memset(raw, 0xAB, sizeof raw);
    EXPECT_EQ(GetObjectA(bitmap_, 24, raw), 24);
    EXPECT_EQ(std::memcmp(raw, &info, 20), 0);
    for (size_t i = 24; i < sizeof raw; ++i) EXPECT_EQ(raw[i], 0xAB) << i;
    EXPECT_EQ(GetObjectA(bitmap_, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
}

TEST_P(GdiDepths, BitBltTurnsEveryColourIntoItsNearestIndex) {
    const int bitCount = GetParam().bitCount;
    ASSERT_NE(Load(Ramp(bitCount)), nullptr);
    ASSERT_TRUE(IntoSlot2(
        [](HDC dest, HDC source) { return BitBlt(dest, 5, 7, 4, 3, source, 0, 0, SRCCOPY); }));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(SlotPixel(5 + x, 7 + y), RampIndex(bitCount, x, y)) << x << "," << y;
    EXPECT_EQ(CountChanged(screen_), 12);
}

INSTANTIATE_TEST_SUITE_P(Depths, GdiDepths,
                         ::testing::Values(DepthCase{1, 9, 4}, DepthCase{4, 9, 8},
                                           DepthCase{8, 5, 8}, DepthCase{24, 5, 16},
                                           DepthCase{32, 3, 12}),
                         [](const ::testing::TestParamInfo<DepthCase>& info) {
                             return "Bits" + std::to_string(info.param.bitCount);
                         });

TEST_F(GdiBitmaps, ColoursBetweenPaletteEntriesAndPastTheTableMatchTheNearest) {
    // (10, 12, 14) lies nearest grey 12; an index past a three-colour table is black.
    test_bmp::Picture p{3, 1, 8, {Grey(90), 0x0A0C0E, Grey(255)}, -1, {0, 1, 3}, {}};
    ASSERT_NE(Load(p), nullptr);
    ASSERT_TRUE(IntoSlot2(
        [](HDC dest, HDC source) { return BitBlt(dest, 0, 0, 3, 1, source, 0, 0, SRCCOPY); }));
    EXPECT_EQ(SlotPixel(0, 0), 90);
    EXPECT_EQ(SlotPixel(1, 0), 12);
    EXPECT_EQ(SlotPixel(2, 0), 0);

    test_bmp::Picture direct{2, 1, 24, {}, -1, {0x0A0C0E, 0xFF0000}, {}};
    EXPECT_TRUE(DeleteObject(bitmap_));
    ASSERT_NE(Load(direct), nullptr);
    ASSERT_TRUE(IntoSlot2(
        [](HDC dest, HDC source) { return BitBlt(dest, 0, 0, 2, 1, source, 0, 0, SRCCOPY); }));
    EXPECT_EQ(SlotPixel(0, 0), 12);
    EXPECT_EQ(SlotPixel(1, 0), 85);  // (255, 0, 0) is nearest grey 85
}

struct ClipCase {
    const char* name;
    int dx, dy, w, h, sx, sy;
};

class GdiClipping : public GdiBitmaps, public ::testing::WithParamInterface<ClipCase> {};

TEST_P(GdiClipping, CopiesOnlyWhatLiesOnBothTheSurfaceAndTheBitmap) {
    const ClipCase c = GetParam();
    ASSERT_NE(Load(Ramp(8)), nullptr);
    ASSERT_TRUE(IntoSlot2([&](HDC dest, HDC source) {
        return BitBlt(dest, c.dx, c.dy, c.w, c.h, source, c.sx, c.sy, SRCCOPY);
    }));
    int expected = 0;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const long long bx = static_cast<long long>(x) - c.dx + c.sx;
            const long long by = static_cast<long long>(y) - c.dy + c.sy;
            const bool inCopy = x - static_cast<long long>(c.dx) < c.w &&
                                y - static_cast<long long>(c.dy) < c.h && x >= c.dx && y >= c.dy;
            if (inCopy && bx >= 0 && bx < 4 && by >= 0 && by < 3) {
                ++expected;
                ASSERT_EQ(SlotPixel(x, y), RampIndex(8, static_cast<int>(bx), static_cast<int>(by)))
                    << x << "," << y;
            } else {
                ASSERT_EQ(SlotPixel(x, y), kUntouched) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(CountChanged(screen_), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GdiClipping,
    ::testing::Values(ClipCase{"OffTopLeft", -2, -1, 4, 3, 0, 0},
                      ClipCase{"OffBottomRight", 318, 238, 4, 3, 0, 0},
                      ClipCase{"SourcePastTheBitmap", 10, 10, 4, 3, 2, 1},
                      ClipCase{"SourceBeforeTheBitmap", 10, 10, 6, 6, -2, -1},
                      ClipCase{"HugeSizes", 0, 0, INT_MAX, INT_MAX, 0, 0},
                      ClipCase{"EndsLeftOfTheSurface", INT_MIN, 0, INT_MAX, 3, 0, 0},
                      ClipCase{"RightOfTheSurface", 400, 10, 4, 3, 0, 0}),
    [](const ::testing::TestParamInfo<ClipCase>& info) { return std::string(info.param.name); });

TEST_F(GdiBitmaps, StretchBltSpreadsEachSourcePixelOverItsShareOfTheDestination) {
    test_bmp::Picture p{2, 2, 8, {Grey(40), Grey(80), Grey(120), Grey(160)}, -1, {0, 1, 2, 3}, {}};
    ASSERT_NE(Load(p), nullptr);
    ASSERT_TRUE(IntoSlot2([](HDC dest, HDC source) {
        return StretchBlt(dest, 10, 20, 6, 4, source, 0, 0, 2, 2, SRCCOPY);
    }));
    // A negative destination width mirrors the copy.
    ASSERT_TRUE(IntoSlot2([](HDC dest, HDC source) {
        return StretchBlt(dest, 52, 20, -2, 2, source, 0, 0, 2, 2, SRCCOPY);
    }));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(SlotPixel(10 + x, 20 + y), 40 + 40 * ((y / 2) * 2 + x / 3)) << x << "," << y;
    EXPECT_EQ(SlotPixel(50, 20), 80);
    EXPECT_EQ(SlotPixel(51, 20), 40);
    EXPECT_EQ(SlotPixel(50, 21), 160);
    EXPECT_EQ(CountChanged(screen_), 24 + 4);
}

TEST_F(GdiBitmaps, LoadImageScalesToTheAskedSize) {
    test_bmp::Picture p{2, 2, 8, {Grey(40), Grey(80), Grey(120), Grey(160)}, -1, {0, 1, 2, 3}, {}};
    struct {
        int cx, cy, width, height;
    } cases[] = {{4, 6, 4, 6}, {6, 0, 6, 2}, {0, 0, 2, 2}, {1, 1, 1, 1}};
    for (const auto& c : cases) {
        ASSERT_NE(Load(p, c.cx, c.cy), nullptr);
        BITMAP info{};
        GetObjectA(bitmap_, static_cast<int>(sizeof info), &info);
        EXPECT_EQ(info.bmWidth, c.width);
        EXPECT_EQ(info.bmHeight, c.height);
        ASSERT_TRUE(IntoSlot2([&](HDC dest, HDC source) {
            return BitBlt(dest, 0, 0, c.width, c.height, source, 0, 0, SRCCOPY);
        }));
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                // Each pixel shows the source pixel under its centre.
                EXPECT_EQ(SlotPixel(x, y),
                          40 + 40 * (((2 * y + 1) / c.height) * 2 + (2 * x + 1) / c.width))
                    << c.cx << "x" << c.cy << " at " << x << "," << y;
        EXPECT_TRUE(DeleteObject(bitmap_));
        bitmap_ = nullptr;
    }
}

TEST_F(GdiBitmaps, OnlySourceCopiesFromABitmapIntoASurfaceAreMade) {
    ASSERT_NE(Load(Ramp(8)), nullptr);
    EXPECT_FALSE(IntoSlot2([](HDC dest, HDC source) {
        return BitBlt(dest, 0, 0, 4, 3, source, 0, 0, 0x00EE0086);  // SRCPAINT
    }));
    EXPECT_FALSE(IntoSlot2([](HDC dest, HDC source) {
        return StretchBlt(dest, 0, 0, 8, 6, source, 0, 0, 4, 3, 0x00000042);  // BLACKNESS
    }));
    // The wrong way round, and from a memory DC that holds no bitmap.
    EXPECT_FALSE(IntoSlot2(
        [](HDC dest, HDC source) { return BitBlt(source, 0, 0, 4, 3, dest, 0, 0, SRCCOPY); }));
    HDC empty = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(
        IntoSlot2([&](HDC dest, HDC) { return BitBlt(dest, 0, 0, 4, 3, empty, 0, 0, SRCCOPY); }));
    DeleteDC(empty);
    EXPECT_EQ(CountChanged(screen_), 0);
}

TEST_F(GdiBitmaps, WhatCannotBeReadGivesNoBitmap) {
    const std::vector<std::uint8_t> good = test_bmp::Encode(Ramp(8));
    const std::vector<std::vector<std::uint8_t>> files = {
        {},
        {'B', 'M'},
        std::vector<std::uint8_t>(good.begin(), good.begin() + 60),  // inside the colour table
        std::vector<std::uint8_t>(good.begin(), good.end() - 20),    // pixel rows cut short
        {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'},
    };
    int n = 0;
    for (const auto& bytes : files) {
        const std::string path = folder_ + "/bad" + std::to_string(n++) + ".bmp";
        test_bmp::WriteFile(path, bytes);
        EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr)
            << path;
    }
    const std::string good_path = folder_ + "/good.bmp";
    test_bmp::WriteFile(good_path, good);
    const char* missing = "/nonexistent/picture.bmp";
    EXPECT_EQ(LoadImageA(nullptr, missing, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, folder_.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, nullptr, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    // The program has no resources, and only bitmaps are loaded.
    EXPECT_EQ(LoadImageA(GetModuleHandleA(nullptr), good_path.c_str(), IMAGE_BITMAP, 0, 0,
                         LR_CREATEDIBSECTION),
              nullptr);
    EXPECT_EQ(LoadImageA(nullptr, good_path.c_str(), 1 /* IMAGE_ICON */, 0, 0, LR_LOADFROMFILE),
              nullptr);
    EXPECT_EQ(LoadImageA(nullptr, good_path.c_str(), IMAGE_BITMAP, -1, 0, LR_LOADFROMFILE),
              nullptr);
    HANDLE loaded = LoadImageA(nullptr, good_path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(DeleteObject(static_cast<HGDIOBJ>(loaded)));
    EXPECT_EQ(GetObjectA(loaded, 24, nullptr), 0);  // a deleted bitmap is gone
}
