// The pixel effects: block fills and mosaics through recorded surface memory, the colour
// probe on the back buffer and glyph text from the strip in slot 2.
#include <set>

#include <gtest/gtest.h>

#include "display.h"
#include "faults.h"
#include "window.h"
#include "display_support.h"

using namespace testing_support;

namespace {

// A source whose neighbouring blocks always differ, at any block size used here.
unsigned char Source(int x, int y) {
    return static_cast<unsigned char>((x + 3 * y) & 0xFF);
}

void PaintSource(int slot) {
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            SurfaceMemory[slot][y * SurfacePitch[slot] + x] = Source(x, y);
}

void Fill(int slot, unsigned char value) {
    for (int y = 0; y < display.height; ++y)
        for (int x = 0; x < display.width; ++x)
            SurfaceMemory[slot][y * SurfacePitch[slot] + x] = value;
}

// Widths of the runs of equal pixels along a row (or down a column) of a slot.
std::vector<int> Runs(int slot, bool alongRow, int length) {
    std::vector<int> runs{1};
    for (int i = 1; i < length; ++i) {
        unsigned char here = alongRow ? SlotPixel(slot, i, 0) : SlotPixel(slot, 0, i);
        unsigned char before = alongRow ? SlotPixel(slot, i - 1, 0) : SlotPixel(slot, 0, i - 1);
        if (here == before) {
            ++runs.back();
        } else {
            runs.push_back(1);
        }
    }
    return runs;
}

}  // namespace

TEST(FillBlock, WritesExactlyTheRectangle) {
    OpenDisplay(1);
    Fill(3, 9);
    display.FillBlock(3, 10, 20, 5, 3, 200);
    int filled = 0;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const bool inside = x >= 10 && x < 15 && y >= 20 && y < 23;
            ASSERT_EQ(SlotPixel(3, x, y), inside ? 200 : 9) << x << "," << y;
            filled += inside;
        }
    }
    EXPECT_EQ(filled, 15);
}

TEST(FillBlock, EmptyOrNegativeSizesWriteNothing) {
    OpenDisplay(1);
    Fill(3, 9);
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-3, 5}, {5, -1}})
        display.FillBlock(3, 4, 4, w, h, 1);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(SlotPixel(3, x, y), 9);
}

struct GridCase {
    int block;
    int columns, lastWidth;
    int rows, lastHeight;
};

class MosaicGrid : public ::testing::TestWithParam<GridCase> {};

TEST_P(MosaicGrid, SquaresTakeTheirTopLeftSourcePixelAndTheLastAreNarrowed) {
    const GridCase& c = GetParam();
    OpenDisplay(1);
    PaintSource(2);
    display.Mosaic(0, 0, 0, 0, 320, 240, 1, 2, c.block);

    std::vector<int> columns = Runs(1, true, 320);
    std::vector<int> rows = Runs(1, false, 240);
    ASSERT_EQ(static_cast<int>(columns.size()), c.columns);
    ASSERT_EQ(static_cast<int>(rows.size()), c.rows);
    EXPECT_EQ(columns.back(), c.lastWidth);
    EXPECT_EQ(rows.back(), c.lastHeight);
    for (std::size_t i = 0; i + 1 < columns.size(); ++i) EXPECT_EQ(columns[i], c.block);
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) EXPECT_EQ(rows[i], c.block);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            ASSERT_EQ(SlotPixel(1, x, y), Source(x / c.block * c.block, y / c.block * c.block))
                << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, MosaicGrid,
                         ::testing::Values(GridCase{30, 11, 20, 8, 30}, GridCase{7, 46, 5, 35, 2},
                                           GridCase{2, 160, 2, 120, 2}, GridCase{29, 12, 1, 9, 8},
                                           GridCase{1, 320, 1, 240, 1}),
                         [](const auto& info) {
                             return "Block" + std::to_string(info.param.block);
                         });

// Rectangles smaller than the screen, of odd and even sizes, at source offsets: every pixel of
// the w × h destination takes its square's top-left source pixel and nothing outside it changes.
struct RectangleCase {
    int sx, sy, w, h, block;
};

class MosaicRectangle : public ::testing::TestWithParam<RectangleCase> {};

TEST_P(MosaicRectangle, FillsOnlyTheRectangleWithEachSquaresCorner) {
    const RectangleCase& c = GetParam();
    OpenDisplay(1);
    PaintSource(2);
    Fill(1, 0);
    display.Mosaic(0, 0, c.sx, c.sy, c.w, c.h, 1, 2, c.block);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const bool inside = x < c.w && y < c.h;
            const unsigned char expected =
                inside ? Source(c.sx + x / c.block * c.block, c.sy + y / c.block * c.block) : 0;
            ASSERT_EQ(SlotPixel(1, x, y), expected) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MosaicRectangle,
    ::testing::Values(RectangleCase{2, 1, 1, 1, 2}, RectangleCase{3, 5, 7, 5, 2},
                      RectangleCase{1, 2, 8, 9, 2}, RectangleCase{0, 0, 319, 239, 2},
                      RectangleCase{11, 7, 31, 17, 3}, RectangleCase{5, 0, 61, 31, 30}),
    [](const auto& info) {
        const RectangleCase& c = info.param;
        return std::to_string(c.w) + "x" + std::to_string(c.h) + "Block" + std::to_string(c.block);
    });

