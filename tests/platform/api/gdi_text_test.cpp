// GDI text: fonts, text colour and background mode, extents and drawing into a device
// context's pixels, with the colours of a palette in force.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "faults.h"
#include "gdi_internal.h"
#include "screen_support.h"
#include "text_engine.h"
#include "trace.h"

using namespace testing_support;

namespace {

constexpr int kWidth = 120;
constexpr int kHeight = 80;
constexpr int kGuard = 16;  // bytes around the target that must never change
constexpr std::uint8_t kPaper = 200;
constexpr std::uint8_t kGuardValue = 0xEE;

// Pixels of a device context inside a larger buffer, so that writes outside can be seen.
class Canvas {
  public:
    Canvas() : buffer_(static_cast<size_t>(kPitch) * (kHeight + 2 * kGuard), kGuardValue) {
        for (int y = 0; y < kHeight; ++y) std::memset(Row(y), kPaper, kWidth);
        dc_ = platform::CreateSurfaceDC({Row(0), kWidth, kHeight, kPitch});
    }
    ~Canvas() { platform::DestroySurfaceDC(dc_); }
    HDC dc() const { return dc_; }
    std::uint8_t At(int x, int y) { return Row(y)[x]; }
    // Every pixel of the target holding `value`.
    std::vector<std::pair<int, int>> Find(std::uint8_t value) {
        std::vector<std::pair<int, int>> found;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (At(x, y) == value) found.push_back({x, y});
        return found;
    }
    bool GuardIntact() {
        for (int y = -kGuard; y < kHeight + kGuard; ++y) {
            for (int x = -kGuard; x < kPitch - kGuard; ++x) {
                const bool inside = y >= 0 && y < kHeight && x >= 0 && x < kWidth;
                if (!inside && Row(y)[x] != kGuardValue) return false;
            }
        }
        return true;
    }

  private:
    static constexpr int kPitch = kWidth + 2 * kGuard;
    std::uint8_t* Row(int y) { return buffer_.data() + (y + kGuard) * kPitch + kGuard; }
    std::vector<std::uint8_t> buffer_;
    HDC dc_ = nullptr;
};

HFONT MakeFont(int height, const char* face = "DejaVu Sans", int escapement = 0,
               DWORD charSet = ANSI_CHARSET) {
    return CreateFontA(height, 0, escapement, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, face);
}

SIZE Extent(HDC dc, const std::string& text) {
    SIZE size{-1, -1};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size));
    return size;
}

class GdiText : public ::testing::Test {
  protected:
    void SetUp() override {
        // A palette in force: 3 black, 4 white, 5 red; the rest blue-ish and far from those.
        screen_ = OpenScreen();
        PALETTEENTRY colours[256];
        for (int i = 0; i < 256; ++i) colours[i] = {0, static_cast<BYTE>(i / 2), 200, 1};
        colours[3] = {0, 0, 0, 1};
        colours[4] = {255, 255, 255, 1};
        colours[5] = {255, 0, 0, 1};
        ASSERT_EQ(screen_.palette->SetEntries(0, 0, 256, colours), DD_OK);
        platform::ClearTrace();
    }
    void TearDown() override { CloseScreen(screen_); }
    Screen screen_;
};

}  // namespace

