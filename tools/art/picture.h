// A finished picture of the archive: its pixels and the colour table stored with it.
#pragma once

#include "canvas.h"
#include "palette.h"

namespace art {

inline constexpr int kPictureWidth = 320;
inline constexpr int kPictureHeight = 240;

struct Picture {
    Canvas canvas{kPictureWidth, kPictureHeight, kClear};
    Palette palette = GamePalette();
};

}  // namespace art
