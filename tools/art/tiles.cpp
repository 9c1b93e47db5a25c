#include <functional>

#include "mask.h"
#include "paint.h"
#include "pictures.h"

namespace art {
namespace {

constexpr int kBig = 3 * kTileSize;

// A mask on a 3×3-tile work area with `shape` drawn at every tile offset; the tile is the
// middle cell, so anything reaching over an edge reappears at the opposite one.
Mask Periodic(const std::function<void(Mask&, double ox, double oy)>& shape) {
    Mask mask(kBig, kBig);
    for (int ty = 0; ty < 3; ++ty)
        for (int tx = 0; tx < 3; ++tx) shape(mask, tx * kTileSize, ty * kTileSize);
    return mask;
}

Canvas MiddleTile(const Canvas& big) {
    return big.Crop({kTileSize, kTileSize, kTileSize, kTileSize});
}

// A chevron pointing along (dx, dy), centred on (cx, cy).
void Chevron(Mask& mask, double cx, double cy, int dx, int dy, double size, double pen) {
    const double px = -dy, py = dx;  // across the pointing direction
    const Point tip{cx + dx * size * 0.5, cy + dy * size * 0.5};
    const Point a{cx - dx * size * 0.5 + px * size, cy - dy * size * 0.5 + py * size};
    const Point b{cx - dx * size * 0.5 - px * size, cy - dy * size * 0.5 - py * size};
    mask.Stroke({a, tip, b}, pen);
}

}  // namespace

Canvas TitleTileArea() {
    Canvas big(kBig, kBig, Shade(Ramp::Night, 3));
    // A checkerboard of raised squares, 40 pixels each, in two deep colours.
    for (int parity = 0; parity < 2; ++parity) {
        const Mask squares = Periodic([&](Mask& m, double ox, double oy) {
            for (int cy = 0; cy < 2; ++cy)
                for (int cx = 0; cx < 2; ++cx)
                    if ((cx + cy) % 2 == parity) m.Rect(ox + cx * 40 + 1, oy + cy * 40 + 1, 38, 38);
        });
        PaintShaded(big, squares,
                    {.ramp = parity ? Ramp::Plum : Ramp::Night,
                     .level = parity ? 3.6f : 3.8f,
                     .fall = 0,
                     .bevel = 2,
                     .relief = 0.9f});
    }
    // An engraved arrow in each square, one for each direction of play.
    const int dirs[4][2] = {{1, 0}, {0, -1}, {0, 1}, {-1, 0}};
    Mask groove = Periodic([&](Mask& m, double ox, double oy) {
        for (int i = 0; i < 4; ++i) {
            const int column = i % 2, row = i / 2;  // the squares two by two
            Chevron(m, ox + column * 40 + 20, oy + row * 40 + 20, dirs[i][0], dirs[i][1], 9, 1.6);
        }
    });
    PaintFlat(big, groove.Shifted(1, 1), Shade(Ramp::Night, 5));
    PaintFlat(big, groove, Shade(Ramp::Night, 2));
    return big;
}

Canvas PlayTileArea() {
    Canvas big(kBig, kBig, Shade(Ramp::Slate, 2));
    // Floor plates set in a diagonal lattice, dark enough for the targets to stand out.
    const Mask plates = Periodic([&](Mask& m, double ox, double oy) {
        for (int cy = 0; cy < 2; ++cy)
            for (int cx = 0; cx < 2; ++cx) {
                const double x = ox + cx * 40 + 20, y = oy + cy * 40 + 20;
                m.Polygon({{x, y - 19}, {x + 19, y}, {x, y + 19}, {x - 19, y}});
            }
    });
    PaintShaded(big, plates,
                {.ramp = Ramp::Slate, .level = 3.6f, .fall = 0, .bevel = 3, .relief = 1.0f});
    const Mask studs = Periodic([&](Mask& m, double ox, double oy) {
        for (int cy = 0; cy < 2; ++cy)
            for (int cx = 0; cx < 2; ++cx)
                m.Ellipse(ox + cx * 40 + 20, oy + cy * 40 + 20, 2.5, 2.5);
    });
    PaintShaded(
        big, studs,
        {.ramp = Ramp::Teal, .level = 5, .fall = 0, .bevel = 2, .relief = 2.0f, .dither = false});
    PaintOutline(big, studs, Shade(Ramp::Slate, 1));
    return big;
}

Canvas TitleTile() {
    return MiddleTile(TitleTileArea());
}
Canvas PlayTile() {
    return MiddleTile(PlayTileArea());
}

}  // namespace art
