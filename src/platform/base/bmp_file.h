// The one .bmp writer: uncompressed 8-bit pictures with a 256-entry colour table, the form the
// game's pictures take and the headless host's captures use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rgb.h"

namespace platform {

// Pictures larger than this are refused, whatever a file claims: the game's own are 320x240.
inline constexpr int kMaxBmpDimension = 16384;
inline constexpr std::int64_t kMaxBmpPixels = std::int64_t{1} << 26;

// Writes an uncompressed 8-bit bottom-up .bmp with a 256-entry colour table (54-byte headers,
// pixels at byte 1078). indicesTopDown holds width * height bytes, top row first. Returns an
// empty vector for a size that is not positive or beyond the decoder's limits.
std::vector<std::uint8_t> EncodeBmp8(int width, int height, const std::uint8_t* indicesTopDown,
                                     const Rgb palette[256]);

}  // namespace platform
