// The text engine with the fonts installed on the build machine (DejaVu and the IPA Japanese
// faces): conversion, font choice, extents, and the pixels a drawing sets.
#include "text_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>
#include <utility>

namespace platform::text {
namespace {

// "エラー" in code page 932.
constexpr std::string_view kErrorSjis = "\x83\x47\x83\x89\x81\x5B";

struct Drawn {
    std::set<std::pair<int, int>> pixels;
    int calls = 0;
    int advance = 0;
    int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
};

Drawn DrawAt(const Font& font, int x, int y, std::string_view text,
             ClipRect clip = {-1000, -1000, 1000, 1000}) {
    Drawn d;
    d.advance = font.Draw(x, y, text, clip, [&](int px, int py) {
        ++d.calls;
        d.pixels.emplace(px, py);
        d.minX = std::min(d.minX, px);
        d.maxX = std::max(d.maxX, px);
        d.minY = std::min(d.minY, py);
        d.maxY = std::max(d.maxY, py);
    });
    return d;
}

std::unique_ptr<Font> Make(int height, std::string face = "DejaVu Sans", int weight = 400,
                           int charSet = 0, int escapement = 0, int width = 0,
                           bool italic = false) {
    FontRequest r;
    r.height = height;
    r.width = width;
    r.escapement = escapement;
    r.weight = weight;
    r.italic = italic;
    r.charSet = charSet;
    r.faceName = std::move(face);
    auto font = Font::Create(r);
    EXPECT_TRUE(font) << "no font for " << r.faceName;
    return font;
}

TEST(Cp932, ConvertsAndReplacesInvalidBytes) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {kErrorSjis, "エラー"},
        {"Score 12\\~", "Score 12\\~"},  // 0x5C and 0x7E stay ASCII
        {"\xB1\xDF", "ｱﾟ"},              // half-width katakana
        {"\x88\x9F", "亜"},              // first kanji of the table
        {"a\x80"
         "b",
         "a\xEF\xBF\xBD"
         "b"},                            // not a character
        {"\x83\x20z", "\xEF\xBF\xBD z"},  // lead byte with a bad second byte
        {"ok\x83", "ok\xEF\xBF\xBD"},     // cut off after a lead byte
        {std::string_view("a\0b", 3), std::string_view("a\0b", 3)},
        {"", ""},
    };
    for (auto [in, out] : cases) EXPECT_EQ(Cp932ToUtf8(in), out);
}

TEST(Font, ResolvesNamedMissingAndDefaultFaces) {
    auto serif = Make(16, "DejaVu Serif");
    ASSERT_TRUE(serif);
    EXPECT_EQ(serif->FamilyName(), "DejaVu Serif");

    auto missing = Make(16, "No Such Face At All");
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->FamilyName().empty());

    // A Japanese request with an unknown name still lands on a face that covers Japanese.
    auto japanese = Make(16, "\x82\x6C\x82\x72 Gothic", 400, kShiftJisCharset);
    ASSERT_TRUE(japanese);
    EXPECT_NE(japanese->FamilyName().find("IPA"), std::string::npos) << japanese->FamilyName();

    auto standard = Font::CreateDefault();
    ASSERT_TRUE(standard);
    EXPECT_EQ(standard->Metrics().height, kDefaultCellHeight);
    EXPECT_EQ(standard->Measure("").height, kDefaultCellHeight);
}

TEST(Font, ExtentsFollowHeightAndText) {
    for (int height : {8, 13, 16, 24, 40, -16, -30}) {
        SCOPED_TRACE(height);
        auto font = Make(height);
        ASSERT_TRUE(font);
        const FontMetrics& m = font->Metrics();
        EXPECT_EQ(m.ascent + m.descent, m.height);
        if (height > 0) {
            EXPECT_EQ(m.height, height);
        } else {
            EXPECT_GT(m.height, -height);  // the em is smaller than the cell
        }

        EXPECT_EQ(font->Measure(""), (TextExtent{0, m.height}));
        const int one = font->Measure("W").width;
        EXPECT_GT(one, 0);
        EXPECT_EQ(font->Measure("WWW").width, 3 * one);
        EXPECT_GT(font->Measure("WWW i").width, font->Measure("WWW").width);
        EXPECT_EQ(font->Measure("WWW").height, m.height);
    }
    EXPECT_GT(Make(40)->Measure("Tavlo").width, Make(16)->Measure("Tavlo").width);
    EXPECT_EQ(Make(0)->Metrics().height, kDefaultCellHeight);
}

TEST(Font, WidthRequestScalesHorizontally) {
    auto narrow = Make(20, "DejaVu Sans", 400, 0, 0, 4);
    auto wide = Make(20, "DejaVu Sans", 400, 0, 0, 16);
    ASSERT_TRUE(narrow && wide);
    EXPECT_EQ(narrow->Metrics().averageCharWidth, 4);
    EXPECT_EQ(wide->Metrics().averageCharWidth, 16);
    EXPECT_EQ(narrow->Metrics().height, wide->Metrics().height);
    EXPECT_GT(wide->Measure("abcdef").width, 3 * narrow->Measure("abcdef").width);
}

