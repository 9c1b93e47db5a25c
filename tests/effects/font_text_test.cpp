// Text onto a slot: the font's life, centring, the shadow and the windowed offset, seen through
// the text calls that reached the platform and the slot's pixels.
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "display.h"
#include "faults.h"
#include "display_support.h"
#include "trace_support.h"
#include "trace.h"

using namespace testing_support;

namespace {

constexpr int kSlot = 3;
constexpr const char* kFace = "DejaVu Sans";
constexpr int kHeight = 20;
constexpr unsigned char kBackground = 200;
const COLORREF kTextColour = RGB(255, 255, 0);

// A palette with distinct colours: entry 0 (the shadow colour) dark blue-grey, 5 yellow,
// 200 mid grey, the rest far from all three.
void LoadPalette() {
    for (int i = 0; i < 256; ++i) MasterPalette[i] = {static_cast<BYTE>(i), 0, 255, PC_RESERVED};
    MasterPalette[0] = {10, 20, 30, PC_RESERVED};
    MasterPalette[5] = {255, 255, 0, PC_RESERVED};
    MasterPalette[200] = {128, 128, 128, PC_RESERVED};
    display.RestorePalette();
}

void Fill(int slot, unsigned char value) {
    for (int y = 0; y < 240; ++y)
        std::memset(SurfaceMemory[slot] + y * SurfacePitch[slot], value, 320);
}

std::set<std::pair<int, int>> PixelsOf(int slot, unsigned char value) {
    std::set<std::pair<int, int>> found;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (SlotPixel(slot, x, y) == value) found.insert({x, y});
    return found;
}

// The extent GDI gives `text` in the test's font.
SIZE Extent(const std::string& text) {
    HFONT font = CreateFontA(kHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, kFace);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    return size;
}

// A text of exactly `width` pixels in the test's font, made of at most two kinds of letters.
std::string TextOfWidth(int width) {
    const std::string letters = "ilMmWo.";
    std::vector<int> advance;
    for (char letter : letters) advance.push_back(Extent(std::string(1, letter)).cx);
    for (size_t a = 0; a < letters.size(); ++a) {
        for (size_t b = 0; b < letters.size(); ++b) {
            for (int m = 1; m * advance[a] <= width; ++m) {
                const int rest = width - m * advance[a];
                if (advance[b] <= 0 || rest % advance[b] != 0) continue;
                std::string text =
                    std::string(m, letters[a]) + std::string(rest / advance[b], letters[b]);
                if (Extent(text).cx == width) return text;
            }
        }
    }
    return "";
}

void Draw(int x, int y, int centreX, int centreY, const char* text, int shadow, int slot = kSlot) {
    display.DrawFontText(x, y, centreX, centreY, text, kHeight, 0, FW_NORMAL, shadow, kTextColour,
                         0, kFace, ANSI_CHARSET, slot, 0);
}

std::string TextOut(int x, int y, const std::string& text) {
    return "TextOutA " + std::to_string(x) + " " + std::to_string(y) + " " +
           std::to_string(text.size());
}

class FontTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OpenDisplay(1);
        LoadPalette();
        Fill(kSlot, kBackground);
        platform::ClearTrace();
    }
    void TearDown() override { display.Shutdown(); }
};

}  // namespace

TEST_F(FontTextTest, CentresOnTheMeasuredExtent) {
    // 160 − 51 ÷ 2 and 160 − 50 ÷ 2 are both 135: the halving truncates.
    for (int width : {51, 50}) {
        const std::string text = TextOfWidth(width);
        ASSERT_FALSE(text.empty()) << width;
        platform::ClearTrace();
        Draw(-1, 30, 160, 0, text.c_str(), 0);
        EXPECT_TRUE(Traced(TextOut(135, 30, text))) << width;
    }
    // Vertically on the extent's height, not on the font's height argument.
    const std::string text = "Ag";
    const SIZE size = Extent(text);
    platform::ClearTrace();
    Draw(40, -1, 0, 100, text.c_str(), 0);
    EXPECT_TRUE(Traced(TextOut(40, 100 - size.cy / 2, text)));
}

TEST_F(FontTextTest, MinusOneIsAMarkerOtherNegativesArePositions) {
    Draw(-2, -5, 160, 120, "Hi", 0);
    EXPECT_TRUE(Traced(TextOut(-2, -5, "Hi")));
}

TEST_F(FontTextTest, TextLandsInTheTextColourInsideItsExtent) {
    const SIZE size = Extent("Tavlo");
    Draw(100, 50, 0, 0, "Tavlo", 0);
    auto text = PixelsOf(kSlot, 5);
    ASSERT_FALSE(text.empty());
    for (auto [x, y] : text) {
        EXPECT_TRUE(x >= 100 && x < 100 + size.cx && y >= 50 && y < 50 + size.cy) << x << "," << y;
    }
    // Transparent background: everything else kept its value.
    EXPECT_EQ(PixelsOf(kSlot, kBackground).size() + text.size(), 320u * 240u);
}

class Shadows : public FontTextTest, public ::testing::WithParamInterface<int> {};

