#include "paint.h"

#include <algorithm>
#include <cmath>

namespace art {

void PaintFlat(Canvas& canvas, const Mask& mask, Index colour) {
    for (int y = 0; y < mask.Height(); ++y)
        for (int x = 0; x < mask.Width(); ++x)
            if (mask.At(x, y)) canvas.Set(x, y, colour);
}

void PaintOutline(Canvas& canvas, const Mask& mask, Index colour) {
    PaintFlat(canvas, mask.Rim(), colour);
}

float DitherThreshold(int x, int y) {
    static constexpr int kBayer[4][4] = {
        {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (static_cast<float>(kBayer[y & 3][x & 3]) + 0.5f) / 16.0f;
}

Index DitherShade(Ramp ramp, float level, int x, int y) {
    const float floor = std::floor(level);
    const int step = (level - floor) > DitherThreshold(x, y) ? 1 : 0;
    return Shade(ramp, static_cast<int>(floor) + step);
}

void PaintShaded(Canvas& canvas, const Mask& mask, const Lighting& light) {
    const Mask::Box box = mask.Bounds();
    const int top = light.gradientTop >= 0 ? light.gradientTop : box.y0;
    const int bottom = light.gradientBottom >= 0 ? light.gradientBottom : box.y1 - 1;
    const int width = mask.Width();
    const std::vector<float> depth = mask.Depth(std::max(light.bevel, 1));
    // Height of the surface: rises over the bevel, flat beyond it.
    auto height = [&](int x, int y) -> float {
        if (!mask.At(x, y) || light.bevel == 0) return 0.0f;
        const float t = std::min(
            depth[static_cast<std::size_t>(y * width + x)] / static_cast<float>(light.bevel), 1.0f);
        return 1.0f - (1.0f - t) * (1.0f - t);
    };
    const float lx = -0.55f, ly = -0.835f;  // towards the light: up and a little left
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x) {
            if (!mask.At(x, y)) continue;
            const float gx = (height(x + 1, y) - height(x - 1, y)) * 0.5f;
            const float gy = (height(x, y + 1) - height(x, y - 1)) * 0.5f;
            const float facing = -(gx * lx + gy * ly) * static_cast<float>(light.bevel);
            const float t =
                bottom > top
                    ? std::clamp(static_cast<float>(y - top) / static_cast<float>(bottom - top),
                                 0.0f, 1.0f)
                    : 0.0f;
            const float level = light.level - light.fall * t + facing * light.relief;
            canvas.Set(x, y,
                       light.dither ? DitherShade(light.ramp, level, x, y)
                                    : Shade(light.ramp, static_cast<int>(std::lround(level))));
        }
}

void PaintGlow(Canvas& canvas, const Mask& mask, const Glow& glow) {
    const Mask::Box box = mask.Bounds();
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x) {
            if (!mask.At(x, y)) continue;
            const double dx = x + 0.5 - glow.centre.x,
                         dy = (y + 0.5 - glow.centre.y) / glow.squashY;
            const double t = std::min(1.0, std::sqrt(dx * dx + dy * dy) / glow.radius);
            const float level = glow.inner + (glow.outer - glow.inner) * static_cast<float>(t);
            canvas.Set(x, y, DitherShade(glow.ramp, level, x, y));
        }
}

}  // namespace art
