// Copies between slots, the clipping rule and colour fills, checked inside the drawn area and
// just outside it.
#include <gtest/gtest.h>

#include "display.h"
#include "display_support.h"

using namespace testing_support;

namespace {

constexpr DWORD kOpaque = 0x10;
constexpr DWORD kKeyed = 0x11;

int CountNonZero(int slot) {
    int n = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) n += SlotPixel(slot, x, y) != 0;
    return n;
}

}  // namespace

struct ClipCase {
    int dx, dy, sx, sy, w, h;
    bool nothing;
    int cdx = 0, cdy = 0, csx = 0, csy = 0, cw = 0, ch = 0;
};

class ClipRule : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipRule, CutsTheDestinationAndMovesTheSource) {
    OpenDisplay(1);
    ClipCase c = GetParam();
    int dx = c.dx, dy = c.dy, sx = c.sx, sy = c.sy, w = c.w, h = c.h;
    ASSERT_EQ(display.ClipRect(&dx, &dy, &sx, &sy, &w, &h), c.nothing);
    if (!c.nothing) {
        EXPECT_EQ(dx, c.cdx);
        EXPECT_EQ(dy, c.cdy);
        EXPECT_EQ(sx, c.csx);
        EXPECT_EQ(sy, c.csy);
        EXPECT_EQ(w, c.cw);
        EXPECT_EQ(h, c.ch);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipRule,
    ::testing::Values(ClipCase{-30, 0, 10, 0, 80, 20, false, 0, 0, 40, 0, 50, 20},
                      ClipCase{-80, 0, 0, 0, 80, 20, true}, ClipCase{320, 0, 0, 0, 80, 20, true},
                      ClipCase{0, 240, 0, 0, 80, 20, true},
                      ClipCase{319, 0, 0, 0, 80, 20, false, 319, 0, 0, 0, 1, 20},
                      ClipCase{300, 230, 0, 0, 80, 80, false, 300, 230, 0, 0, 20, 10},
                      ClipCase{10, -5, 0, 7, 30, 6, false, 10, 0, 0, 12, 30, 1},
                      ClipCase{10, -6, 0, 0, 30, 6, true},
                      // A width of 0 with no negative position passes through unchanged.
                      ClipCase{10, 10, 0, 0, 0, 5, false, 10, 10, 0, 0, 0, 5}));

TEST(BlitClipped, LeftEdgeCopiesTheVisiblePartInPlace) {
    OpenDisplay(1);
    PaintPattern(2);
    display.BlitClipped(-30, 20, 100, 50, 80, 10, 1, 2, kOpaque);
    // 50 columns at x 0, taken from sx + 30 onward.
    EXPECT_EQ(SlotPixel(1, 0, 20), Pattern(130, 50));
    EXPECT_EQ(SlotPixel(1, 49, 29), Pattern(179, 59));
    EXPECT_EQ(SlotPixel(1, 50, 20), 0);
    EXPECT_EQ(SlotPixel(1, 0, 19), 0);
    EXPECT_EQ(SlotPixel(1, 0, 30), 0);
    EXPECT_EQ(CountNonZero(1) <= 500, true);
}

TEST(BlitClipped, BottomRightCornerCopiesTwentyByTen) {
    OpenDisplay(1);
    display.FillSlot(2, 9);
    display.BlitClipped(300, 230, 0, 0, 80, 80, 1, 2, kOpaque);
    EXPECT_EQ(CountNonZero(1), 20 * 10);
    EXPECT_EQ(SlotPixel(1, 300, 230), 9);
    EXPECT_EQ(SlotPixel(1, 319, 239), 9);
    EXPECT_EQ(SlotPixel(1, 299, 239), 0);
}

TEST(Blit, RectangleLeavingEitherSlotIsRefusedAndChangesNothing) {
    OpenDisplay(1);
    display.FillSlot(2, 5);
    display.Blit(300, 0, 0, 0, 80, 10, 1, 2, kOpaque);  // leaves the destination
    display.Blit(0, 0, 300, 0, 80, 10, 1, 2, kOpaque);  // leaves the source
    display.Blit(-1, 0, 0, 0, 10, 10, 1, 2, kOpaque);   // negative destination
    display.Blit(0, 0, 0, 464, 16, 16, 1, 2, kKeyed);   // below the slot
    EXPECT_EQ(CountNonZero(1), 0);
    display.Blit(240, 230, 0, 0, 80, 10, 1, 2, kOpaque);  // exactly fits
    EXPECT_EQ(CountNonZero(1), 800);
}

TEST(Blit, ColourKeyLeavesTheKeyColourOut) {
    OpenDisplay(1);
    PaintPattern(2);
    DDCOLORKEY key{Pattern(3, 0), Pattern(3, 0)};  // index 21
    ASSERT_EQ(SurfaceTable[2]->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    display.FillSlot(1, 200);
    display.Blit(0, 0, 0, 0, 320, 240, 1, 2, kKeyed);
    int kept = 0, copied = 0;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            if (Pattern(x, y) == key.dwColorSpaceLowValue) {
                kept += SlotPixel(1, x, y) == 200;
            } else {
                copied += SlotPixel(1, x, y) == Pattern(x, y);
            }
        }
    }
    EXPECT_GT(kept, 0);
    EXPECT_EQ(kept + copied, 320 * 240);
    // The opaque copy takes every pixel, key colour included.
    display.Blit(0, 0, 0, 0, 320, 240, 1, 2, kOpaque);
    EXPECT_EQ(SlotPixel(1, 3, 0), Pattern(3, 0));
}

