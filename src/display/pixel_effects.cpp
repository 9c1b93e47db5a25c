// Effects written straight into surface memory through the addresses GetSurfaceMemory
// recorded: the block fill, the mosaic transition built from it, the colour probe and glyph
// text.
#include "display/display.h"

void Display::FillBlock(SurfaceSlot slot, int x, int y, int w, int h, unsigned char colour) {
    for (int row = y; row < y + h; ++row) {
        unsigned char* line = SurfaceMemory[slot] + static_cast<long>(SurfacePitch[slot]) * row;
        for (int column = x; column < x + w; ++column) line[column] = colour;
    }
}

// Every caller draws the whole screen, so dx and dy are 0; other values place the rectangle at
// (dx, dy) of the destination.
void Display::Mosaic(int dx, int dy, int sx, int sy, int w, int h, SurfaceSlot dstSlot,
                     SurfaceSlot srcSlot, int block) {
    for (int row = 0; row < h; row += block) {
        const int blockHeight = row + block >= h ? h - row : block;
        const unsigned char* source =
            SurfaceMemory[srcSlot] + static_cast<long>(SurfacePitch[srcSlot]) * (sy + row) + sx;
        for (int column = 0; column < w; column += block) {
            const int blockWidth = column + block >= w ? w - column : block;
            FillBlock(dstSlot, dx + column, dy + row, blockWidth, blockHeight, source[column]);
        }
    }
}

unsigned char Display::ColorToIndex(COLORREF colour) {
    const unsigned char kept = SurfaceMemory[1][0];
    HDC context = nullptr;
    SurfaceTable[1]->GetDC(&context);
    SetPixel(context, 0, 0, colour);
    SurfaceTable[1]->ReleaseDC(context);
    const unsigned char index = SurfaceMemory[1][0];
    SurfaceMemory[1][0] = kept;
    return index;
}

void Display::WriteGlyphs(SurfaceSlot slot, int x, int y, const char* text) {
    for (; *text != '\0'; ++text, x += 16) {
        const unsigned char byte = static_cast<unsigned char>(*text);
        int glyph;
        if (byte >= '0' && byte <= '9') {
            glyph = byte - '0';
        } else if (byte >= 'A' && byte <= 'Z') {
            glyph = byte - 'A' + 10;
        } else {
            continue;
        }
        Blit(x, y, 16 * glyph, 464, 16, 16, slot, 2, 0x11);
    }
}
