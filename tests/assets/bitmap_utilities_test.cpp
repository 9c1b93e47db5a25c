// The DirectDraw bitmap utilities: surfaces made from and refilled with bitmaps, stretched
// copies, and palettes from colour tables over the 3-3-2 cube.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bitmap_utilities.h"
#include "bmp_writer.h"
#include "display.h"
#include "faults.h"
#include "display_support.h"
#include "process.h"

using namespace testing_support;

namespace {

// Grey level g is palette entry g, so a pixel's index tells which colour it was matched to.
class BitmapUtilities : public ::testing::Test {
  protected:
    void SetUp() override {
        OpenDisplay(1);
        UseGreyPalette();
        folder_ = FreshFolder("utilities");
    }

    // A 4 × 3 8-bit picture whose pixel (x, y) is grey 10 * (y * 4 + x + 1).
    std::string WriteRamp() {
        test_bmp::Picture p{4, 3, 8, {}, -1, {}, {}};
        for (int k = 0; k < 12; ++k) {
            p.colours.push_back(static_cast<std::uint32_t>(10 * (k + 1)) * 0x010101u);
            p.pixels.push_back(static_cast<std::uint32_t>(k));
        }
        return Write("ramp.bmp", test_bmp::Encode(p));
    }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = folder_ + "/" + name;
        test_bmp::WriteFile(path, bytes);
        return path;
    }

    IDirectDrawSurface* MakeSurface(int width, int height) {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        desc.dwWidth = static_cast<DWORD>(width);
        desc.dwHeight = static_cast<DWORD>(height);
        IDirectDrawSurface* surface = nullptr;
        EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &surface, nullptr), DD_OK);
        return surface;
    }

    std::string folder_;
};

int RampAt(int x, int y) {
    return 10 * (y * 4 + x + 1);
}

// The surface's size and its pixels, row by row.
struct Contents {
    int width = 0, height = 0;
    std::vector<int> pixels;
    int At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Contents Read(IDirectDrawSurface* surface) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    Contents c;
    EXPECT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    c.width = static_cast<int>(desc.dwWidth);
    c.height = static_cast<int>(desc.dwHeight);
    const auto* memory = static_cast<const unsigned char*>(desc.lpSurface);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) c.pixels.push_back(memory[y * desc.lPitch + x]);
    surface->Unlock(nullptr);
    return c;
}

std::vector<PALETTEENTRY> Entries(IDirectDrawPalette* palette) {
    std::vector<PALETTEENTRY> entries(256);
    EXPECT_EQ(palette->GetEntries(0, 0, 256, entries.data()), DD_OK);
    palette->Release();
    return entries;
}

}  // namespace

TEST_F(BitmapUtilities, LoadBitmapSurfaceTakesTheBitmapsOwnSizeOrScalesToTheAskedOne) {
    const std::string path = WriteRamp();
    struct {
        int width, height, surfaceWidth, surfaceHeight;
    } cases[] = {{0, 0, 4, 3}, {8, 6, 8, 6}, {12, 0, 12, 3}};
    for (const auto& c : cases) {
        IDirectDrawSurface* surface =
            LoadBitmapSurface(DirectDrawObject, path.c_str(), c.width, c.height);
        ASSERT_NE(surface, nullptr);
        const Contents contents = Read(surface);
        ASSERT_EQ(contents.width, c.surfaceWidth);
        ASSERT_EQ(contents.height, c.surfaceHeight);
        for (int y = 0; y < contents.height; ++y)
            for (int x = 0; x < contents.width; ++x)
                EXPECT_EQ(contents.At(x, y),
                          RampAt(x * 4 / contents.width, y * 3 / contents.height))
                    << c.width << "x" << c.height << " at " << x << "," << y;
        surface->Release();
    }
    EXPECT_EQ(LoadBitmapSurface(DirectDrawObject, (folder_ + "/missing.bmp").c_str(), 0, 0),
              nullptr);
    platform::SetFailingCalls("CreateSurface");
    EXPECT_EQ(LoadBitmapSurface(DirectDrawObject, path.c_str(), 0, 0), nullptr);
}

TEST_F(BitmapUtilities, ReloadStretchesTheBitmapOverTheWholeSurface) {
    const std::string path = WriteRamp();
    IDirectDrawSurface* surface = MakeSurface(8, 9);
    ASSERT_EQ(ReloadBitmapSurface(surface, path.c_str()), DD_OK);
    const Contents contents = Read(surface);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(contents.At(x, y), RampAt(x / 2, y / 3));
    EXPECT_EQ(ReloadBitmapSurface(surface, (folder_ + "/missing.bmp").c_str()), E_FAIL);
    EXPECT_EQ(ReloadBitmapSurface(nullptr, path.c_str()), E_FAIL);
    surface->Release();
}

