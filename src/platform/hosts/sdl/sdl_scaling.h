// Where the SDL host puts the game's picture in its window: a pure calculation, so that odd
// window sizes can be checked without a display.
#pragma once

#include "settings.h"

namespace sdl {

using host::Scaling;  // the player's choice (settings.h)

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Rect&) const = default;
};

struct Placement {
    int factor = 1;      // the whole factor of the nearest-neighbour step (at least 1)
    int stepWidth = 0;   // the picture after that step: width × factor
    int stepHeight = 0;  //   and height × factor
    Rect target;         // where it lands in the output, in output pixels; may overhang
};

// Places a width × height picture in an output of outputWidth × outputHeight pixels (the
// renderer's size in real pixels, so high-DPI screens get whole factors of their own pixels).
// The picture is never shown smaller than 1×: a smaller output shows its centre.
Placement PlacePicture(int outputWidth, int outputHeight, int width, int height,
                       host::Scaling scaling);

}  // namespace sdl