TEST_P(Shadows, ShadowInEntryZerosColourOffsetBehindTheText) {
    const int shadow = GetParam();
    Fill(4, kBackground);
    Draw(100, 100, 0, 0, "Wave", 0, 4);
    const auto glyphs = PixelsOf(4, 5);
    ASSERT_FALSE(glyphs.empty());
    platform::ClearTrace();

    Draw(100, 100, 0, 0, "Wave", shadow);
    // The shadow first, then the text on top.
    ASSERT_EQ(TraceCount("TextOutA"), 2);
    EXPECT_EQ(platform::TraceLog()[1], TextOut(100 + shadow, 100 + shadow, "Wave"));
    EXPECT_EQ(platform::TraceLog()[2], TextOut(100, 100, "Wave"));
    EXPECT_EQ(PixelsOf(kSlot, 5), glyphs);
    std::set<std::pair<int, int>> expectedShadow;
    for (auto [x, y] : glyphs) {
        if (!glyphs.count({x + shadow, y + shadow}))
            expectedShadow.insert({x + shadow, y + shadow});
    }
    EXPECT_EQ(PixelsOf(kSlot, 0), expectedShadow);
}

INSTANTIATE_TEST_SUITE_P(Offsets, Shadows, ::testing::Values(2, -2));

TEST_F(FontTextTest, EmptyTextStillMakesAndDropsTheFontAndTheDeviceContext) {
    Draw(10, 10, 0, 0, "", 2);
    EXPECT_EQ(TraceCount("CreateFontA"), 1);
    EXPECT_EQ(TraceCount("TextOutA"), 2);
    EXPECT_TRUE(Traced(TextOut(12, 12, "")));
    EXPECT_EQ(platform::TraceLog().back(), "DeleteFont");
    // The device context went back: the surface hands out a new one.
    HDC dc = nullptr;
    ASSERT_EQ(SurfaceTable[kSlot]->GetDC(&dc), DD_OK);
    SurfaceTable[kSlot]->ReleaseDC(dc);
    EXPECT_EQ(PixelsOf(kSlot, kBackground).size(), 320u * 240u);
}

TEST_F(FontTextTest, WithoutADeviceContextNothingIsDrawnAndTheFontGoes) {
    platform::SetFailingCalls("GetDC");
    Draw(10, 10, 0, 0, "abc", 2);
    platform::SetFailingCalls("");
    EXPECT_EQ(TraceCount("CreateFontA"), 1);
    EXPECT_EQ(TraceCount("TextOutA"), 0);
    EXPECT_EQ(TraceCount("DeleteFont"), 1);
    EXPECT_EQ(PixelsOf(kSlot, kBackground).size(), 320u * 240u);
}

TEST(FontTextDeathTest, NoFontEndsWithFont) {
    EXPECT_EXIT(
        {
            OpenDisplay(1);
            platform::SetFailingCalls("CreateFontA");
            Draw(10, 10, 0, 0, "abc", 0);
            std::exit(7);
        },
        ::testing::ExitedWithCode(1), "\\(\\^\\^;: font");
}

struct OffsetCase {
    int fullScreen;
    int slot;
    bool moved;
};

class ScreenOffset : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(ScreenOffset, OnlyWindowedSlotZeroIsMovedByTheWindowOrigin) {
    const OffsetCase& c = GetParam();
    OpenDisplay(c.fullScreen);
    LoadPalette();
    WindowOrigin = {100, 50};  // wherever the window stands; full screen must ignore it
    platform::ClearTrace();
    Draw(10, 20, 0, 0, "ab", 3, c.slot);
    const int ox = c.moved ? 100 : 0, oy = c.moved ? 50 : 0;
    EXPECT_TRUE(Traced(TextOut(13 + ox, 23 + oy, "ab")));
    EXPECT_TRUE(Traced(TextOut(10 + ox, 20 + oy, "ab")));
    display.Shutdown();
}

INSTANTIATE_TEST_SUITE_P(Modes, ScreenOffset,
                         ::testing::Values(OffsetCase{0, 0, true}, OffsetCase{0, 1, false},
                                           OffsetCase{0, 4, false}, OffsetCase{1, 0, false},
                                           OffsetCase{1, 4, false}));

TEST_F(FontTextTest, WriteTextIntoNoSurfaceDrawsNothing) {
    IDirectDrawSurface* kept = SurfaceTable[kSlot];
    SurfaceTable[kSlot] = nullptr;
    for (int slot : {kSlot, -1, kSurfaceSlots}) display.WriteText(slot, 20, 30, "Score");
    SurfaceTable[kSlot] = kept;
    EXPECT_EQ(TraceCount("TextOutA"), 0);
}

TEST_F(FontTextTest, WriteTextUsesTheDefaultFontAndColours) {
    // Default colours: black text on an opaque white cell.
    MasterPalette[7] = {0, 0, 0, PC_RESERVED};
    MasterPalette[9] = {255, 255, 255, PC_RESERVED};
    MasterPalette[0] = {1, 40, 40, PC_RESERVED};
    display.RestorePalette();
    display.WriteText(kSlot, 20, 30, "Score");
    EXPECT_TRUE(Traced(TextOut(20, 30, "Score")));
    EXPECT_EQ(TraceCount("CreateFontA"), 0);
    auto ink = PixelsOf(kSlot, 7);
    auto paper = PixelsOf(kSlot, 9);
    ASSERT_FALSE(ink.empty());
    ASSERT_FALSE(paper.empty());
    // The cell starts at (20, 30); nothing is drawn before it.
    for (const auto& set : {ink, paper})
        for (auto [x, y] : set) EXPECT_TRUE(x >= 20 && y >= 30) << x << "," << y;
    EXPECT_TRUE(paper.count({20, 30}));
}
