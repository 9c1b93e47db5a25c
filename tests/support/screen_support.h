// A screen for tests of the platform's own calls, set up the way the game's display sets up its
// own, without the game: a plain window, 320×240×8 full screen, a primary with one back buffer,
// one off-screen surface with its memory recorded, and a palette on the primary.
#pragma once

#include <ddraw.h>
#include <windows.h>

namespace testing_support {

// A window of a class of its own whose procedure is DefWindowProcA.
HWND OpenPlainWindow();

struct Screen {
    IDirectDraw* dd = nullptr;
    IDirectDrawSurface* primary = nullptr;
    IDirectDrawSurface* offscreen = nullptr;
    IDirectDrawPalette* palette = nullptr;
    unsigned char* memory = nullptr;  // the off-screen surface's pixels
    int pitch = 0;

    unsigned char Pixel(int x, int y) const { return memory[y * pitch + x]; }
};

// Opens the window and the screen; a failed call fails the test.
Screen OpenScreen();
void CloseScreen(Screen& screen);
// Entry i becomes the grey level i, so that a pixel's index tells which colour GDI matched.
void UseGreyPalette(const Screen& screen);

}  // namespace testing_support
