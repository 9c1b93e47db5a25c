// "game1.bmp", shown with game0.bmp's palette: the score digits, the panel that labels them,
// the three ratings at the end of a round and the play background tile.
#include <string>

#include "font.h"
#include "mask.h"
#include "paint.h"
#include "pictures.h"

namespace art {
namespace {

constexpr int kDigitSize = 19;
const BlockStyle kLabelStyle{.scale = 2, .smooth = true, .spacing = 1};

// A digit on a sunken dark cell; three cells side by side make a counter. The cell's corner
// pixels stay see-through, which parts the counter's wheels.
void DrawDigit(Canvas& canvas, int digit, int left) {
    Mask cell(kPictureWidth, kPictureHeight);
    cell.Rect(left, 0, kDigitSize, kDigitSize);
    for (int corner = 0; corner < 4; ++corner)
        cell.Set(left + (corner % 2) * (kDigitSize - 1), (corner / 2) * (kDigitSize - 1), false);
    PaintFlat(canvas, cell, Ink(0));
    Mask well = cell.Shrunk(1);
    PaintShaded(canvas, well,
                {.ramp = Ramp::Night, .level = 1.5f, .fall = -1.5f, .bevel = 2, .relief = -0.8f});

    Mask glyph(kPictureWidth, kPictureHeight);
    const std::string text(1, static_cast<char>('0' + digit));
    const int width = BlockTextWidth(text, kLabelStyle);
    DrawBlockText(glyph, text, left + (kDigitSize - width) / 2, 2, kLabelStyle);
    PaintFlat(canvas, glyph.Shifted(1, 1), Shade(Ramp::Ember, 1));
    PaintShaded(canvas, glyph,
                {.ramp = Ramp::Gold, .level = 14.5f, .fall = 5, .bevel = 0, .relief = 0});
}

// A tag with a rounded left end and a point on the right, which points at the digits.
void DrawTag(Canvas& canvas, const char* label, int top, Ramp ramp) {
    const double h = kDigitSize;
    Mask tag(kPictureWidth, kPictureHeight);
    tag.RoundRect(2, top + 1, 83, h - 2, 4);
    tag.Polygon({{80, top + 1.0},
                 {85, top + 1.0},
                 {93.5, top + h / 2},
                 {85, top + h - 1.0},
                 {80, top + h - 1.0}});
    PaintFlat(canvas, tag.Grown(1), Ink(0));
    PaintShaded(canvas, tag, {.ramp = ramp, .level = 9, .fall = 3, .bevel = 3, .relief = 2});

    Mask letters(kPictureWidth, kPictureHeight);
    DrawBlockText(letters, label, 7, top + 3, kLabelStyle);
    PaintFlat(canvas, letters.Grown(1).Intersect(tag), Shade(ramp, 2));
    PaintShaded(canvas, letters,
                {.ramp = Ramp::Slate, .level = 15, .fall = 2, .bevel = 0, .relief = 0});
}

// A ribbon with notched ends carrying the verdict.
// Light ribbons carry dark lettering, dark ones light lettering.
enum class Lettering { Dark, Light };

void DrawRating(Canvas& canvas, const char* text, int top, Ramp ramp, Lettering lettering) {
    const double w = 133, h = 19;
    Mask ribbon(kPictureWidth, kPictureHeight);
    ribbon.Polygon({{2, top + 1.0},
                    {w - 2, top + 1.0},
                    {w - 7, top + h / 2},
                    {w - 2, top + h - 1},
                    {2, top + h - 1},
                    {7, top + h / 2}});
    PaintFlat(canvas, ribbon.Grown(1), Ink(0));
    PaintShaded(canvas, ribbon, {.ramp = ramp, .level = 10, .fall = 4, .bevel = 3, .relief = 2});

    Mask letters(kPictureWidth, kPictureHeight);
    const int width = BlockTextWidth(text, kLabelStyle);
    DrawBlockText(letters, text, static_cast<int>((w - width) / 2), top + 3, kLabelStyle);
    if (lettering == Lettering::Dark) {
        PaintFlat(canvas, letters.Shifted(1, 1), Shade(ramp, 15));
        PaintFlat(canvas, letters, Shade(Ramp::Brown, 1));
    } else {
        PaintFlat(canvas, letters.Grown(1), Shade(ramp, 1));
        PaintShaded(canvas, letters,
                    {.ramp = Ramp::Slate, .level = 15, .fall = 2, .bevel = 0, .relief = 0});
    }
}

}  // namespace

Picture DrawGame1() {
    Picture picture;  // the same palette as game0.bmp, which the round shows it with
    for (int digit = 0; digit < 10; ++digit) DrawDigit(picture.canvas, digit, digit * kDigitSize);
    DrawTag(picture.canvas, "BEST", 19, Ramp::Orange);
    DrawTag(picture.canvas, "SCORE", 38, Ramp::Teal);
    DrawRating(picture.canvas, "EXCELLENT", 57, Ramp::Gold, Lettering::Dark);
    DrawRating(picture.canvas, "GOOD", 76, Ramp::Green, Lettering::Light);
    DrawRating(picture.canvas, "TRY AGAIN", 95, Ramp::Red, Lettering::Light);
    picture.canvas.Blit(PlayTile(), {0, 0, kTileSize, kTileSize}, 240, 160, false);
    return picture;
}

}  // namespace art
