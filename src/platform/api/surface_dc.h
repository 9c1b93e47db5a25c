// Where DirectDraw and GDI meet, and all they know of each other: GDI makes device contexts over
// a surface's memory (GetDC), DirectDraw keeps the colours in force on the screen, which GDI
// matches colours against.
#pragma once

#include <cstdint>

#include <windows.h>

namespace platform {

// Pixels a device context draws into: 8-bit palette indices.
struct PixelTarget {
    std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
};

// A device context over a surface's memory (gdi.cpp); destroyed with DestroySurfaceDC.
HDC CreateSurfaceDC(const PixelTarget& target);
void DestroySurfaceDC(HDC dc);

// The 256 colours in force (ddraw.cpp): the palette attached to the primary surface, with the
// twenty static colours at 0-9 and 246-255 while the screen is shared with the desktop. Black
// where no palette is attached.
void ColoursInForce(PALETTEENTRY out[256]);
// Bumped whenever those colours may have changed, so colour lookups can be cached.
unsigned ColoursGeneration();

}  // namespace platform