TEST(Fills, FrameRectDrawsTheBorderOnly) {
    OpenDisplay(1);
    display.FrameRect(3, 10, 20, 5, 3, 77);
    int border = 0;
    for (int y = 18; y < 26; ++y) {
        for (int x = 8; x < 18; ++x) {
            bool inside = x >= 10 && x <= 15 && y >= 20 && y <= 23;
            bool edge = inside && (x == 10 || x == 15 || y == 20 || y == 23);
            EXPECT_EQ(SlotPixel(3, x, y), edge ? 77 : 0) << x << "," << y;
            border += edge;
        }
    }
    EXPECT_EQ(border, 16);
    EXPECT_EQ(CountNonZero(3), 16);
}

TEST(Fills, FillSlotAndClearRect) {
    OpenDisplay(1);
    display.FillSlot(4, 0x1F3);  // only the low byte is a palette index
    EXPECT_EQ(SlotPixel(4, 0, 0), 0xF3);
    EXPECT_EQ(SlotPixel(4, 319, 239), 0xF3);
    display.ClearRect(4, 10, 10, 20, 5);
    EXPECT_EQ(SlotPixel(4, 10, 10), 0);
    EXPECT_EQ(SlotPixel(4, 29, 14), 0);
    EXPECT_EQ(SlotPixel(4, 30, 14), 0xF3);
    EXPECT_EQ(SlotPixel(4, 29, 15), 0xF3);
    EXPECT_EQ(CountNonZero(4), 320 * 240 - 100);
    // A rectangle leaving the slot fills nothing.
    display.ClearRect(4, 310, 0, 20, 5);
    EXPECT_EQ(CountNonZero(4), 320 * 240 - 100);
}

TEST(Restore, ClearsTheScreenAndPresents) {
    OpenDisplay(1);
    display.FillSlot(0, 3);
    display.FillSlot(1, 3);
    display.RestoreSurfaces();
    // Slot 0 was cleared, then flipped to the back: both buffers now hold the cleared screen
    // and the old back buffer respectively.
    EXPECT_EQ(SlotPixel(1, 5, 5), 0);
    EXPECT_EQ(SlotPixel(0, 5, 5), 3);
}
