// Our DirectDraw and GDI as the game relies on them: failures with the real codes and no
// effect, stable memory, flips that exchange buffers, and the nearest-colour rule.
#include <cstring>

#include <ddraw.h>
#include <gtest/gtest.h>

#include "host_headless.h"
#include "screen_support.h"

using testing_support::OpenPlainWindow;

namespace {

struct Screen {
    IDirectDraw* dd = nullptr;
    IDirectDrawSurface* primary = nullptr;
    IDirectDrawSurface* back = nullptr;
    IDirectDrawSurface* plain = nullptr;
    IDirectDrawPalette* palette = nullptr;

    Screen() {
        HWND window = OpenPlainWindow();
        EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
        EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
        EXPECT_EQ(dd->SetDisplayMode(320, 240, 8), DD_OK);
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        desc.dwBackBufferCount = 1;
        EXPECT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
        DDSCAPS caps{DDSCAPS_BACKBUFFER};
        EXPECT_EQ(primary->GetAttachedSurface(&caps, &back), DD_OK);
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        desc.dwWidth = 50;
        desc.dwHeight = 30;
        EXPECT_EQ(dd->CreateSurface(&desc, &plain, nullptr), DD_OK);
        PALETTEENTRY entries[256];
        for (int i = 0; i < 256; ++i) entries[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
        entries[10] = {255, 0, 0, 0};
        entries[11] = {255, 0, 0, 0};  // the same red again: the lower index wins
        entries[12] = {0, 0, 250, 0};
        EXPECT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
        EXPECT_EQ(primary->SetPalette(palette), DD_OK);
    }
    ~Screen() {
        for (IUnknown* object :
             std::initializer_list<IUnknown*>{plain, back, palette, primary, dd}) {
            if (object) object->Release();
        }
    }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    static unsigned char* Memory(IDirectDrawSurface* surface, LONG* pitch = nullptr) {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return nullptr;
        surface->Unlock(desc.lpSurface);
        if (pitch) *pitch = desc.lPitch;
        return static_cast<unsigned char*>(desc.lpSurface);
    }
};

}  // namespace

TEST(Surfaces, BadArgumentsFailWithTheRealCodesAndChangeNothing) {
    Screen s;
    unsigned char* back = Screen::Memory(s.back);
    RECT inside{0, 0, 10, 10}, tooWide{0, 0, 51, 10}, empty{5, 5, 5, 9}, negative{-1, 0, 4, 4};
    std::memset(Screen::Memory(s.plain), 7, 50);
    EXPECT_EQ(s.back->BltFast(315, 0, s.plain, &inside, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(s.back->BltFast(0, 235, s.plain, &inside, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(s.back->BltFast(0xFFFFFFFFu, 0, s.plain, &inside, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(s.back->BltFast(0, 0, s.plain, &tooWide, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(s.back->BltFast(0, 0, s.plain, &empty, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(s.back->BltFast(0, 0, s.plain, &negative, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(s.back->BltFast(0, 0, nullptr, &inside, DDBLTFAST_WAIT), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s.back->BltFast(0, 0, s.plain, &inside, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
    EXPECT_EQ(back[0], 0);

    DDBLTFX fx{};
    fx.dwSize = 12;  // not the record's size
    EXPECT_EQ(s.back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s.back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr),
              DDERR_INVALIDPARAMS);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 9;
    RECT outside{300, 0, 330, 10};
    EXPECT_EQ(s.back->Blt(&outside, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
    EXPECT_EQ(back[319], 0);

    DDSURFACEDESC wrongSize{};
    wrongSize.dwSize = 100;
    EXPECT_EQ(s.plain->Lock(nullptr, &wrongSize, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s.plain->Lock(nullptr, nullptr, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s.plain->Unlock(nullptr), DDERR_NOTLOCKED);
    EXPECT_EQ(s.plain->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(s.dd->SetDisplayMode(320, 240, 16), DDERR_INVALIDMODE);
    EXPECT_EQ(s.dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s.palette->SetEntries(0, 250, 10, nullptr), DDERR_INVALIDPARAMS);
    PALETTEENTRY some[10] = {};
    EXPECT_EQ(s.palette->SetEntries(0, 250, 10, some), DDERR_INVALIDPARAMS);
}

TEST(Surfaces, MemoryStaysPutAndFlipExchangesWhatIsBehindTheChain) {
    Screen s;
    unsigned char* frontBefore = Screen::Memory(s.primary);
    unsigned char* backBefore = Screen::Memory(s.back);
    ASSERT_NE(frontBefore, backBefore);
    backBefore[0] = 42;
    ASSERT_EQ(s.primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(headless::LastPicture().pixels[0], 42);
    EXPECT_EQ(headless::LastPicture().cause, host::ScreenChange::Flip);
    EXPECT_EQ(Screen::Memory(s.primary), backBefore);
    EXPECT_EQ(Screen::Memory(s.back), frontBefore);
    // The off-screen surface's memory never moves.
    EXPECT_EQ(Screen::Memory(s.plain), Screen::Memory(s.plain));
}

TEST(Surfaces, PaletteChangeOnThePrimaryShowsAtOnce) {
    Screen s;
    const int before = headless::ScreenChanges();
    PALETTEENTRY green{0, 255, 0, 0};
    ASSERT_EQ(s.palette->SetEntries(0, 0, 1, &green), DD_OK);
    EXPECT_EQ(headless::ScreenChanges(), before + 1);
    EXPECT_EQ(headless::LastPicture().cause, host::ScreenChange::Palette);
    EXPECT_EQ(headless::LastPicture().colours[0].g, 255);
}

TEST(Gdi, ColoursBecomeTheNearestPaletteIndex) {
    Screen s;
    HDC dc = nullptr;
    ASSERT_EQ(s.plain->GetDC(&dc), DD_OK);
    HDC second = nullptr;
    EXPECT_EQ(s.plain->GetDC(&second), DDERR_DCALREADYCREATED);
    struct {
        COLORREF colour;
        unsigned char index;
    } cases[] = {{RGB(255, 0, 0), 10},    // exact, and the lower of two equal entries
                 {RGB(250, 5, 5), 10},    // nearest
                 {RGB(0, 0, 255), 12},    // nearest to (0, 0, 250)
                 {RGB(77, 77, 77), 77},   // exact grey
                 {RGB(78, 77, 77), 77}};  // the nearest grey
    for (auto c : cases) {
        SetPixel(dc, 3, 4, c.colour);
        LONG pitch = 0;
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        // The device context is still out: the surface cannot be locked meanwhile.
        EXPECT_EQ(s.plain->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
        ASSERT_EQ(s.plain->ReleaseDC(dc), DD_OK);
        EXPECT_EQ(Screen::Memory(s.plain, &pitch)[4 * pitch + 3], c.index);
        ASSERT_EQ(s.plain->GetDC(&dc), DD_OK);
    }
    EXPECT_EQ(SetPixel(dc, 50, 0, RGB(1, 1, 1)), CLR_INVALID);  // outside: nothing written
    EXPECT_EQ(GetPixel(dc, 3, 4), RGB(77, 77, 77));
    EXPECT_EQ(s.plain->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(s.plain->ReleaseDC(dc), DDERR_NODC);
}
