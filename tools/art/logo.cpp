// "logo.bmp": the mark of our studio, Mosslamp Softworks: a lantern glowing in a medallion
// wreathed with moss leaves, over the studio's name, on a night-blue backdrop.
#include <cmath>
#include <numbers>

#include "font.h"
#include "mask.h"
#include "paint.h"
#include "pictures.h"

namespace art {
namespace {

constexpr Point kCentre{160, 86};
constexpr double kRingOuter = 56, kRingInner = 47;

Mask NewMask() {
    return Mask(kPictureWidth, kPictureHeight);
}

void Backdrop(Canvas& canvas) {
    Mask all = NewMask();
    all.Rect(0, 0, kPictureWidth, kPictureHeight);
    // Darkest at the edges, a soft light behind the medallion.
    PaintGlow(canvas, all,
              {.ramp = Ramp::Night,
               .centre = kCentre,
               .radius = 210,
               .inner = 5.5f,
               .outer = 0.6f,
               .squashY = 0.8});
}

// A leaf: a pointed oval from `base` along `angle` (degrees).
void Leaf(Mask& mask, Point base, double angle, double length, double width) {
    const double a = angle * std::numbers::pi / 180.0;
    const double ux = std::cos(a), uy = std::sin(a);
    std::vector<Point> points;
    for (int i = 0; i <= 16; ++i) {
        const double t = i / 16.0;
        const double bulge = std::sin(t * std::numbers::pi) * width / 2;
        points.push_back(
            {base.x + ux * t * length - uy * bulge, base.y + uy * t * length + ux * bulge});
    }
    for (int i = 15; i >= 1; --i) {
        const double t = i / 16.0;
        const double bulge = std::sin(t * std::numbers::pi) * width / 2;
        points.push_back(
            {base.x + ux * t * length + uy * bulge, base.y + uy * t * length - ux * bulge});
    }
    mask.Polygon(points);
}

void Medallion(Canvas& canvas) {
    // Moss sprigs curling up both sides of the ring from its foot, behind it. An angle of 0 is
    // the bottom of the ring, 90 its side.
    Mask leaves = NewMask();
    for (int side = -1; side <= 1; side += 2)
        for (int i = 0; i < 7; ++i) {
            const double around = (22 + i * 17) * std::numbers::pi / 180.0;
            const double nx = side * std::sin(around), ny = std::cos(around);   // outwards
            const double tx = side * std::cos(around), ty = -std::sin(around);  // up the ring
            const Point base{kCentre.x + nx * (kRingOuter - 3), kCentre.y + ny * (kRingOuter - 3)};
            const double angle =
                std::atan2(ty + 0.9 * ny, tx + 0.9 * nx) * 180.0 / std::numbers::pi;
            Leaf(leaves, base, angle, 19 - i * 1.4, 9 - i * 0.6);
        }
    PaintFlat(canvas, leaves.Grown(1), Ink(0));
    PaintShaded(canvas, leaves,
                {.ramp = Ramp::Moss, .level = 10, .fall = 3, .bevel = 3, .relief = 2.2f});

    Mask disc = NewMask();
    disc.Ellipse(kCentre.x, kCentre.y, kRingOuter, kRingOuter);
    Mask inside = NewMask();
    inside.Ellipse(kCentre.x, kCentre.y, kRingInner, kRingInner);
    Mask ring = disc;
    ring.Subtract(inside);
    PaintFlat(canvas, disc.Grown(1), Ink(0));
    PaintShaded(canvas, ring,
                {.ramp = Ramp::Moss, .level = 8, .fall = 3, .bevel = 4, .relief = 2.5f});
    PaintFlat(canvas, inside.Rim(), Ink(0));
    PaintGlow(canvas, inside,
              {.ramp = Ramp::Ember,
               .centre = {kCentre.x, kCentre.y + 2},
               .radius = 50,
               .inner = 9.5f,
               .outer = 1.0f});
}

void Lantern(Canvas& canvas) {
    const double x = kCentre.x, y = kCentre.y;
    Mask metal = NewMask();
    metal.Polygon({{x - 9, y - 29}, {x + 9, y - 29}, {x + 19, y - 19}, {x - 19, y - 19}});  // cap
    metal.Rect(x - 16, y - 19, 32, 3);  // collar
    metal.Polygon(
        {{x - 18, y + 19}, {x + 18, y + 19}, {x + 14, y + 27}, {x - 14, y + 27}});  // base
    metal.Rect(x - 16, y - 17, 3, 36);                                              // posts
    metal.Rect(x + 13, y - 17, 3, 36);
    Mask handle = NewMask();
    handle.Ellipse(x, y - 33, 8, 7);
    Mask hole = NewMask();
    hole.Ellipse(x, y - 33, 5, 4);
    handle.Subtract(hole);
    metal.Add(handle);

    Mask glass = NewMask();
    glass.Rect(x - 13, y - 16, 26, 35);
    PaintFlat(canvas, metal.Grown(1).Add(glass.Grown(1)), Ink(0));
    PaintGlow(canvas, glass,
              {.ramp = Ramp::Gold,
               .centre = {x, y + 3},
               .radius = 22,
               .inner = 15,
               .outer = 9,
               .squashY = 1.4});
    Mask bar = NewMask();
    bar.Rect(x - 0.5, y - 16, 1, 35);
    PaintFlat(canvas, bar, Shade(Ramp::Brown, 6));

    Mask flame = NewMask();
    flame.Ellipse(x, y + 7, 5, 6.5);
    flame.Polygon({{x - 4.6, y + 5}, {x, y - 9}, {x + 4.6, y + 5}});
    PaintFlat(canvas, flame.Grown(1), Shade(Ramp::Ember, 8));
    PaintGlow(canvas, flame,
              {.ramp = Ramp::Gold, .centre = {x, y + 8}, .radius = 12, .inner = 15, .outer = 13});

    PaintShaded(canvas, metal,
                {.ramp = Ramp::Brown, .level = 9, .fall = 4, .bevel = 2, .relief = 2.5f});
}

void Name(Canvas& canvas) {
    const StrokeStyle style{.unitX = 5.4, .unitY = 4.6, .pen = 3.4, .spacing = 4.5};
    const char* name = "MOSSLAMP";
    Mask letters = NewMask();
    const double width = StrokeTextWidth(name, style);
    DrawStrokeText(letters, name, (kPictureWidth - width) / 2, 158, style);
    PaintFlat(canvas, letters.Grown(2).Shifted(2, 2), Ink(0));
    PaintFlat(canvas, letters.Grown(2), Ink(0));
    PaintFlat(canvas, letters.Grown(1), Shade(Ramp::Moss, 3));
    PaintShaded(canvas, letters,
                {.ramp = Ramp::Moss, .level = 15, .fall = 5, .bevel = 3, .relief = 1.6f});

    const BlockStyle small{.scale = 2, .smooth = true, .spacing = 3};
    const char* kind = "SOFTWORKS";
    Mask sub = NewMask();
    DrawBlockText(sub, kind, (kPictureWidth - BlockTextWidth(kind, small)) / 2, 202, small);
    PaintFlat(canvas, sub.Grown(1), Ink(0));
    PaintShaded(canvas, sub, {.ramp = Ramp::Gold, .level = 14, .fall = 4, .bevel = 0, .relief = 0});

    // Rules either side of the lower line.
    Mask rules = NewMask();
    const double half = BlockTextWidth(kind, small) / 2.0 + 10;
    rules.Rect(kCentre.x - half - 48, 208, 48, 2);
    rules.Rect(kCentre.x + half, 208, 48, 2);
    PaintFlat(canvas, rules.Grown(1), Ink(0));
    PaintFlat(canvas, rules, Shade(Ramp::Gold, 10));
}

}  // namespace

Picture DrawLogo() {
    Picture picture;
    Backdrop(picture.canvas);
    Medallion(picture.canvas);
    Lantern(picture.canvas);
    Name(picture.canvas);
    return picture;
}

}  // namespace art
