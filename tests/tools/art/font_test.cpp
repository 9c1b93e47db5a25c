// Both typefaces cover their character set with distinct glyphs, and measure what they draw
// (the pictures centre their lettering by these widths).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "art/font.h"

namespace {

constexpr std::string_view kCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!?.-:/+";

std::string Pixels(const art::Mask& mask) {
    std::string bits;
    for (int y = 0; y < mask.Height(); ++y)
        for (int x = 0; x < mask.Width(); ++x) bits += mask.At(x, y) ? '#' : '.';
    return bits;
}

TEST(ArtFont, EveryCharacterHasItsOwnGlyphInBothFaces) {
    std::set<std::string> block, stroke;
    for (char ch : kCharacters) {
        SCOPED_TRACE(std::string(1, ch));
        const std::string text(1, ch);
        art::Mask a(24, 24);
        art::DrawBlockText(a, text, 2, 2, {.scale = 2, .smooth = true, .spacing = 1});
        EXPECT_FALSE(a.Empty());
        EXPECT_TRUE(block.insert(Pixels(a)).second) << "block glyph repeats another";
        art::Mask b(64, 64);
        art::DrawStrokeText(b, text, 4, 4, {.unitX = 8, .unitY = 8, .pen = 2.5, .spacing = 2});
        EXPECT_FALSE(b.Empty());
        EXPECT_TRUE(stroke.insert(Pixels(b)).second) << "stroke glyph repeats another";
    }
}

TEST(ArtFont, WidthsMatchTheInkedExtent) {
    // Texts whose first and last glyphs reach the edges of their cells.
    for (const char* text : {"TAVLO", "EXCELLENT", "SCORE", "TRY AGAIN", "GO"}) {
        SCOPED_TRACE(text);
        art::Mask block(320, 40);
        const art::BlockStyle style{.scale = 2, .smooth = false, .spacing = 1};
        art::DrawBlockText(block, text, 10, 5, style);
        const art::Mask::Box box = block.Bounds();
        EXPECT_EQ(box.x0, 10);
        EXPECT_EQ(box.x1 - box.x0, art::BlockTextWidth(text, style));
        EXPECT_EQ(box.y1 - box.y0, art::BlockTextHeight(style));

        art::Mask stroke(400, 80);
        const art::StrokeStyle pen{.unitX = 6, .unitY = 7, .pen = 3, .spacing = 3};
        art::DrawStrokeText(stroke, text, 10, 5, pen);
        const art::Mask::Box ink = stroke.Bounds();
        EXPECT_NEAR(ink.x0, 10, 1);
        EXPECT_NEAR(ink.x1 - ink.x0, art::StrokeTextWidth(text, pen), 1.5);
        EXPECT_NEAR(ink.y1 - ink.y0, art::StrokeTextHeight(pen), 1.5);
    }
}

}  // namespace
