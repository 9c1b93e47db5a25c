// The SDL host's picture placement.
#include "sdl_scaling.h"

#include <algorithm>

namespace sdl {

Placement PlacePicture(int outputWidth, int outputHeight, int width, int height,
                       host::Scaling scaling) {
    Placement p;
    if (width <= 0 || height <= 0) return p;
    p.factor = std::max(1, std::min(outputWidth / width, outputHeight / height));
    p.stepWidth = width * p.factor;
    p.stepHeight = height * p.factor;
    int w = p.stepWidth;
    int h = p.stepHeight;
    if (scaling == host::Scaling::Smooth) {
        // The picture's own shape, as large as fits; compared in 64 bits so that no size overflows.
        if (static_cast<long long>(outputWidth) * height <=
            static_cast<long long>(outputHeight) * width) {
            w = outputWidth;
            h = static_cast<int>(static_cast<long long>(outputWidth) * height / width);
        } else {
            h = outputHeight;
            w = static_cast<int>(static_cast<long long>(outputHeight) * width / height);
        }
        w = std::max(w, p.stepWidth);
        h = std::max(h, p.stepHeight);
    }
    p.target = Rect{(outputWidth - w) / 2, (outputHeight - h) / 2, w, h};
    return p;
}

}  // namespace sdl
