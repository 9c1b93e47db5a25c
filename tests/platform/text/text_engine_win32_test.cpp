// The Windows text engine under Wine, whose prefix has no fonts: the faces come from "fonts"
// beside the program (IPAGothic, IPAPGothic and DejaVu Sans here), found by their family names,
// Japanese ones too, and drawn.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "text_engine.h"

namespace platform::text {
namespace {

TEST(WindowsFonts, FacesBesideTheProgramAreFoundByTheirNames) {
    struct Case {
        const char* face;  // code page 932
        int charSet;
        const char* family;
    };
    const Case cases[] = {
        {"", kShiftJisCharset, "IPAGothic"},  // the default: a Japanese face, the first by file
        {"\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e", kShiftJisCharset,
         "IPAGothic"},  // "ＭＳ ゴシック", missing
        {"IPA P\x83\x53\x83\x56\x83\x62\x83\x4e", 0, "IPAPGothic"},  // "IPA Pゴシック"
        {"dejavu sans", kShiftJisCharset, "DejaVu Sans"},            // a named face beats Japanese
        {"No Such Face", 0, "IPAGothic"},
    };
    for (const Case& c : cases) {
        FontRequest request;
        request.height = 16;
        request.charSet = c.charSet;
        request.faceName = c.face;
        const auto font = Font::Create(request);
        ASSERT_TRUE(font) << c.family;
        EXPECT_EQ(font->FamilyName(), c.family) << Cp932ToUtf8(c.face);
    }
}

TEST(WindowsFonts, JapaneseTextIsDrawn) {
    // "日本語のテスト" in code page 932, in the Latin face (the kana and kanji come from a
    // Japanese one) and in the default one.
    const std::string_view text = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x58\x83\x67";
    for (const char* face : {"", "DejaVu Sans"}) {
        FontRequest request;
        request.height = 24;
        request.charSet = kShiftJisCharset;
        request.faceName = face;
        const auto font = Font::Create(request);
        ASSERT_TRUE(font);
        std::set<std::pair<int, int>> pixels;
        const int advance =
            font->Draw(0, 0, text, {0, 0, 400, 40}, [&](int x, int y) { pixels.emplace(x, y); });
        // Seven full-width characters, about an em each, and glyphs with strokes, not boxes.
        EXPECT_GE(advance, 7 * 18) << face;
        EXPECT_EQ(advance, font->Measure(text).width) << face;
        EXPECT_GT(pixels.size(), 7u * 30) << face;
        std::set<int> columns;
        for (auto [x, y] : pixels) columns.insert(x / 24);
        EXPECT_GE(columns.size(), 6u) << face;
    }
}

}  // namespace
}  // namespace platform::text
