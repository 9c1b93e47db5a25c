// The one 256-colour table every picture of the archive carries, built from shading ramps.
//
// Layout: 0 black (a cleared screen), 1 the transparent colour (magenta, found nowhere else),
// 2..15 the ink ramp (near-black outline colour up to white), then fifteen 16-step ramps, dark to
// light, at 16 + 16 * ramp. Every entry differs from every other, so a colour converted to the
// nearest palette entry always lands on the index it was drawn with.
#pragma once

#include <array>
#include <cstdint>

namespace art {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

using Palette = std::array<Rgb, 256>;

using Index = std::uint8_t;

inline constexpr Index kBlack = 0;
inline constexpr Index kClear = 1;  // the colour key: see-through wherever it is drawn with the key
inline constexpr Rgb kClearColour{255, 0, 255};

// The ink ramp: kInk(0) is the outline colour, kInk(13) white.
inline constexpr int kInkLevels = 14;
constexpr Index Ink(int level) {
    return static_cast<Index>(2 + (level < 0 ? 0 : level >= kInkLevels ? kInkLevels - 1 : level));
}

enum class Ramp {
    Red,
    Orange,
    Gold,
    Green,
    Teal,
    Blue,
    Violet,
    Pink,
    Brown,
    Sand,
    Slate,
    Night,
    Moss,
    Ember,
    Plum,
};
inline constexpr int kRampCount = 15;
inline constexpr int kRampLevels = 16;

// Palette index of `level` (0 darkest .. 15 lightest, clamped) of `ramp`.
constexpr Index Shade(Ramp ramp, int level) {
    const int clamped = level < 0 ? 0 : level >= kRampLevels ? kRampLevels - 1 : level;
    return static_cast<Index>(16 + kRampLevels * static_cast<int>(ramp) + clamped);
}

// The game's palette (the same for all four pictures, so that colours agree between screens and
// the picture shown with another picture's palette needs no conversion).
const Palette& GamePalette();

}  // namespace art
