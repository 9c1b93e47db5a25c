// Every region the game copies out of the pictures: inside its picture, with something in it,
// opaque where the game copies it opaque, and see-through round its art where the game copies
// it with the colour key.
#include <gtest/gtest.h>

#include <string>

#include "art_test_util.h"

namespace {

using art::kClear;
using art::Rect;

enum class Copy { Opaque, Keyed };
// How much of a keyed region's outermost ring must be see-through: all of it for art that floats
// over the background (nothing may look cut off), only the corners for plates that fill it.
enum class Edge { None, Frame, Corners };

struct GameRegion {
    const char* picture;
    const char* what;
    Rect rect;
    Copy copy;
    Edge edge;
};

// The game's copies. The digits go opaque into a work surface and from there onto the screen
// with the key, so they count as keyed.
const GameRegion kRegions[] = {
    {"logo.bmp", "logo", {0, 0, 320, 240}, Copy::Opaque, Edge::None},
    {"title.bmp", "background tile", {240, 160, 80, 80}, Copy::Opaque, Edge::None},
    {"title.bmp", "title", {0, 16, 320, 115}, Copy::Keyed, Edge::Frame},
    {"title.bmp", "menu item 0", {0, 144, 156, 20}, Copy::Keyed, Edge::Frame},
    {"title.bmp", "menu item 1", {0, 176, 156, 20}, Copy::Keyed, Edge::Frame},
    {"title.bmp", "cursor", {208, 144, 20, 20}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "target right", {1, 0, 73, 85}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "target up", {76, 0, 82, 85}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "target left", {160, 0, 73, 85}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "target down", {236, 0, 82, 85}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "hit right", {1, 87, 73, 85}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "hit up", {76, 87, 82, 85}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "hit left", {160, 87, 73, 85}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "hit down", {236, 87, 82, 85}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "countdown 3", {0, 176, 35, 48}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "countdown 2", {48, 176, 35, 48}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "countdown 1", {96, 176, 32, 48}, Copy::Keyed, Edge::Frame},
    {"game0.bmp", "countdown word", {144, 176, 128, 48}, Copy::Keyed, Edge::Frame},
    {"game1.bmp", "digit 0", {0, 0, 19, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "digit 1", {19, 0, 19, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "digit 2", {38, 0, 19, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "digit 3", {57, 0, 19, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "digit 4", {76, 0, 19, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "digit 5", {95, 0, 19, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "digit 6", {114, 0, 19, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "digit 7", {133, 0, 19, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "digit 8", {152, 0, 19, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "digit 9", {171, 0, 19, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "panel", {0, 19, 95, 38}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "rating 100 and more", {0, 57, 133, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "rating 50 to 99", {0, 76, 133, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "rating under 50", {0, 95, 133, 19}, Copy::Keyed, Edge::Corners},
    {"game1.bmp", "background tile", {240, 160, 80, 80}, Copy::Opaque, Edge::None},
};

std::string Name(const GameRegion& region) {
    return std::string(region.picture) + " " + region.what;
}

const art::Canvas& CanvasOf(const GameRegion& region) {
    return art_test::PictureNamed(region.picture).canvas;
}

TEST(ArtRegions, LieInsideTheirPictureWithoutOverlapping) {
    for (const GameRegion& region : kRegions) {
        SCOPED_TRACE(Name(region));
        const Rect& r = region.rect;
        EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.w <= 320 && r.y + r.h <= 240);
        for (const GameRegion& other : kRegions) {
            if (&other == &region || std::string(other.picture) != region.picture) continue;
            const Rect& o = other.rect;
            EXPECT_FALSE(r.x < o.x + o.w && o.x < r.x + r.w && r.y < o.y + o.h && o.y < r.y + r.h)
                << "overlaps " << other.what;
        }
    }
}

TEST(ArtRegions, HoldArt) {
    // A quarter of every region at least is drawn: an empty or nearly empty region means art
    // drawn in the wrong place.
    for (const GameRegion& region : kRegions) {
        SCOPED_TRACE(Name(region));
        const art::Canvas& canvas = CanvasOf(region);
        const Rect& r = region.rect;
        int drawn = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x) drawn += canvas.At(x, y) != kClear;
        EXPECT_GE(drawn * 4, r.w * r.h);
    }
}

TEST(ArtRegions, OpaqueCopiesHoldNoTransparentColour) {
    for (const GameRegion& region : kRegions) {
        if (region.copy != Copy::Opaque) continue;
        SCOPED_TRACE(Name(region));
        const Rect& r = region.rect;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x)
                ASSERT_NE(CanvasOf(region).At(x, y), kClear) << x << "," << y;
    }
}

TEST(ArtRegions, KeyedCopiesAreSeeThroughAroundTheirArt) {
    for (const GameRegion& region : kRegions) {
        if (region.copy != Copy::Keyed) continue;
        SCOPED_TRACE(Name(region));
        const art::Canvas& canvas = CanvasOf(region);
        const Rect& r = region.rect;
        const int right = r.x + r.w - 1, bottom = r.y + r.h - 1;
        for (int x : {r.x, right})
            for (int y : {r.y, bottom})
                EXPECT_EQ(canvas.At(x, y), kClear) << "corner " << x << "," << y;
        if (region.edge != Edge::Frame) continue;
        for (int x = r.x; x <= right; ++x) {
            EXPECT_EQ(canvas.At(x, r.y), kClear) << "top edge at x " << x;
            EXPECT_EQ(canvas.At(x, bottom), kClear) << "bottom edge at x " << x;
        }
        for (int y = r.y; y <= bottom; ++y) {
            EXPECT_EQ(canvas.At(r.x, y), kClear) << "left edge at y " << y;
            EXPECT_EQ(canvas.At(right, y), kClear) << "right edge at y " << y;
        }
    }
}

TEST(ArtRegions, KeyedArtMeetsTheTransparentColourWithADarkOutline) {
    // A light pixel next to a see-through one would glow as a fringe on the dark backgrounds.
    for (const GameRegion& region : kRegions) {
        if (region.copy != Copy::Keyed) continue;
        SCOPED_TRACE(Name(region));
        const art::Canvas& canvas = CanvasOf(region);
        const art::Palette& palette = art_test::PictureNamed(region.picture).palette;
        const Rect& r = region.rect;
        int light = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x) {
                const art::Index index = canvas.At(x, y);
                if (index == kClear) continue;
                const bool edge = (x > r.x && canvas.At(x - 1, y) == kClear) ||
                                  (x < r.x + r.w - 1 && canvas.At(x + 1, y) == kClear) ||
                                  (y > r.y && canvas.At(x, y - 1) == kClear) ||
                                  (y < r.y + r.h - 1 && canvas.At(x, y + 1) == kClear);
                if (edge && art_test::Luminance(palette[index]) >= 64) {
                    if (++light <= 5) ADD_FAILURE() << "light edge pixel at " << x << "," << y;
                }
            }
        EXPECT_EQ(light, 0);
    }
}

}  // namespace
