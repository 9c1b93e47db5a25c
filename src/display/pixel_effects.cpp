// Effects written straight into surface memory through the addresses GetSurfaceMemory
// recorded: the block fill, the mosaic transition, the colour probe and glyph text.
#include <cstring>

#include "display.h"

void Display::FillBlock(SurfaceSlot slot, int x, int y, int w, int h, unsigned char colour) {
    // A slot whose lock failed has no memory to write.
    if (w <= 0 || !SurfaceMemory[slot]) return;
    for (int row = y; row < y + h; ++row) {
        unsigned char* line = SurfaceMemory[slot] + static_cast<long>(SurfacePitch[slot]) * row;
        std::memset(line + x, colour, static_cast<std::size_t>(w));
    }
}

// Every caller draws the whole screen, so dx and dy are 0; other values place the rectangle at
// (dx, dy) of the destination.
//
// Each row of squares is written as its first pixel row, square by square, and that row is then
// copied to the other rows of the squares: the same pixels as filling one square after another,
// at a fraction of the cost for small squares (block 2 makes 19,200 squares of four pixels).
void Display::Mosaic(int dx, int dy, int sx, int sy, int w, int h, SurfaceSlot dstSlot,
                     SurfaceSlot srcSlot, int block) {
    // No squares below one pixel, and no memory to go through after a failed lock.
    if (block < 1 || !SurfaceMemory[dstSlot] || !SurfaceMemory[srcSlot]) return;
    const long destPitch = SurfacePitch[dstSlot];
    for (int row = 0; row < h; row += block) {
        const int blockHeight = row + block >= h ? h - row : block;
        const unsigned char* source =
            SurfaceMemory[srcSlot] + static_cast<long>(SurfacePitch[srcSlot]) * (sy + row) + sx;
        unsigned char* first = SurfaceMemory[dstSlot] + destPitch * (dy + row) + dx;
        if (block == 2) {
            // The finest step, and the commonest: pairs of bytes.
            int column = 0;
            for (; column + 2 <= w; column += 2) first[column] = first[column + 1] = source[column];
            if (column < w) first[column] = source[column];
        } else {
            for (int column = 0; column < w; column += block) {
                const int blockWidth = column + block >= w ? w - column : block;
                std::memset(first + column, source[column], static_cast<std::size_t>(blockWidth));
            }
        }
        for (int line = 1; line < blockHeight; ++line) {
            std::memcpy(first + destPitch * line, first, static_cast<std::size_t>(w));
        }
    }
}

unsigned char Display::ColorToIndex(COLORREF colour) {
    // Without the back buffer's memory there is no pixel to probe: index 0.
    if (!SurfaceTable[1] || !SurfaceMemory[1]) return 0;
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
        Blit(x, y, 16 * glyph, 464, 16, 16, slot, 2, DDBLTFAST_WAIT | DDBLTFAST_SRCCOLORKEY);
    }
}