TEST_F(GdiText, ColourAndModeSettersReturnWhatWasThere) {
    Canvas canvas;
    EXPECT_EQ(SetTextColor(canvas.dc(), RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(SetTextColor(canvas.dc(), RGB(4, 5, 6)), RGB(1, 2, 3));
    EXPECT_EQ(SetBkMode(canvas.dc(), TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(canvas.dc(), 99), 0);
    EXPECT_EQ(SetBkMode(canvas.dc(), OPAQUE), TRANSPARENT);
    EXPECT_EQ(SetTextColor(reinterpret_cast<HDC>(&canvas), 0), CLR_INVALID);
    EXPECT_EQ(SetBkMode(reinterpret_cast<HDC>(&canvas), OPAQUE), 0);
}

TEST_F(GdiText, ExtentIsTheSumOfAdvancesAndTheCellHeight) {
    Canvas canvas;
    HFONT font = MakeFont(24);
    ASSERT_NE(font, nullptr);
    HGDIOBJ previous = SelectObject(canvas.dc(), font);
    ASSERT_NE(previous, nullptr);
    const SIZE a = Extent(canvas.dc(), "W"), b = Extent(canvas.dc(), "i");
    const SIZE ab = Extent(canvas.dc(), "Wi");
    EXPECT_EQ(ab.cx, a.cx + b.cx);
    EXPECT_GT(a.cx, b.cx);
    EXPECT_EQ(Extent(canvas.dc(), "").cx, 0);
    EXPECT_EQ(Extent(canvas.dc(), "").cy, a.cy);
    EXPECT_GE(a.cy, 24);  // a positive height asks for the cell
    // Only the first c bytes count.
    SIZE part{0, 0};
    ASSERT_TRUE(GetTextExtentPoint32A(canvas.dc(), "Wixyz", 1, &part));
    EXPECT_EQ(part.cx, a.cx);
    EXPECT_FALSE(GetTextExtentPoint32A(canvas.dc(), "W", -1, &part));

    // Back to the default font: a different (16-pixel) cell.
    EXPECT_EQ(SelectObject(canvas.dc(), previous), font);
    EXPECT_EQ(Extent(canvas.dc(), "W").cy, 16);
    EXPECT_TRUE(DeleteObject(font));
}

TEST_F(GdiText, ASelectedFontIsNotDeletedUntilDeselected) {
    Canvas canvas;
    HFONT font = MakeFont(12);
    HGDIOBJ previous = SelectObject(canvas.dc(), font);
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_EQ(platform::TraceLog().back().rfind("CreateFontA 12 ", 0), 0u);
    SelectObject(canvas.dc(), previous);
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_EQ(platform::TraceLog().back(), "DeleteFont");
    EXPECT_FALSE(DeleteObject(font));
}

TEST_F(GdiText, FailingCreateFontGivesNull) {
    platform::SetFailingCalls("CreateFontA");
    EXPECT_EQ(MakeFont(12), nullptr);
    platform::SetFailingCalls("");
    HFONT font = MakeFont(12);
    EXPECT_NE(font, nullptr);
    DeleteObject(font);
}

TEST_F(GdiText, AnUnknownFaceFallsBackToAFont) {
    HFONT font = MakeFont(12, "No Such Face At All");
    ASSERT_NE(font, nullptr);
    DeleteObject(font);
}

TEST_F(GdiText, TransparentTextWritesOnlyGlyphsInTheNearestIndex) {
    Canvas canvas;
    HFONT font = MakeFont(20);
    HGDIOBJ previous = SelectObject(canvas.dc(), font);
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), RGB(250, 10, 10));  // nearest: 5
    const SIZE size = Extent(canvas.dc(), "Hex");
    ASSERT_TRUE(TextOutA(canvas.dc(), 10, 12, "Hex", 3));
    auto ink = canvas.Find(5);
    ASSERT_FALSE(ink.empty());
    for (auto [x, y] : ink) {
        EXPECT_TRUE(x >= 10 && x < 10 + size.cx && y >= 12 && y < 12 + size.cy) << x << "," << y;
    }
    // No grey levels: every other pixel kept its value.
    EXPECT_EQ(canvas.Find(kPaper).size() + ink.size(), static_cast<size_t>(kWidth * kHeight));
    SelectObject(canvas.dc(), previous);
    DeleteObject(font);
}

TEST_F(GdiText, OpaqueModeFillsTheCellWithTheBackground) {
    Canvas canvas;  // default mode: opaque, black on white
    const SIZE size = Extent(canvas.dc(), "Ok");
    ASSERT_TRUE(TextOutA(canvas.dc(), 30, 20, "Ok", 2));
    auto ink = canvas.Find(3), paper = canvas.Find(4);
    ASSERT_FALSE(ink.empty());
    EXPECT_EQ(ink.size() + paper.size(), static_cast<size_t>(size.cx * size.cy));
    for (const auto& set : {ink, paper}) {
        for (auto [x, y] : set) {
            EXPECT_TRUE(x >= 30 && x < 30 + size.cx && y >= 20 && y < 20 + size.cy)
                << x << "," << y;
        }
    }
}

TEST_F(GdiText, AnOpaqueCellNearTheEndsOfTheIntRangeDrawsNothing) {
    // Its corners lie beyond what an int holds; nothing of it is on the target.
    Canvas canvas;
    for (int escapement : {0, 450, 1800, 2700}) {
        HFONT font = MakeFont(40, "DejaVu Sans", escapement);
        HGDIOBJ previous = SelectObject(canvas.dc(), font);
        for (auto [x, y] : {std::pair{INT_MAX - 5, 10},
                            {10, INT_MAX - 5},
                            {INT_MIN + 5, 10},
                            {10, INT_MIN + 5},
                            {INT_MAX, INT_MAX},
                            {INT_MIN, INT_MIN}}) {
            ASSERT_TRUE(TextOutA(canvas.dc(), x, y, "MWMW", 4));
        }
        SelectObject(canvas.dc(), previous);
        DeleteObject(font);
    }
    EXPECT_EQ(canvas.Find(kPaper).size(), static_cast<size_t>(kWidth * kHeight));
    EXPECT_TRUE(canvas.GuardIntact());
}

TEST_F(GdiText, AFontAskedForAgainIsNotBuiltAgainAndDrawsTheSame) {
    const unsigned long before = platform::text::FontsBuilt();
    std::vector<std::vector<std::pair<int, int>>> inks;
    for (int i = 0; i < 3; ++i) {
        Canvas canvas;
        HFONT font = MakeFont(29, "DejaVu Sans", 123);
        HGDIOBJ previous = SelectObject(canvas.dc(), font);
        ASSERT_TRUE(TextOutA(canvas.dc(), 10, 30, "Kept", 4));
        inks.push_back(canvas.Find(3));
        SelectObject(canvas.dc(), previous);
        DeleteObject(font);
    }
    EXPECT_EQ(platform::text::FontsBuilt() - before, 1u);
    ASSERT_FALSE(inks[0].empty());
    EXPECT_EQ(inks[0], inks[2]);
}

TEST_F(GdiText, TextIsClippedToTheTarget) {
    Canvas canvas;
    HFONT font = MakeFont(40);
    HGDIOBJ previous = SelectObject(canvas.dc(), font);
    for (auto [x, y] : {std::pair{-25, -20}, std::pair{kWidth - 20, kHeight - 15},
                        std::pair{-500, 10}, std::pair{10, 5000}}) {
        ASSERT_TRUE(TextOutA(canvas.dc(), x, y, "MWMW", 4));
    }
    EXPECT_TRUE(canvas.GuardIntact());
    EXPECT_FALSE(canvas.Find(3).empty());
    SelectObject(canvas.dc(), previous);
    DeleteObject(font);
}

TEST_F(GdiText, EscapementTurnsTheBaselineCounterClockwise) {
    Canvas canvas;
    HFONT font = MakeFont(16, "DejaVu Sans", 900);
    HGDIOBJ previous = SelectObject(canvas.dc(), font);
    SetBkMode(canvas.dc(), TRANSPARENT);
    const SIZE size = Extent(canvas.dc(), "HHHH");
    ASSERT_TRUE(TextOutA(canvas.dc(), 20, 70, "HHHH", 4));
    auto ink = canvas.Find(3);
    ASSERT_FALSE(ink.empty());
    int left = kWidth, right = -1, top = kHeight, bottom = -1;
    for (auto [x, y] : ink) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
    }
    // The line runs upwards from (20, 70), its cell lying to the right of x 20.
    EXPECT_GE(left, 20);
    EXPECT_LT(right, 20 + size.cy);
    EXPECT_LT(bottom, 70);
    EXPECT_GT(70 - top, size.cx * 3 / 4);
    EXPECT_GT(bottom - top, right - left);
    SelectObject(canvas.dc(), previous);
    DeleteObject(font);
}

