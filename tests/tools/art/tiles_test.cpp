// The background tiles repeat without a visible seam.
#include <gtest/gtest.h>

#include <set>

#include "art_test_util.h"

namespace {

struct Tile {
    const char* picture;
    art::Canvas (*area)();
};
const Tile kTiles[] = {{"title.bmp", art::TitleTileArea}, {"game1.bmp", art::PlayTileArea}};
constexpr int kSize = art::kTileSize;
constexpr art::Rect kTileRect{240, 160, kSize, kSize};

TEST(ArtTiles, TheWorkAreaRepeatsEveryTileAcrossTheCutEdges) {
    // The tile is cut from the middle of a larger drawing; if that drawing repeats every 80
    // pixels around the cut, the tile's edges continue exactly into their neighbours.
    for (const Tile& tile : kTiles) {
        SCOPED_TRACE(tile.picture);
        const art::Canvas area = tile.area();
        const art::Canvas& picture = art_test::PictureNamed(tile.picture).canvas;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                ASSERT_EQ(picture.At(kTileRect.x + x, kTileRect.y + y),
                          area.At(kSize + x, kSize + y))
                    << "the picture's tile is not the middle of its work area";
        const int from = kSize / 2, to = 2 * kSize + kSize / 2;
        for (int y = from; y < to; ++y)
            for (int x = from; x + kSize < to; ++x) {
                ASSERT_EQ(area.At(x, y), area.At(x + kSize, y)) << x << "," << y;
                ASSERT_EQ(area.At(y, x), area.At(y, x + kSize)) << y << "," << x;
            }
    }
}

// Pixels that differ between column a and column b (or rows, with `rows`).
int Differences(const art::Canvas& c, int a, int b, bool rows) {
    int count = 0;
    for (int i = 0; i < kSize; ++i)
        count += rows ? c.At(i, a) != c.At(i, b) : c.At(a, i) != c.At(b, i);
    return count;
}

TEST(ArtTiles, TheWrapAroundSeamIsNoSharperThanTheTilesOwnEdges) {
    for (const Tile& tile : kTiles) {
        SCOPED_TRACE(tile.picture);
        const art::Canvas c = art_test::PictureNamed(tile.picture).canvas.Crop(kTileRect);
        for (bool rows : {false, true}) {
            int sharpest = 0;
            for (int i = 0; i + 1 < kSize; ++i)
                sharpest = std::max(sharpest, Differences(c, i, i + 1, rows));
            EXPECT_LE(Differences(c, kSize - 1, 0, rows), sharpest) << (rows ? "rows" : "columns");
        }
    }
}

TEST(ArtTiles, NoColourIsFoundOnlyAlongOneEdge) {
    // A colour only on an edge is a frame round the tile, which would show as a grid.
    for (const Tile& tile : kTiles) {
        SCOPED_TRACE(tile.picture);
        const art::Canvas c = art_test::PictureNamed(tile.picture).canvas.Crop(kTileRect);
        const struct {
            const char* name;
            bool (*on)(int x, int y);
        } edges[] = {{"top", [](int, int y) { return y == 0; }},
                     {"bottom", [](int, int y) { return y == kSize - 1; }},
                     {"left", [](int x, int) { return x == 0; }},
                     {"right", [](int x, int) { return x == kSize - 1; }}};
        for (const auto& edge : edges) {
            std::set<int> onEdge, elsewhere;
            for (int y = 0; y < kSize; ++y)
                for (int x = 0; x < kSize; ++x)
                    (edge.on(x, y) ? onEdge : elsewhere).insert(c.At(x, y));
            for (int index : onEdge)
                EXPECT_TRUE(elsewhere.count(index)) << edge.name << " edge, index " << index;
        }
    }
}

}  // namespace
