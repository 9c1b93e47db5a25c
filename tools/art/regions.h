// Every region the game copies out of the four pictures: where it lies, and whether the copy
// is made with the colour key (index 1 see-through) or opaque.
#pragma once

#include <span>

#include "canvas.h"

namespace art {

struct Region {
    const char* picture;  // archive entry
    const char* what;
    Rect rect;
    bool keyed;
};

std::span<const Region> Regions();

// The target pictures' columns in game0.bmp, by kind (0 right, 1 up, 2 left, 3 down).
inline constexpr int kTargetX[4] = {1, 76, 160, 236};
inline constexpr int kTargetWidth[4] = {73, 82, 73, 82};
inline constexpr int kTargetHeight = 85;
inline constexpr int kTargetHitY = 87;

}  // namespace art
