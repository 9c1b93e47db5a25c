// Our two typefaces. Both cover A-Z, 0-9, space and ! ? . - : / +
//  - the block face: 5×7 bitmaps, drawn at a whole-number scale, for small lettering;
//  - the stroke face: glyphs as pen paths on a 4×6 grid, drawn at any size with a round pen,
//    for large lettering.
#pragma once

#include <string_view>

#include "mask.h"

namespace art {

struct BlockStyle {
    int scale = 2;       // each bitmap pixel becomes scale × scale pixels
    bool smooth = true;  // round the staircase of diagonals (scale 2 only)
    int spacing = 1;     // bitmap pixels between glyphs
};

// Width in pixels of `text` in the block face.
int BlockTextWidth(std::string_view text, const BlockStyle& style);
int BlockTextHeight(const BlockStyle& style);
// Adds the lettering to `mask` with its top-left corner at (x, y).
void DrawBlockText(Mask& mask, std::string_view text, int x, int y, const BlockStyle& style);

struct StrokeStyle {
    double unitX = 8, unitY = 8;  // size of one grid step; the capitals are 6 steps high
    double pen = 4;               // pen radius in pixels
    double spacing = 4;           // pixels between the inked edges of neighbouring glyphs
};

double StrokeTextWidth(std::string_view text, const StrokeStyle& style);
double StrokeTextHeight(const StrokeStyle& style);
// (x, y) is the top-left corner of the inked extent of the lettering.
void DrawStrokeText(Mask& mask, std::string_view text, double x, double y,
                    const StrokeStyle& style);

}  // namespace art
