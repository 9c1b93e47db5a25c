// "title.bmp": the game's name, the two menu items, the menu cursor and the title background tile.
#include "font.h"
#include "mask.h"
#include "paint.h"
#include "pictures.h"

namespace art {
namespace {

void DrawName(Canvas& canvas) {
    const StrokeStyle style{.unitX = 10, .unitY = 10.5, .pen = 7, .spacing = 7};
    const char* name = "TAVLO";
    const double width = StrokeTextWidth(name, style);
    Mask letters(kPictureWidth, kPictureHeight);
    DrawStrokeText(letters, name, (kPictureWidth - width) / 2 - 2, 20, style);

    const Mask outline = letters.Grown(2);
    PaintFlat(canvas, outline.Grown(1).Shifted(4, 4), Ink(0));
    PaintFlat(canvas, outline.Grown(1), Ink(0));
    PaintFlat(canvas, outline, Shade(Ramp::Brown, 3));
    PaintShaded(canvas, letters,
                {.ramp = Ramp::Ember, .level = 14.2f, .fall = 7.5f, .bevel = 4, .relief = 2.0f});

    const BlockStyle small{.scale = 2, .smooth = true, .spacing = 1};
    const char* motto = "THE ARROW REFLEX GAME";
    Mask line(kPictureWidth, kPictureHeight);
    DrawBlockText(line, motto, (kPictureWidth - BlockTextWidth(motto, small)) / 2, 112, small);
    PaintFlat(canvas, line.Grown(1).Shifted(1, 1), Ink(0));
    PaintFlat(canvas, line.Grown(1), Ink(0));
    PaintShaded(canvas, line,
                {.ramp = Ramp::Sand, .level = 15, .fall = 4, .bevel = 0, .relief = 0});
}

// A plate with the item's name; the cursor beside it marks the one chosen.
void DrawMenuItem(Canvas& canvas, const char* text, int top) {
    Mask plate(kPictureWidth, kPictureHeight);
    plate.RoundRect(2, top + 2, 97, 16, 5);
    PaintFlat(canvas, plate.Grown(1), Ink(0));
    PaintShaded(canvas, plate,
                {.ramp = Ramp::Plum, .level = 7, .fall = 3, .bevel = 3, .relief = 1.8f});

    const BlockStyle style{.scale = 2, .smooth = true, .spacing = 1};
    Mask letters(kPictureWidth, kPictureHeight);
    DrawBlockText(letters, text, (100 - BlockTextWidth(text, style)) / 2, top + 3, style);
    PaintFlat(canvas, letters.Grown(1).Intersect(plate), Shade(Ramp::Plum, 1));
    PaintShaded(canvas, letters,
                {.ramp = Ramp::Sand, .level = 15, .fall = 4.0f, .bevel = 0, .relief = 0});
}

void DrawCursor(Canvas& canvas, int left, int top) {
    Mask arrow(kPictureWidth, kPictureHeight);
    const double x = left, y = top;
    arrow.Polygon({{x + 2, y + 6.5},
                   {x + 9, y + 6.5},
                   {x + 9, y + 2},
                   {x + 17.9, y + 10},
                   {x + 9, y + 18},
                   {x + 9, y + 13.5},
                   {x + 2, y + 13.5}});
    PaintFlat(canvas, arrow.Grown(1), Ink(0));
    PaintShaded(canvas, arrow,
                {.ramp = Ramp::Ember, .level = 14, .fall = 5, .bevel = 3, .relief = 2.0f});
}

}  // namespace

Picture DrawTitle() {
    Picture picture;
    DrawName(picture.canvas);
    DrawMenuItem(picture.canvas, "START", 144);
    DrawMenuItem(picture.canvas, "QUIT", 176);
    DrawCursor(picture.canvas, 208, 144);
    picture.canvas.Blit(TitleTile(), {0, 0, kTileSize, kTileSize}, 240, 160, false);
    return picture;
}

}  // namespace art
