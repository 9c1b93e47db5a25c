// Any bytes given to the .bmp decoder must decode or be refused, without a bad read; a picture
// that decodes must be consistent with its own size, and an 8-bit one must survive re-encoding.
#include "bmp_codec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto bmp = platform::DecodeBmp(data, size);
    if (!bmp) return 0;
    const size_t pixels = static_cast<size_t>(bmp->width) * bmp->height;
    if (bmp->width <= 0 || bmp->height <= 0 ||
        (bmp->indexed ? bmp->indices.size() : bmp->rgb.size()) != pixels) {
        std::abort();
    }
    uint32_t sum = 0;
    for (int y = 0; y < bmp->height; y += 7)
        for (int x = 0; x < bmp->width; x += 7) sum += bmp->PixelRgb(x, y);
    if (bmp->indexed && bmp->bitCount == 8 && pixels <= 4096) {
        platform::Rgb palette[256];
        for (int i = 0; i < 256; ++i) palette[i] = bmp->ColourAt(static_cast<uint8_t>(i));
        const auto file =
            platform::EncodeBmp8(bmp->width, bmp->height, bmp->indices.data(), palette);
        auto again = platform::DecodeBmp(file.data(), file.size());
        if (!again || again->indices != bmp->indices) std::abort();
    }
    return static_cast<int>(sum & 0);
}
