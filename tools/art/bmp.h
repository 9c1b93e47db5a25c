// The Windows .bmp form the game reads: 8 bits a pixel, uncompressed, rows bottom-up, a
// 14-byte file header, a 40-byte info header and a 256-entry colour table.
#pragma once

#include <cstdint>
#include <vector>

#include "picture.h"

namespace art {

std::vector<std::uint8_t> EncodeBmp(const Picture& picture);

}  // namespace art