TEST(Mosaic, BlockOneCopiesTheRectangleExactly) {
    OpenDisplay(1);
    PaintPattern(4);
    display.Mosaic(0, 0, 0, 0, 320, 240, 1, 4, 1);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) ASSERT_EQ(SlotPixel(1, x, y), Pattern(x, y));
}

TEST(Mosaic, ReadsOnlyTheTopLeftPixelOfEachSquare) {
    OpenDisplay(1);
    Fill(2, 50);
    SurfaceMemory[2][0] = 7;
    SurfaceMemory[2][SurfacePitch[2] + 1] = 9;
    display.Mosaic(0, 0, 0, 0, 320, 240, 1, 2, 2);
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}}) EXPECT_EQ(SlotPixel(1, x, y), 7);
    EXPECT_EQ(SlotPixel(1, 2, 0), 50);
    EXPECT_EQ(SlotPixel(1, 2, 2), 50);
}

TEST(Mosaic, BlockLargerThanTheRectangleTakesTheSourcePointsColour) {
    OpenDisplay(1);
    PaintSource(2);
    Fill(1, 0);
    display.Mosaic(0, 0, 40, 30, 25, 15, 1, 2, 100);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const bool inside = x < 25 && y < 15;
            ASSERT_EQ(SlotPixel(1, x, y), inside ? Source(40, 30) : 0) << x << "," << y;
        }
    }
}

TEST(Mosaic, SourceRectangleOffsetIsReadFromItsOwnCorner) {
    OpenDisplay(1);
    PaintSource(2);
    Fill(1, 0);
    display.Mosaic(0, 0, 13, 17, 50, 40, 1, 2, 10);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(SlotPixel(1, x, y), Source(13 + x / 10 * 10, 17 + y / 10 * 10));
    EXPECT_EQ(SlotPixel(1, 50, 0), 0);
    EXPECT_EQ(SlotPixel(1, 0, 40), 0);
}

TEST(Mosaic, DoesNotPresentOrLockAnything) {
    OpenDisplay(1);
    PaintSource(2);
    platform::SetFailingCalls("Lock");
    display.Mosaic(0, 0, 0, 0, 320, 240, 1, 2, 5);
    EXPECT_EQ(SlotPixel(1, 319, 239), Source(315, 235));
}

class ColorToIndexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OpenDisplay(1);
        // Entry i: a colour of its own.
        PALETTEENTRY colours[256];
        for (int i = 0; i < 256; ++i) {
            colours[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i),
                          static_cast<BYTE>((i * 3) & 0xFF), PC_RESERVED};
        }
        DisplayPalette->SetEntries(0, 0, 256, colours);
        SurfaceMemory[1][0] = 77;
        SurfaceMemory[1][1] = 78;
    }
};

TEST_F(ColorToIndexTest, FindsTheEntryAndPutsThePixelBack) {
    for (int i : {0, 5, 200, 255}) {
        EXPECT_EQ(display.ColorToIndex(RGB(i, 255 - i, (i * 3) & 0xFF)), i);
        EXPECT_EQ(SlotPixel(1, 0, 0), 77);
        EXPECT_EQ(SlotPixel(1, 1, 0), 78);
    }
    // A colour between entries gets the nearest.
    EXPECT_EQ(display.ColorToIndex(RGB(101, 154, 44)), 100);
    EXPECT_EQ(SlotPixel(1, 0, 0), 77);
}

TEST_F(ColorToIndexTest, WithoutADeviceContextGivesThePixelItFound) {
    platform::SetFailingCalls("GetDC");
    EXPECT_EQ(display.ColorToIndex(RGB(200, 55, 88)), 77);
    EXPECT_EQ(SlotPixel(1, 0, 0), 77);
}

