// 8-bit to 32-bit pixels through a 256-entry lookup table.
#include "sdl_convert.h"

#include <algorithm>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sdl {

void ConvertScreen(const std::uint8_t* pixels, int width, int height, int pitch,
                   const platform::Rgb* colours, std::uint32_t* out, int outPitch) {
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

namespace {

// One source row widened by a fixed factor; the factor as a constant lets the compiler unroll the
// inner writes.
template <int kFactor>
void WidenRow(const std::uint8_t* in, int width, const std::uint32_t* lookup, std::uint32_t* row) {
    for (int x = 0; x < width; ++x) {
        const std::uint32_t value = lookup[in[x]];
        for (int k = 0; k < kFactor; ++k) row[kFactor * x + k] = value;
    }
}

void WidenRow(const std::uint8_t* in, int width, const std::uint32_t* lookup, int factor,
              std::uint32_t* row) {
    switch (factor) {
        case 1:
            return WidenRow<1>(in, width, lookup, row);
        case 2:
            return WidenRow<2>(in, width, lookup, row);
        case 3:
            return WidenRow<3>(in, width, lookup, row);
        case 4:
            return WidenRow<4>(in, width, lookup, row);
        default:
            for (int x = 0; x < width; ++x) {
                const std::uint32_t value = lookup[in[x]];
                for (int k = 0; k < factor; ++k) row[factor * x + k] = value;
            }
    }
}

// Copies `bytes` from `from` to `to` past the processor's caches where it can. The window's
// pixels are written once a picture and read only by the window system: ordinary stores would
// first read every line of them into the cache (4.9 MB a picture at 1280×960), doubling the
// memory traffic and pushing out what the game uses.
void StreamCopy(std::uint8_t* to, const std::uint8_t* from, std::size_t bytes) {
#if defined(__SSE2__)
    const std::size_t head = std::min(bytes, (16 - reinterpret_cast<std::uintptr_t>(to) % 16) % 16);
    std::memcpy(to, from, head);
    to += head;
    from += head;
    bytes -= head;
    for (; bytes >= 16; bytes -= 16, to += 16, from += 16) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(to),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
    }
#endif
    std::memcpy(to, from, bytes);
}

}  // namespace

void ScaleRows(const std::uint8_t* pixels, int width, int pitch, int first, int end,
               const std::uint32_t* lookup, int factor, std::uint8_t* out, int outPitch) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * factor * 4;
    // Each source row is widened once, here, and copied factor times.
    thread_local std::vector<std::uint32_t> wide;
    wide.resize(static_cast<std::size_t>(width) * factor);
    for (int y = first; y < end; ++y) {
        WidenRow(pixels + static_cast<long>(y) * pitch, width, lookup, factor, wide.data());
        std::uint8_t* top = out + static_cast<long>(y) * factor * outPitch;
        for (int k = 0; k < factor; ++k) {
            StreamCopy(top + static_cast<long>(k) * outPitch,
                       reinterpret_cast<const std::uint8_t*>(wide.data()), rowBytes);
        }
    }
#if defined(__SSE2__)
    // The streamed stores are seen by the window system before it is told of them.
    _mm_sfence();
#endif
}

std::vector<RowSpan> ChangedRows(const std::uint8_t* before, const std::uint8_t* after, int width,
                                 int height) {
    std::vector<RowSpan> spans;
    const std::size_t rowBytes = static_cast<std::size_t>(width);
    for (int y = 0; y < height; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * rowBytes;
        if (std::memcmp(before + at, after + at, rowBytes) == 0) continue;
        if (!spans.empty() && spans.back().end == y) {
            spans.back().end = y + 1;
        } else {
            spans.push_back({y, y + 1});
        }
    }
    return spans;
}

}  // namespace sdl
