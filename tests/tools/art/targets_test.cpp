// The player must see a hit at once: each target's hit look differs from its normal look in
// most of its pixels and is brighter.
#include <gtest/gtest.h>

#include "art_test_util.h"

namespace {

TEST(ArtTargets, HitLooksAreClearlyDifferentAndLitUp) {
    const art::Picture& game0 = art_test::PictureNamed("game0.bmp");
    const char* kinds[] = {"right", "up", "left", "down"};
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kinds[kind]);
        int differ = 0, area = 0;
        double normalLight = 0, hitLight = 0;
        int normalCount = 0, hitCount = 0;
        for (int y = 0; y < art::kTargetHeight; ++y)
            for (int x = 0; x < art::kTargetWidth[kind]; ++x) {
                const art::Index normal = game0.canvas.At(art::kTargetX[kind] + x, y);
                const art::Index hit =
                    game0.canvas.At(art::kTargetX[kind] + x, art::kTargetHitY + y);
                ++area;
                differ += normal != hit;
                if (normal != art::kClear)
                    normalLight += art_test::Luminance(game0.palette[normal]), ++normalCount;
                if (hit != art::kClear)
                    hitLight += art_test::Luminance(game0.palette[hit]), ++hitCount;
            }
        EXPECT_GE(differ * 2, area);
        ASSERT_GT(normalCount, 0);
        ASSERT_GT(hitCount, 0);
        EXPECT_GT(hitLight / hitCount, normalLight / normalCount + 25);
    }
}

}  // namespace