namespace {

// A 640×480 screen, large enough for the glyph strip: glyph i is filled with 100 + i except
// its top-left pixel, which holds the colour key (index 1) and must never be copied.
void OpenWithGlyphStrip() {
    OpenDisplayWindow();
    ASSERT_EQ(display.Initialize(MainWindow, 640, 480, 1), 1);
    for (int i = 0; i < 36; ++i) {
        display.FillBlock(2, 16 * i, 464, 16, 16, static_cast<unsigned char>(100 + i));
        SurfaceMemory[2][464 * SurfacePitch[2] + 16 * i] = 1;
    }
    DDCOLORKEY key{1, 1};
    SurfaceTable[2]->SetColorKey(DDCKEY_SRCBLT, &key);
    Fill(3, 9);
}

// The glyph in the 16 × 16 cell at (x, y) of slot 3: its index, or -1 where the cell is
// untouched.
int GlyphAt(int x, int y) {
    const unsigned char value = SlotPixel(3, x + 5, y + 5);
    if (value == 9) return -1;
    EXPECT_EQ(SlotPixel(3, x, y), 9) << "the keyed corner was copied";
    EXPECT_EQ(SlotPixel(3, x + 15, y + 15), value);
    return value - 100;
}

}  // namespace

struct GlyphCase {
    const char* name;
    const char* text;
    std::vector<int> glyphs;  // per cell; -1 for none
};

class WriteGlyphs : public ::testing::TestWithParam<GlyphCase> {};

TEST_P(WriteGlyphs, DrawsDigitsAndCapitalsAndSkipsTheRest) {
    OpenWithGlyphStrip();
    display.WriteGlyphs(3, 20, 30, GetParam().text);
    const std::vector<int>& glyphs = GetParam().glyphs;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        EXPECT_EQ(GlyphAt(20 + 16 * static_cast<int>(i), 30), glyphs[i]) << "cell " << i;
    }
    // Nothing beyond the text's cells, and nothing above or below them.
    EXPECT_EQ(GlyphAt(20 + 16 * static_cast<int>(glyphs.size()), 30), -1);
    EXPECT_EQ(SlotPixel(3, 25, 29), 9);
    EXPECT_EQ(SlotPixel(3, 25, 46), 9);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WriteGlyphs,
    ::testing::Values(GlyphCase{"CapitalDigitSpaceSmall", "A1 b", {10, 1, -1, -1}},
                      GlyphCase{"EndsOfBothRanges", "09AZ", {0, 9, 10, 35}},
                      GlyphCase{"NeighboursOfTheRanges", "/:@[", {-1, -1, -1, -1}},
                      GlyphCase{"HighAndSmallBytes", "\301a\2017", {-1, -1, -1, 7}},
                      GlyphCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WriteGlyphsSmallSlot, CopiesAreRefusedAndNothingChanges) {
    OpenDisplay(1);
    PaintPattern(2);
    DDCOLORKEY key{1, 1};
    SurfaceTable[2]->SetColorKey(DDCKEY_SRCBLT, &key);
    Fill(3, 9);
    display.WriteGlyphs(3, 0, 0, "AZ09");
    std::set<unsigned char> values;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) values.insert(SlotPixel(3, x, y));
    EXPECT_EQ(values, std::set<unsigned char>{9});
}

// After a failed lock a slot's recorded address is null: the effects must not write through
// it, and a block below one pixel draws nothing rather than looping or walking off the slot.
struct NullMemoryCase {
    const char* name;
    int nullSlot;  // -1: none
    void (*effect)();
};

class EffectsWithoutMemory : public ::testing::TestWithParam<NullMemoryCase> {};

TEST_P(EffectsWithoutMemory, DrawNothing) {
    OpenDisplay(1);
    Fill(1, 9);
    Fill(2, 50);
    if (GetParam().nullSlot >= 0) SurfaceMemory[GetParam().nullSlot] = nullptr;
    GetParam().effect();
    for (int slot : {1, 2}) {
        if (!SurfaceMemory[slot]) continue;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x)
                ASSERT_EQ(SlotPixel(slot, x, y), slot == 1 ? 9 : 50)
                    << slot << ":" << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EffectsWithoutMemory,
    ::testing::Values(
        NullMemoryCase{"FillBlockNullSlot", 1, [] { display.FillBlock(1, 0, 0, 320, 240, 3); }},
        NullMemoryCase{"MosaicNullDestination", 1,
                       [] { display.Mosaic(0, 0, 0, 0, 320, 240, 1, 2, 2); }},
        NullMemoryCase{"MosaicNullSource", 2,
                       [] { display.Mosaic(0, 0, 0, 0, 320, 240, 1, 2, 2); }},
        NullMemoryCase{"MosaicBlockZero", -1,
                       [] { display.Mosaic(0, 0, 0, 0, 320, 240, 1, 2, 0); }},
        NullMemoryCase{"MosaicBlockNegative", -1,
                       [] { display.Mosaic(0, 0, 0, 0, 320, 240, 1, 2, -4); }},
        NullMemoryCase{"ColorToIndexNullBackBuffer", 1,
                       [] { EXPECT_EQ(display.ColorToIndex(RGB(255, 255, 255)), 0); }}),
    [](const auto& info) { return std::string(info.param.name); });
