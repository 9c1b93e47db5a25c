// The SDL host's conversion of the 8-bit screen and its 256 colours to 32-bit ARGB pixels.
#pragma once

#include <cstdint>

#include "host.h"

namespace host::sdl {

// Writes width × height ARGB8888 pixels (opaque) to `out`, whose rows are `outPitch` bytes apart.
void ConvertScreen(const std::uint8_t* pixels, int width, int height, int pitch, const Rgb* colours,
                   std::uint32_t* out, int outPitch);

}  // namespace host::sdl
