// "game0.bmp": the four targets (one per arrow key), each with its hit look below it, and the
// countdown before a round.
#include <cmath>
#include <numbers>

#include "font.h"
#include "mask.h"
#include "paint.h"
#include "pictures.h"
#include "layout.h"

namespace art {
namespace {

// The colour of each kind, in the order right, up, left, down.
constexpr Ramp kKindRamp[4] = {Ramp::Red, Ramp::Green, Ramp::Blue, Ramp::Violet};
// Unit vector each kind's arrow points along (screen coordinates, y down).
constexpr int kKindDir[4][2] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};

// Maps a point of an arrow drawn pointing right about the origin to one pointing along `dir`.
Point Turn(Point p, const int dir[2], Point centre) {
    return {centre.x + p.x * dir[0] - p.y * dir[1], centre.y + p.x * dir[1] + p.y * dir[0]};
}

Mask Arrow(Point centre, const int dir[2], double scale) {
    // A fat arrow pointing right, centred on the origin: shaft on the left, head on the right.
    const Point shape[] = {{-17, -7}, {1, -7}, {1, -17}, {19, 0}, {1, 17}, {1, 7}, {-17, 7}};
    std::vector<Point> points;
    for (const Point& p : shape) points.push_back(Turn({p.x * scale, p.y * scale}, dir, centre));
    Mask mask(kPictureWidth, kPictureHeight);
    mask.Polygon(points);
    return mask;
}

Mask Burst(Point centre, double inner, double outerX, double outerY, int spikes, double turn) {
    std::vector<Point> points;
    for (int i = 0; i < spikes * 2; ++i) {
        const double a = (i + turn) * std::numbers::pi / spikes;
        const double rx = i % 2 ? inner : outerX, ry = i % 2 ? inner : outerY;
        points.push_back({centre.x + rx * std::cos(a), centre.y + ry * std::sin(a)});
    }
    Mask mask(kPictureWidth, kPictureHeight);
    mask.Polygon(points);
    return mask;
}

// A key cap: a rounded square face on a darker skirt, with the arrow on the face.
void DrawTarget(Canvas& canvas, int kind, int left, int top) {
    const Ramp ramp = kKindRamp[kind];
    const double w = kTargetWidth[kind];
    const Point centre{left + w / 2, top + 40.0};
    const double half = 30;

    Mask face(kPictureWidth, kPictureHeight);
    face.RoundRect(centre.x - half, centre.y - half, 2 * half, 2 * half, 11);
    Mask skirt = face.Shifted(0, 5);
    skirt.Add(face);

    PaintFlat(canvas, skirt.Grown(1), Ink(0));
    PaintShaded(canvas, skirt, {.ramp = ramp, .level = 4, .fall = 2, .bevel = 2, .relief = 1});
    PaintFlat(canvas, face.Rim().Shifted(0, 1), Shade(ramp, 2));
    PaintShaded(canvas, face,
                {.ramp = ramp, .level = 10.5f, .fall = 3.5f, .bevel = 5, .relief = 2.2f});

    const Mask arrow = Arrow(centre, kKindDir[kind], 1.0);
    PaintFlat(canvas, arrow.Grown(1).Shifted(1, 2), Shade(ramp, 3));
    PaintFlat(canvas, arrow.Grown(1), Ink(0));
    PaintShaded(canvas, arrow,
                {.ramp = Ramp::Slate, .level = 15, .fall = 3, .bevel = 2, .relief = 1.5f});
}

// A small four-pointed twinkle.
void Sparkle(Mask& mask, double x, double y, double size) {
    mask.Polygon({{x, y - size},
                  {x + size * 0.28, y - size * 0.28},
                  {x + size, y},
                  {x + size * 0.28, y + size * 0.28},
                  {x, y + size},
                  {x - size * 0.28, y + size * 0.28},
                  {x - size, y},
                  {x - size * 0.28, y - size * 0.28}});
}

// The same cap pressed in and lit up, bursting out of a star of light.
void DrawHit(Canvas& canvas, int kind, int left, int top) {
    const Ramp ramp = kKindRamp[kind];
    const double w = kTargetWidth[kind];
    const Point centre{left + w / 2, top + kTargetHeight / 2.0};
    const double half = 23;

    const Mask outer = Burst(centre, 23, w / 2 - 2, 39.5, 8, 0);
    const Mask inner = Burst(centre, 22, w / 2 - 8, 33, 8, 1);
    Mask star = outer;
    star.Add(inner);
    PaintFlat(canvas, star.Grown(1), Shade(Ramp::Ember, 1));
    PaintGlow(canvas, outer,
              {.ramp = Ramp::Ember,
               .centre = centre,
               .radius = 40,
               .inner = 15,
               .outer = 7.5f,
               .squashY = 1.1});
    PaintFlat(canvas, inner.Rim().Intersect(outer), Shade(Ramp::Ember, 6));
    PaintGlow(canvas, inner,
              {.ramp = Ramp::Gold,
               .centre = centre,
               .radius = 34,
               .inner = 15,
               .outer = 11,
               .squashY = 1.1});

    Mask face(kPictureWidth, kPictureHeight);
    face.RoundRect(centre.x - half, centre.y - half, 2 * half, 2 * half, 9);
    PaintFlat(canvas, face.Grown(1), Ink(0));
    PaintShaded(canvas, face,
                {.ramp = ramp, .level = 14.5f, .fall = 2.5f, .bevel = 4, .relief = -1.0f});

    const Mask arrow = Arrow(centre, kKindDir[kind], 0.8);
    PaintFlat(canvas, arrow.Grown(1), Shade(ramp, 1));
    PaintShaded(canvas, arrow, {.ramp = ramp, .level = 7, .fall = 2, .bevel = 2, .relief = -1.2f});

    Mask sparkles(kPictureWidth, kPictureHeight);
    Sparkle(sparkles, left + 7, top + 8, 5);
    Sparkle(sparkles, left + w - 8, top + kTargetHeight - 9, 5);
    Sparkle(sparkles, left + w - 9, top + 11, 3.5);
    Sparkle(sparkles, left + 8, top + kTargetHeight - 12, 3.5);
    sparkles.Subtract(outer.Grown(2));
    PaintFlat(canvas, sparkles.Grown(1), Shade(Ramp::Ember, 1));
    PaintFlat(canvas, sparkles, Shade(Ramp::Gold, 15));
}

void DrawCountdown(Canvas& canvas, const char* text, const Rect& box, Ramp ramp, double unitX) {
    const StrokeStyle style{.unitX = unitX, .unitY = 5.0, .pen = 5, .spacing = 4};
    Mask letters(kPictureWidth, kPictureHeight);
    // Centre the whole footprint: two pixels of outline all round and a shadow two pixels
    // further right and down.
    const double width = StrokeTextWidth(text, style), height = StrokeTextHeight(style);
    DrawStrokeText(letters, text, box.x + (box.w - width - 6) / 2 + 2,
                   box.y + (box.h - height - 6) / 2 + 2, style);
    const Mask outline = letters.Grown(1);
    PaintFlat(canvas, outline.Grown(1).Shifted(2, 2), Ink(0));
    PaintFlat(canvas, outline.Grown(1), Ink(0));
    PaintFlat(canvas, outline, Shade(ramp, 3));
    PaintShaded(canvas, letters, {.ramp = ramp, .level = 14, .fall = 6, .bevel = 3, .relief = 2});
}

}  // namespace

Picture DrawGame0() {
    Picture picture;
    for (int kind = 0; kind < 4; ++kind) {
        DrawTarget(picture.canvas, kind, kTargetX[kind], 0);
        DrawHit(picture.canvas, kind, kTargetX[kind], kTargetHitY);
    }
    DrawCountdown(picture.canvas, "3", {0, 176, 35, 48}, Ramp::Gold, 4.4);
    DrawCountdown(picture.canvas, "2", {48, 176, 35, 48}, Ramp::Gold, 4.4);
    DrawCountdown(picture.canvas, "1", {96, 176, 32, 48}, Ramp::Gold, 4.4);
    DrawCountdown(picture.canvas, "GO!", {144, 176, 128, 48}, Ramp::Green, 7);
    return picture;
}

}  // namespace art
