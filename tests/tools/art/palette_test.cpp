// The colour rules the game depends on: black at 0, a transparent colour at 1 found nowhere
// else, and game1.bmp drawn only in colours game0.bmp's palette shows the same way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "art_test_util.h"

namespace {

using art_test::PictureNamed;
using art_test::Pictures;

TEST(ArtPalette, EntryZeroIsBlackAndEntryOneIsAColourNoOtherEntryHas) {
    for (const art::NamedPicture& named : Pictures()) {
        SCOPED_TRACE(named.name);
        const art::Palette& palette = named.picture.palette;
        EXPECT_EQ(palette[0], (art::Rgb{0, 0, 0}));
        for (std::size_t i = 2; i < palette.size(); ++i)
            EXPECT_NE(palette[i], palette[1]) << "entry " << i;
    }
}

TEST(ArtPalette, NoOtherEntryLooksLikeTheTransparentColour) {
    // A near-key colour at a shape's edge would read as a fringe of the see-through colour.
    for (const art::NamedPicture& named : Pictures()) {
        SCOPED_TRACE(named.name);
        const art::Palette& palette = named.picture.palette;
        for (std::size_t i = 2; i < palette.size(); ++i) {
            const int distance = std::abs(palette[i].r - palette[1].r) +
                                 std::abs(palette[i].g - palette[1].g) +
                                 std::abs(palette[i].b - palette[1].b);
            EXPECT_GT(distance, 150) << "entry " << i;
        }
    }
}

TEST(ArtPalette, EntriesAreDistinctSoNearestColourConversionKeepsIndices) {
    for (const art::NamedPicture& named : Pictures()) {
        SCOPED_TRACE(named.name);
        std::set<std::tuple<int, int, int>> seen;
        for (const art::Rgb& c : named.picture.palette)
            EXPECT_TRUE(seen.insert({c.r, c.g, c.b}).second);
    }
}

TEST(ArtPalette, Game1ShowsTheSameWithGame0sPalette) {
    const art::Picture& game0 = PictureNamed("game0.bmp");
    const art::Picture& game1 = PictureNamed("game1.bmp");
    std::set<int> used;
    for (art::Index index : game1.canvas.Pixels()) used.insert(index);
    for (int index : used) {
        const art::Rgb& wanted = game1.palette[static_cast<std::size_t>(index)];
        // The colour is in game0's palette, at this index and at no lower one, so converting
        // game1 to the palette in force leaves the pixel as it is.
        int first = -1;
        for (int i = 0; i < 256 && first < 0; ++i)
            if (game0.palette[static_cast<std::size_t>(i)] == wanted) first = i;
        EXPECT_EQ(first, index) << "game1 index " << index;
    }
}

}  // namespace