TEST_F(GdiText, JapaneseTextDrawsItsOwnGlyphs) {
    // "日" and "本" in code page 932, drawn alone; a missing glyph would give two equal boxes.
    Canvas canvas;
    HFONT font = MakeFont(24, "", 0, SHIFTJIS_CHARSET);
    HGDIOBJ previous = SelectObject(canvas.dc(), font);
    SetBkMode(canvas.dc(), TRANSPARENT);
    const SIZE size = Extent(canvas.dc(), "\x93\xfa");
    EXPECT_GE(size.cx, 16);  // a full-width character
    EXPECT_EQ(Extent(canvas.dc(), "\x93\xfa\x96\x7b").cx, 2 * size.cx);
    TextOutA(canvas.dc(), 0, 0, "\x93\xfa", 2);
    TextOutA(canvas.dc(), 0, 40, "\x96\x7b", 2);
    std::vector<std::pair<int, int>> first, second;
    for (auto [x, y] : canvas.Find(3))
        (y < 40 ? first : second).push_back({x, y - (y < 40 ? 0 : 40)});
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    SelectObject(canvas.dc(), previous);
    DeleteObject(font);
}

TEST_F(GdiText, MemoryContextMeasuresButHasNoPixels) {
    HDC dc = CreateCompatibleDC(nullptr);
    SIZE size{0, 0};
    EXPECT_TRUE(GetTextExtentPoint32A(dc, "abc", 3, &size));
    EXPECT_GT(size.cx, 0);
    EXPECT_TRUE(TextOutA(dc, 0, 0, "abc", 3));
    EXPECT_FALSE(TextOutA(dc, 0, 0, "abc", -1));
    DeleteDC(dc);
    EXPECT_FALSE(TextOutA(dc, 0, 0, "abc", 3));
}
