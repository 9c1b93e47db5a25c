// 8-bit to ARGB through a 256-entry lookup table.
#include "sdl_convert.h"

namespace host::sdl {

void ConvertScreen(const std::uint8_t* pixels, int width, int height, int pitch, const Rgb* colours,
                   std::uint32_t* out, int outPitch) {
    std::uint32_t lookup[256];
    for (int i = 0; i < 256; ++i) {
        lookup[i] = 0xFF000000u | (static_cast<std::uint32_t>(colours[i].r) << 16) |
                    (static_cast<std::uint32_t>(colours[i].g) << 8) | colours[i].b;
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = pixels + static_cast<long>(y) * pitch;
        auto* row = reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(out) +
                                                     static_cast<long>(y) * outPitch);
        for (int x = 0; x < width; ++x) row[x] = lookup[in[x]];
    }
}

}  // namespace host::sdl
