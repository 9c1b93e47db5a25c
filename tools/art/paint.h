// Painting masks onto a canvas: flat colour, outlines, and shading along a palette ramp, lit from
// the top left, with ordered dithering between neighbouring shades.
#pragma once

#include "canvas.h"
#include "mask.h"
#include "palette.h"

namespace art {

void PaintFlat(Canvas& canvas, const Mask& mask, Index colour);
// One pixel of `colour` all around the mask, outside it.
void PaintOutline(Canvas& canvas, const Mask& mask, Index colour);

// 4×4 ordered-dither threshold in [0, 1) for pixel (x, y).
float DitherThreshold(int x, int y);
// The ramp shade for a fractional level, dithered between the two nearest shades.
Index DitherShade(Ramp ramp, float level, int x, int y);

struct Lighting {
    Ramp ramp = Ramp::Slate;
    float level = 8;       // shade of a flat face at the top of the gradient
    float fall = 0;        // shades lost from the top of the gradient to its bottom
    int gradientTop = -1;  // rows the gradient spans; -1 = the mask's own extent
    int gradientBottom = -1;
    int bevel = 3;     // width of the rounded rim, in pixels (0 = flat)
    float relief = 5;  // shades gained on faces towards the light, lost on the others
    bool dither = true;
};

void PaintShaded(Canvas& canvas, const Mask& mask, const Lighting& light);

// Shades by distance from `centre`: `inner` level at radius 0, `outer` level at `radius` and
// beyond, dithered. For glows and bursts.
struct Glow {
    Ramp ramp = Ramp::Gold;
    Point centre;
    double radius = 10;
    float inner = 15, outer = 8;
    double squashY = 1;  // vertical radius as a fraction of the horizontal one
};
void PaintGlow(Canvas& canvas, const Mask& mask, const Glow& glow);

}  // namespace art