TEST(Draw, PixelsSitInTheCellBelowTheReferencePoint) {
    auto font = Make(24);
    ASSERT_TRUE(font);
    const FontMetrics& m = font->Metrics();
    const Drawn d = DrawAt(*font, 30, 50, "HH");
    ASSERT_GT(d.calls, 0);
    EXPECT_EQ(static_cast<size_t>(d.calls), d.pixels.size());  // each pixel once
    EXPECT_EQ(d.advance, font->Measure("HH").width);
    EXPECT_GE(d.minX, 30);
    EXPECT_LT(d.maxX, 30 + d.advance);
    EXPECT_GE(d.minY, 50);
    EXPECT_EQ(d.maxY, 50 + m.ascent - 1);  // H stands on the baseline

    // Moving the reference point moves the pixels, nothing else.
    const Drawn moved = DrawAt(*font, 33, 41, "HH");
    std::set<std::pair<int, int>> shifted;
    for (auto [x, y] : d.pixels) shifted.emplace(x + 3, y - 9);
    EXPECT_EQ(moved.pixels, shifted);
}

TEST(Draw, ClipKeepsPixelsInside) {
    auto font = Make(32);
    ASSERT_TRUE(font);
    const Drawn whole = DrawAt(*font, 0, 0, "Clip me");
    const ClipRect clip{10, 5, 40, 20};
    const Drawn part = DrawAt(*font, 0, 0, "Clip me", clip);
    std::set<std::pair<int, int>> expected;
    for (auto [x, y] : whole.pixels)
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            expected.emplace(x, y);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(part.pixels, expected);
    EXPECT_EQ(DrawAt(*font, 0, 0, "Clip me", ClipRect{5, 5, 5, 50}).calls, 0);
}

TEST(Draw, EscapementTurnsTheBaseline) {
    struct Case {
        int escapement;
        bool vertical;
    };
    for (Case c : {Case{0, false}, Case{900, true}, Case{1800, false}, Case{2700, true}}) {
        SCOPED_TRACE(c.escapement);
        auto font = Make(16, "DejaVu Sans", 400, 0, c.escapement);
        ASSERT_TRUE(font);
        const Drawn d = DrawAt(*font, 200, 200, "HHHHHH");
        ASSERT_GT(d.calls, 0);
        const int w = d.maxX - d.minX + 1, h = d.maxY - d.minY + 1;
        EXPECT_EQ(c.vertical, h > 3 * w) << w << "x" << h;
        EXPECT_EQ(font->Measure("HHHHHH"), Make(16)->Measure("HHHHHH"));
        if (c.escapement == 900) {
            // Upwards from the reference point, the glyphs' tops facing left.
            EXPECT_LE(d.maxY, 200);
            EXPECT_GE(d.minX, 200);
            EXPECT_LT(d.maxX, 200 + font->Metrics().height);
        }
    }
}

TEST(Draw, JapaneseTextDrawsWhateverFaceWasAskedFor) {
    // A face without kana would draw three equal missing-glyph boxes.
    for (auto [face, charSet] : {std::pair{"", kShiftJisCharset}, {"DejaVu Sans", 0}}) {
        SCOPED_TRACE(face);
        auto font = Make(16, face, 400, charSet);
        ASSERT_TRUE(font);
        std::set<std::set<std::pair<int, int>>> shapes;
        for (size_t i = 0; i < kErrorSjis.size(); i += 2) {
            const Drawn d = DrawAt(*font, 0, 0, kErrorSjis.substr(i, 2));
            EXPECT_GT(d.calls, 5);
            shapes.insert(d.pixels);
        }
        EXPECT_EQ(shapes.size(), 3u);
        EXPECT_GE(font->Measure(kErrorSjis).width, 3 * 8);
    }
    EXPECT_GT(DrawAt(*Font::CreateDefault(), 0, 0, kErrorSjis).calls, 20);
}

TEST(Draw, SynthesizedBoldAndItalic) {
    // The IPA faces come in one weight and no italic; DejaVu Sans has a real bold.
    for (const char* face : {"IPAGothic", "DejaVu Sans"}) {
        SCOPED_TRACE(face);
        auto regular = Make(20, face);
        auto bold = Make(20, face, 700);
        auto italic = Make(20, face, 400, 0, 0, 0, true);
        ASSERT_TRUE(regular && bold && italic);
        const Drawn r = DrawAt(*regular, 0, 0, "Ill");
        EXPECT_GT(DrawAt(*bold, 0, 0, "Ill").calls, r.calls * 5 / 4);
        const Drawn i = DrawAt(*italic, 0, 0, "Ill");
        EXPECT_NE(i.pixels, r.pixels);
        // Slanted: the top row reaches further right than the bottom row.
        auto rowMax = [](const Drawn& d, int y) {
            int best = INT_MIN;
            for (auto [x, py] : d.pixels)
                if (py == y) best = std::max(best, x);
            return best;
        };
        EXPECT_GT(rowMax(i, i.minY) - rowMax(i, i.maxY), rowMax(r, r.minY) - rowMax(r, r.maxY));
    }
}

}  // namespace
}  // namespace platform::text
