// What GDI offers the rest of the platform: device contexts over surface memory, and the
// conversion of colours to palette indices.
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

// A device context over a surface's memory; destroyed with DestroySurfaceDC.
HDC CreateSurfaceDC(const PixelTarget& target);
void DestroySurfaceDC(HDC dc);
// The palette index whose colour is nearest (squared RGB distance; exact match first,
// lowest index among equals) in the 256 colours in force.
std::uint8_t NearestIndex(COLORREF colour);

}  // namespace platform
