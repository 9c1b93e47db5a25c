// Where the picture lands in windows and screens of every shape.
#include <gtest/gtest.h>

#include "sdl_scaling.h"

using sdl::Placement;
using sdl::PlacePicture;
using sdl::Rect;
using sdl::Scaling;

namespace {

struct Case {
    int outputWidth, outputHeight;
    int factor;
    Rect sharp;
    Rect smooth;
};

TEST(PlacePicture, KnownOutputs) {
    const Case cases[] = {
        {320, 240, 1, {0, 0, 320, 240}, {0, 0, 320, 240}},
        {960, 720, 3, {0, 0, 960, 720}, {0, 0, 960, 720}},
        {1920, 1080, 4, {320, 60, 1280, 960}, {240, 0, 1440, 1080}},
        {1280, 1024, 4, {0, 32, 1280, 960}, {0, 32, 1280, 960}},
        {1366, 768, 3, {203, 24, 960, 720}, {171, 0, 1024, 768}},
        {961, 721, 3, {0, 0, 960, 720}, {0, 0, 961, 720}},
        {959, 719, 2, {159, 119, 640, 480}, {0, 0, 958, 719}},
        {3840, 2160, 9, {480, 0, 2880, 2160}, {480, 0, 2880, 2160}},
        // Smaller than the picture: shown at 1×, its centre in view.
        {200, 100, 1, {-60, -70, 320, 240}, {-60, -70, 320, 240}},
        {639, 239, 1, {159, 0, 320, 240}, {159, 0, 320, 240}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.outputWidth) + "x" + std::to_string(c.outputHeight));
        const Placement sharp =
            PlacePicture(c.outputWidth, c.outputHeight, 320, 240, Scaling::Sharp);
        EXPECT_EQ(sharp.factor, c.factor);
        EXPECT_EQ(sharp.target, c.sharp);
        const Placement smooth =
            PlacePicture(c.outputWidth, c.outputHeight, 320, 240, Scaling::Smooth);
        EXPECT_EQ(smooth.factor, c.factor);
        EXPECT_EQ(smooth.stepWidth, 320 * c.factor);
        EXPECT_EQ(smooth.stepHeight, 240 * c.factor);
        EXPECT_EQ(smooth.target, c.smooth);
    }
}

// Every window size from tiny to large: whole factors at least 1, the shape kept, centred, and
// nothing bigger than the window unless the window is smaller than the picture itself.
TEST(PlacePicture, OddWindowSizesKeepShapeAndCentre) {
    for (int w = 100; w <= 2600; w += 37) {
        for (int h = 90; h <= 2000; h += 29) {
            for (Scaling scaling : {Scaling::Sharp, Scaling::Smooth}) {
                SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
                const Placement p = PlacePicture(w, h, 320, 240, scaling);
                const Rect& t = p.target;
                ASSERT_GE(p.factor, 1);
                ASSERT_GE(t.w, 320);
                ASSERT_GE(t.h, 240);
                // Centred: equal margins, give or take the odd pixel.
                ASSERT_LE(std::abs((w - t.w) - 2 * t.x), 1);
                ASSERT_LE(std::abs((h - t.h) - 2 * t.y), 1);
                if (w >= 320 && h >= 240) {
                    ASSERT_LE(t.w, w);
                    ASSERT_LE(t.h, h);
                }
                if (scaling == Scaling::Sharp) {
                    ASSERT_EQ(t.w, 320 * p.factor);
                    ASSERT_EQ(t.h, 240 * p.factor);
                    // The largest whole factor: one more would not fit.
                    if (w >= 320 && h >= 240) {
                        ASSERT_TRUE(320 * (p.factor + 1) > w || 240 * (p.factor + 1) > h);
                    }
                } else {
                    // 4:3 within a pixel's rounding, and one side filling the window.
                    ASSERT_LE(std::abs(t.w * 3 - t.h * 4), 4);
                    if (w >= 320 && h >= 240) {
                        ASSERT_TRUE(t.w == w || t.h == h);
                    }
                }
            }
        }
    }
}

TEST(PlacePicture, OtherPictureSizesUseTheirOwnShape) {
    // The game's windowed mode shows the window's client area, not 320×240.
    const Placement p = PlacePicture(1000, 1000, 330, 250, Scaling::Sharp);
    EXPECT_EQ(p.factor, 3);
    EXPECT_EQ(p.target, (Rect{5, 125, 990, 750}));
    EXPECT_EQ(PlacePicture(100, 100, 0, 0, Scaling::Sharp).target, Rect{});
}

}  // namespace
