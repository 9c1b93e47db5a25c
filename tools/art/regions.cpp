#include "regions.h"

namespace art {

namespace {

// The digits go through a work surface opaque and from there onto the screen with the key, so
// they count as keyed.
constexpr Region kRegions[] = {
    {"logo.bmp", "logo", {0, 0, 320, 240}, false},

    {"title.bmp", "background tile", {240, 160, 80, 80}, false},
    {"title.bmp", "title", {0, 16, 320, 115}, true},
    {"title.bmp", "menu item START", {0, 144, 156, 20}, true},
    {"title.bmp", "menu item QUIT", {0, 176, 156, 20}, true},
    {"title.bmp", "cursor", {208, 144, 20, 20}, true},

    {"game0.bmp", "target right", {kTargetX[0], 0, kTargetWidth[0], kTargetHeight}, true},
    {"game0.bmp", "target up", {kTargetX[1], 0, kTargetWidth[1], kTargetHeight}, true},
    {"game0.bmp", "target left", {kTargetX[2], 0, kTargetWidth[2], kTargetHeight}, true},
    {"game0.bmp", "target down", {kTargetX[3], 0, kTargetWidth[3], kTargetHeight}, true},
    {"game0.bmp", "hit right", {kTargetX[0], kTargetHitY, kTargetWidth[0], kTargetHeight}, true},
    {"game0.bmp", "hit up", {kTargetX[1], kTargetHitY, kTargetWidth[1], kTargetHeight}, true},
    {"game0.bmp", "hit left", {kTargetX[2], kTargetHitY, kTargetWidth[2], kTargetHeight}, true},
    {"game0.bmp", "hit down", {kTargetX[3], kTargetHitY, kTargetWidth[3], kTargetHeight}, true},
    {"game0.bmp", "countdown 3", {0, 176, 35, 48}, true},
    {"game0.bmp", "countdown 2", {48, 176, 35, 48}, true},
    {"game0.bmp", "countdown 1", {96, 176, 32, 48}, true},
    {"game0.bmp", "countdown word", {144, 176, 128, 48}, true},

    {"game1.bmp", "digit 0", {0, 0, 19, 19}, true},
    {"game1.bmp", "digit 1", {19, 0, 19, 19}, true},
    {"game1.bmp", "digit 2", {38, 0, 19, 19}, true},
    {"game1.bmp", "digit 3", {57, 0, 19, 19}, true},
    {"game1.bmp", "digit 4", {76, 0, 19, 19}, true},
    {"game1.bmp", "digit 5", {95, 0, 19, 19}, true},
    {"game1.bmp", "digit 6", {114, 0, 19, 19}, true},
    {"game1.bmp", "digit 7", {133, 0, 19, 19}, true},
    {"game1.bmp", "digit 8", {152, 0, 19, 19}, true},
    {"game1.bmp", "digit 9", {171, 0, 19, 19}, true},
    {"game1.bmp", "score panel", {0, 19, 95, 38}, true},
    {"game1.bmp", "rating 100 and more", {0, 57, 133, 19}, true},
    {"game1.bmp", "rating 50 to 99", {0, 76, 133, 19}, true},
    {"game1.bmp", "rating under 50", {0, 95, 133, 19}, true},
    {"game1.bmp", "background tile", {240, 160, 80, 80}, false},
};

}  // namespace

std::span<const Region> Regions() {
    return kRegions;
}

}  // namespace art
