#include "screen_support.h"

#include <gtest/gtest.h>

namespace testing_support {

HWND OpenPlainWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "plain";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "plain", "test", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                  nullptr, nullptr);
    ShowWindow(window, SW_SHOWDEFAULT);
    return window;
}

Screen OpenScreen() {
    Screen screen;
    HWND window = OpenPlainWindow();
    EXPECT_EQ(DirectDrawCreate(nullptr, &screen.dd, nullptr), DD_OK);
    if (!screen.dd) return screen;
    EXPECT_EQ(screen.dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(screen.dd->SetDisplayMode(320, 240, 8), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    EXPECT_EQ(screen.dd->CreateSurface(&desc, &screen.primary, nullptr), DD_OK);
    desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = 320;
    desc.dwHeight = 240;
    EXPECT_EQ(screen.dd->CreateSurface(&desc, &screen.offscreen, nullptr), DD_OK);
    PALETTEENTRY black[256] = {};
    EXPECT_EQ(screen.dd->CreatePalette(DDPCAPS_8BIT, black, &screen.palette, nullptr), DD_OK);
    if (screen.primary && screen.palette) screen.primary->SetPalette(screen.palette);
    if (screen.offscreen) {
        DDSURFACEDESC locked{};
        locked.dwSize = sizeof locked;
        EXPECT_EQ(screen.offscreen->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
        screen.memory = static_cast<unsigned char*>(locked.lpSurface);
        screen.pitch = static_cast<int>(locked.lPitch);
        screen.offscreen->Unlock(nullptr);
    }
    return screen;
}

void CloseScreen(Screen& screen) {
    if (screen.palette) screen.palette->Release();
    if (screen.offscreen) screen.offscreen->Release();
    if (screen.primary) screen.primary->Release();
    if (screen.dd) screen.dd->Release();
    screen = {};
}

void UseGreyPalette(const Screen& screen) {
    PALETTEENTRY greys[256];
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<BYTE>(i);
        greys[i] = {level, level, level, 0};
    }
    ASSERT_EQ(screen.palette->SetEntries(0, 0, 256, greys), DD_OK);
}

}  // namespace testing_support
