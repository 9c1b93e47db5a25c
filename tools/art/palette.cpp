#include "palette.h"

#include <stdexcept>

namespace art {
namespace {

struct Anchor {
    int level;
    Rgb colour;
};

// Piecewise-linear blend between anchors; the anchors lean cool in the shadows and warm in the
// highlights, which keeps each ramp from looking like a plain brightness scale.
template <std::size_t N>
void FillRamp(Palette& palette, int first, int levels, const std::array<Anchor, N>& anchors) {
    for (int level = 0; level < levels; ++level) {
        std::size_t seg = 0;
        while (seg + 2 < N && level > anchors[seg + 1].level) ++seg;
        const Anchor& a = anchors[seg];
        const Anchor& b = anchors[seg + 1];
        const int span = b.level - a.level;
        const int t = level - a.level;
        auto mix = [&](std::uint8_t from, std::uint8_t to) {
            const int value = from * (span - t) + to * t;
            return static_cast<std::uint8_t>((value + span / 2) / span);
        };
        palette[static_cast<std::size_t>(first + level)] = {
            mix(a.colour.r, b.colour.r), mix(a.colour.g, b.colour.g), mix(a.colour.b, b.colour.b)};
    }
}

using Ramp3 = std::array<Anchor, 3>;

constexpr Ramp3 Anchors(Rgb dark, Rgb mid, Rgb light) {
    return {Anchor{0, dark}, Anchor{8, mid}, Anchor{15, light}};
}

// Dark, middle and light colour of every ramp, in the order of `Ramp`.
constexpr std::array<Ramp3, kRampCount> kRamps = {
    Anchors({42, 6, 28}, {204, 38, 44}, {255, 220, 190}),     // Red
    Anchors({50, 14, 12}, {236, 118, 26}, {255, 240, 176}),   // Orange
    Anchors({54, 26, 14}, {238, 182, 32}, {255, 255, 214}),   // Gold
    Anchors({8, 30, 30}, {50, 168, 64}, {226, 255, 172}),     // Green
    Anchors({6, 22, 40}, {28, 156, 164}, {204, 255, 242}),    // Teal
    Anchors({12, 12, 50}, {46, 98, 222}, {204, 234, 255}),    // Blue
    Anchors({24, 8, 46}, {132, 62, 202}, {242, 214, 255}),    // Violet
    Anchors({42, 8, 34}, {222, 72, 150}, {255, 220, 238}),    // Pink
    Anchors({28, 12, 12}, {142, 82, 46}, {242, 212, 162}),    // Brown
    Anchors({62, 36, 32}, {212, 162, 112}, {255, 246, 224}),  // Sand
    Anchors({14, 16, 28}, {86, 102, 126}, {222, 232, 242}),   // Slate
    Anchors({8, 6, 20}, {42, 38, 94}, {152, 152, 222}),       // Night
    Anchors({10, 22, 12}, {92, 132, 42}, {232, 242, 172}),    // Moss
    Anchors({64, 8, 4}, {255, 122, 22}, {255, 255, 232}),     // Ember
    Anchors({18, 6, 26}, {92, 40, 102}, {232, 192, 232}),     // Plum
};

Palette Build() {
    Palette palette{};
    palette[kBlack] = {0, 0, 0};
    palette[kClear] = kClearColour;
    FillRamp(palette, Ink(0), kInkLevels,
             std::array<Anchor, 3>{Anchor{0, {20, 14, 30}}, Anchor{7, {116, 112, 138}},
                                   Anchor{13, {255, 255, 255}}});
    for (int ramp = 0; ramp < kRampCount; ++ramp)
        FillRamp(palette, Shade(static_cast<Ramp>(ramp), 0), kRampLevels,
                 kRamps[static_cast<std::size_t>(ramp)]);
    // Equal entries would let a nearest-colour conversion move pixels to another index.
    for (std::size_t i = 0; i < palette.size(); ++i)
        for (std::size_t j = i + 1; j < palette.size(); ++j)
            if (palette[i] == palette[j]) throw std::logic_error("palette entries collide");
    return palette;
}

}  // namespace

const Palette& GamePalette() {
    static const Palette palette = Build();
    return palette;
}

}  // namespace art