TEST_F(BitmapUtilities, CopyBitmapToSurfaceStretchesASmallSourceRectangle) {
    const std::string path = WriteRamp();
    auto bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    ASSERT_NE(bitmap, nullptr);
    IDirectDrawSurface* surface = MakeSurface(8, 8);

    // Pixels (1, 1) to (2, 2) of the bitmap, each over a quarter of the surface.
    ASSERT_EQ(CopyBitmapToSurface(surface, bitmap, 1, 1, 2, 2), DD_OK);
    Contents contents = Read(surface);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(contents.At(x, y), RampAt(1 + x / 4, 1 + y / 4));

    // Width and height 0 stand for the bitmap's own, counted from the given corner.
    ASSERT_EQ(CopyBitmapToSurface(surface, bitmap, 0, 0, 0, 0), DD_OK);
    contents = Read(surface);
    EXPECT_EQ(contents.At(0, 0), RampAt(0, 0));
    EXPECT_EQ(contents.At(7, 7), RampAt(3, 2));

    EXPECT_EQ(CopyBitmapToSurface(nullptr, bitmap, 0, 0, 0, 0), E_FAIL);
    EXPECT_EQ(CopyBitmapToSurface(surface, nullptr, 0, 0, 0, 0), E_FAIL);
    // Without the surface's device context no copy is made and its failure comes back.
    platform::SetFailingCalls("GetDC");
    const Contents before = Read(surface);
    EXPECT_EQ(CopyBitmapToSurface(surface, bitmap, 1, 1, 2, 2), DDERR_CANTCREATEDC);
    EXPECT_EQ(Read(surface).pixels, before.pixels);

    // The bitmap is the caller's again: it can be deleted.
    EXPECT_TRUE(DeleteObject(bitmap));
    surface->Release();
}

TEST_F(BitmapUtilities, CreatePaletteWithoutABitmapIsTheColourCube) {
    for (const char* name : {static_cast<const char*>(nullptr), "/nonexistent/picture.bmp"}) {
        const std::vector<PALETTEENTRY> e =
            Entries(CreatePaletteFromBitmap(DirectDrawObject, name));
        auto rgb = [&](int i) { return RGB(e[i].peRed, e[i].peGreen, e[i].peBlue); };
        EXPECT_EQ(rgb(0), RGB(0, 0, 0));
        EXPECT_EQ(rgb(255), RGB(255, 255, 255));
        EXPECT_EQ(rgb(0xE0), RGB(255, 0, 0));
        EXPECT_EQ(rgb(0x1C), RGB(0, 255, 0));
        EXPECT_EQ(rgb(3), RGB(0, 0, 255));
        EXPECT_EQ(rgb(0x49), RGB(72, 72, 85));  // levels truncate: 2 * 255 / 7 = 72
        EXPECT_EQ(rgb(0x96), RGB(145, 182, 170));
        for (const PALETTEENTRY& entry : e) EXPECT_EQ(entry.peFlags, 0);
    }
}

TEST_F(BitmapUtilities, CreatePaletteFromA4BitFileTakesSixteenColoursAndTheBytesBehindThem) {
    // Colours-used 0 means 2^4 colours. Behind the table: 8 bytes of gap, then the pixel rows.
    test_bmp::Picture p{2, 2, 4, {}, 0, {0, 1, 2, 3}, {}};
    for (int k = 0; k < 16; ++k)
        p.colours.push_back(static_cast<std::uint32_t>(k << 16 | 0x80 << 8 | (255 - k)));
    p.gap = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::string path = Write("four.bmp", test_bmp::Encode(p));

    const std::vector<PALETTEENTRY> e =
        Entries(CreatePaletteFromBitmap(DirectDrawObject, path.c_str()));
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(RGB(e[k].peRed, e[k].peGreen, e[k].peBlue), RGB(k, 0x80, 255 - k)) << k;
        EXPECT_EQ(e[k].peFlags, 0) << k;  // the file's reserved byte
    }
    // Entries 16 on hold the file's bytes as read, not exchanged.
    EXPECT_EQ(e[16].peRed, 1);
    EXPECT_EQ(e[16].peBlue, 3);
    EXPECT_EQ(e[16].peFlags, 4);
    EXPECT_EQ(e[17].peRed, 5);
    EXPECT_EQ(e[17].peFlags, 8);
    // Bottom row first: pixels 2 and 3, then padding.
    EXPECT_EQ(e[18].peRed, 0x23);
    EXPECT_EQ(e[18].peGreen, 0);
    // The file ends after entry 19: the rest keeps the colour cube.
    EXPECT_EQ(e[19].peRed, 0x01);
    EXPECT_EQ(RGB(e[20].peRed, e[20].peGreen, e[20].peBlue), RGB(0, 182, 0));
    EXPECT_EQ(RGB(e[255].peRed, e[255].peGreen, e[255].peBlue), RGB(255, 255, 255));
}

TEST_F(BitmapUtilities, CreatePaletteFromA24BitFileTakesTheBytesBehindTheHeadersRaw) {
    // 24 × 16 pixels of 3 bytes: more than the 1024 bytes read.
    test_bmp::Picture p{24, 16, 24, {}, -1, {}, {}};
    for (int k = 0; k < 384; ++k) p.pixels.push_back(static_cast<std::uint32_t>(k * 0x010203));
    const std::vector<std::uint8_t> bytes = test_bmp::Encode(p);
    const std::string path = Write("deep.bmp", bytes);

    const std::vector<PALETTEENTRY> e =
        Entries(CreatePaletteFromBitmap(DirectDrawObject, path.c_str()));
    for (int k = 0; k < 256; ++k) {
        const size_t at = 54 + 4 * static_cast<size_t>(k);
        EXPECT_EQ(e[k].peRed, bytes[at]) << k;
        EXPECT_EQ(e[k].peGreen, bytes[at + 1]) << k;
        EXPECT_EQ(e[k].peBlue, bytes[at + 2]) << k;
        EXPECT_EQ(e[k].peFlags, bytes[at + 3]) << k;
    }
}
