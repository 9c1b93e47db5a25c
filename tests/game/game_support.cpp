#include "game_support.h"

#include <gtest/gtest.h>

#include "display.h"
#include "display_support.h"

namespace game_testing {

void OpenKeyedDisplay() {
    testing_support::OpenDisplay(1);
    DDCOLORKEY key{kKey, kKey};
    for (int slot = 1; slot <= 9; ++slot) SurfaceTable[slot]->SetColorKey(DDCKEY_SRCBLT, &key);
}

void FillRect(int slot, int x, int y, int w, int h, unsigned char value) {
    display.FillBlock(slot, x, y, w, h, value);
}

bool SameRect(int a, int x, int y, int b, int sx, int sy, int w, int h) {
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            if (testing_support::SlotPixel(a, x + column, y + row) !=
                testing_support::SlotPixel(b, sx + column, sy + row)) {
                return false;
            }
        }
    }
    return true;
}

unsigned char Texture(int x, int y) {
    return static_cast<unsigned char>(2 + (x + 3 * y) % 250);
}

void PaintTexture(int slot) {
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            SurfaceMemory[slot][y * SurfacePitch[slot] + x] = Texture(x, y);
}

}  // namespace game_testing
