// The palette operations and fades, seen through WorkingPalette, the palette that reached the
// platform (its SetEntries calls and contents) and the virtual clock.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "display.h"
#include "host_headless.h"
#include "display_support.h"
#include "trace_support.h"
#include "trace.h"

using namespace testing_support;

namespace {

// A master palette where every entry differs: red i, green 255 - i, blue 128, flags 1.
void FillMaster() {
    for (int i = 0; i < 256; ++i) {
        MasterPalette[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 128, PC_RESERVED};
    }
}

bool Same(const PALETTEENTRY& a, const PALETTEENTRY& b) {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue &&
           a.peFlags == b.peFlags;
}

class PaletteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OpenDisplay(1);
        FillMaster();
        platform::ClearTrace();
    }
    void TearDown() override { display.Shutdown(); }
};

}  // namespace

struct ClampCase {
    BYTE component;
    int offset;
    BYTE expected;
};

class BrightnessClamp : public ::testing::TestWithParam<ClampCase> {};

TEST_P(BrightnessClamp, OffsetIsAddedAndHeldToTheByteRange) {
    const ClampCase& c = GetParam();
    OpenDisplay(1);
    MasterPalette[7] = {c.component, c.component, c.component, 0};
    WorkingPalette[7] = {9, 9, 9, 9};
    display.SetEntryBrightness(7, c.offset);
    EXPECT_EQ(WorkingPalette[7].peRed, c.expected);
    EXPECT_EQ(WorkingPalette[7].peGreen, c.expected);
    EXPECT_EQ(WorkingPalette[7].peBlue, c.expected);
    // Every computed entry carries flags 1, whatever the master's flags.
    EXPECT_EQ(WorkingPalette[7].peFlags, PC_RESERVED);
    display.Shutdown();
}

INSTANTIATE_TEST_SUITE_P(Components, BrightnessClamp,
                         ::testing::Values(ClampCase{250, 10, 255}, ClampCase{5, -10, 0},
                                           ClampCase{100, 300, 255}, ClampCase{100, 50, 150},
                                           ClampCase{100, -50, 50}, ClampCase{255, -255, 0},
                                           ClampCase{0, 255, 255}, ClampCase{1, 253, 254},
                                           ClampCase{10, -9, 1}, ClampCase{200, -2147483647, 0},
                                           ClampCase{200, 2147483647, 255}));

TEST_F(PaletteTest, OffsetZeroCopiesTheMasterEntryFlagsIncluded) {
    MasterPalette[3] = {10, 20, 30, 0x42};
    display.SetRangeBrightness(0, 255, -40);
    display.SetRangeBrightness(0, 255, 0);
    for (int i = 0; i < 256; ++i) {
        if (i == 1) continue;
        EXPECT_TRUE(Same(WorkingPalette[i], MasterPalette[i])) << i;
    }
}

TEST_F(PaletteTest, FullDarkeningBlackensEveryEntryButOne) {
    WorkingPalette[1] = {1, 2, 3, 4};
    display.SetRangeBrightness(0, 255, -255);
    for (int i = 0; i < 256; ++i) {
        if (i == 1) continue;
        EXPECT_TRUE(Same(WorkingPalette[i], {0, 0, 0, PC_RESERVED})) << i;
    }
    EXPECT_TRUE(Same(WorkingPalette[1], {1, 2, 3, 4}));
    EXPECT_EQ(TraceCount("SetEntries"), 1);
}

TEST_F(PaletteTest, RangeTouchesOnlyItsEntries) {
    for (int i = 0; i < 256; ++i) WorkingPalette[i] = {7, 7, 7, 7};
    display.SetRangeBrightness(16, 31, 20);
    for (int i = 0; i < 256; ++i) {
        if (i >= 16 && i <= 31) {
            EXPECT_EQ(WorkingPalette[i].peRed, i + 20) << i;
            EXPECT_EQ(WorkingPalette[i].peGreen, std::min(275 - i, 255)) << i;
            EXPECT_EQ(WorkingPalette[i].peBlue, 148) << i;
        } else {
            EXPECT_TRUE(Same(WorkingPalette[i], {7, 7, 7, 7})) << i;
        }
    }
    // first > last changes nothing but still hands over.
    display.SetRangeBrightness(40, 30, -100);
    EXPECT_TRUE(Same(WorkingPalette[35], {7, 7, 7, 7}));
    EXPECT_EQ(TraceCount("SetEntries 0 256"), 2);
}

// A range reaching outside 0..255 touches only the entries it shares with 0..255, as
// SetPaletteEntry ignores an index outside it; it never lands on entry 0 or 255 instead.
struct OutsideCase {
    int first, last;
    int lowest, highest;  // the entries changed; lowest > highest for none
};

class RangesOutsideThePalette : public ::testing::TestWithParam<OutsideCase> {};

TEST_P(RangesOutsideThePalette, ChangeOnlyTheEntriesInside) {
    const OutsideCase& c = GetParam();
    OpenDisplay(1);
    FillMaster();
    display.RestorePalette();
    platform::ClearTrace();
    if (c.first == c.last) {
        display.SetEntryBrightness(c.first, -255);
    } else {
        display.SetRangeBrightness(c.first, c.last, -255);
    }
    for (int i = 0; i < 256; ++i) {
        const bool inside = i >= c.lowest && i <= c.highest && i != 1;
        EXPECT_TRUE(
            Same(WorkingPalette[i], inside ? PALETTEENTRY{0, 0, 0, PC_RESERVED} : MasterPalette[i]))
            << i;
    }
    EXPECT_EQ(TraceCount("SetEntries 0 256"), 1);  // still handed over
    display.Shutdown();
}

INSTANTIATE_TEST_SUITE_P(Ranges, RangesOutsideThePalette,
                         ::testing::Values(OutsideCase{300, 300, 1, 0}, OutsideCase{-4, -4, 1, 0},
                                           OutsideCase{256, 400, 1, 0}, OutsideCase{-9, -1, 1, 0},
                                           OutsideCase{-5, 3, 0, 3},
                                           OutsideCase{250, 1000, 250, 255}));

TEST_F(PaletteTest, EntryOneIsNeverChangedButStillHandedOver) {
    WorkingPalette[1] = {1, 2, 3, 4};
    PALETTEENTRY before[256];
    std::copy(std::begin(WorkingPalette), std::end(WorkingPalette), before);
    display.SetEntryBrightness(1, 100);
    display.SetEntryBrightness(1, -100);
    display.SetEntryBrightness(1, 0);
    for (int i = 0; i < 256; ++i) EXPECT_TRUE(Same(WorkingPalette[i], before[i])) << i;
    EXPECT_EQ(TraceCount("SetEntries 0 256"), 3);
}

TEST_F(PaletteTest, SetPaletteEntryWritesBothPalettesAndHandsAllOver) {
    display.SetPaletteEntry(200, 11, 22, 33);
    EXPECT_TRUE(Same(MasterPalette[200], {11, 22, 33, PC_RESERVED}));
    EXPECT_TRUE(Same(WorkingPalette[200], {11, 22, 33, PC_RESERVED}));
    EXPECT_TRUE(Traced("SetEntries 0 256"));
    PALETTEENTRY shown[256];
    ASSERT_EQ(DisplayPalette->GetEntries(0, 0, 256, shown), DD_OK);
    EXPECT_TRUE(Same(shown[200], {11, 22, 33, PC_RESERVED}));
}

TEST_F(PaletteTest, RestorePaletteCopiesEveryEntryIncludingOne) {
    display.SetRangeBrightness(0, 255, 90);
    WorkingPalette[1] = {0, 0, 0, 0};
    display.RestorePalette();
    for (int i = 0; i < 256; ++i) EXPECT_TRUE(Same(WorkingPalette[i], MasterPalette[i])) << i;
}

TEST(PaletteHandOver, WindowedModeShiftsTheFirst236EntriesToTen) {
    OpenDisplay(0);
    FillMaster();
    PALETTEENTRY shownBefore[256];
    ASSERT_EQ(DisplayPalette->GetEntries(0, 0, 256, shownBefore), DD_OK);
    platform::ClearTrace();
    display.RestorePalette();
    EXPECT_EQ(platform::TraceLog(), std::vector<std::string>{"SetEntries 10 236"});
    PALETTEENTRY shown[256];
    ASSERT_EQ(DisplayPalette->GetEntries(0, 0, 256, shown), DD_OK);
    for (int i = 0; i < 236; ++i) EXPECT_TRUE(Same(shown[10 + i], WorkingPalette[i])) << i;
    for (int i : {0, 9, 246, 255}) EXPECT_TRUE(Same(shown[i], shownBefore[i])) << i;
    display.Shutdown();
}

namespace {

// Each new value of WorkingPalette[2] seen while a fade waits, with the time it was first seen.
// Entry 2 of the master has red 2 and green 253, so a full-screen offset v < 0 shows as
// green 253 + v (and 0 once v reaches -253).
std::vector<std::pair<std::uint64_t, int>> seenGreen;

void WatchEntryTwo() {
    seenGreen.clear();
    headless::SetIdleHook([] {
        int green = WorkingPalette[2].peGreen;
        if (seenGreen.empty() || seenGreen.back().second != green) {
            seenGreen.emplace_back(headless::Elapsed(), green);
        }
    });
}

}  // namespace

struct FadeCase {
    const char* name;
    int fullScreen;
    bool rising;
    int from, to, step;
    std::vector<int> offsets;  // the offsets of the steps, in order
};

class Fades : public ::testing::TestWithParam<FadeCase> {};

std::vector<int> Range(int from, int to, int stride) {
    std::vector<int> values;
    for (int v = from; stride > 0 ? v <= to : v >= to; v += stride) values.push_back(v);
    return values;
}

TEST_P(Fades, StepsEveryFrameAndEndsOnTo) {
    const FadeCase& c = GetParam();
    OpenDisplay(c.fullScreen);
    FillMaster();
    WatchEntryTwo();
    platform::ClearTrace();
    const std::uint64_t start = headless::Elapsed();
    if (c.rising) {
        display.FadeUp(c.from, c.to, c.step, 33);
    } else {
        display.FadeDown(c.from, c.to, c.step, 33);
    }
    const int steps = static_cast<int>(c.offsets.size());
    // One hand-over per step and one for the final offset, in the mode's form.
    EXPECT_EQ(TraceCount(c.fullScreen ? "SetEntries 0 256" : "SetEntries 10 236"), steps + 1);
    EXPECT_EQ(TraceCount("SetEntries"), steps + 1);
    EXPECT_EQ(headless::Elapsed() - start, 33u * steps);

    // What each frame showed: the step's offset on entry 2, at the frame's start.
    ASSERT_EQ(seenGreen.size(), c.offsets.size());
    for (int k = 0; k < steps; ++k) {
        EXPECT_EQ(seenGreen[k].first - start, 33u * k) << k;
        EXPECT_EQ(seenGreen[k].second, std::clamp(253 + c.offsets[k], 0, 255)) << k;
    }
    // Whatever the steps, the fade ends at exactly `to` on the whole palette.
    for (int i = 0; i < 256; ++i) {
        if (i == 1) continue;
        EXPECT_EQ(WorkingPalette[i].peGreen, std::clamp(255 - i + c.to, 0, 255)) << i;
    }
    display.Shutdown();
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Fades,
    ::testing::Values(FadeCase{"UpFullScreen", 1, true, -255, 0, 8, Range(-255, -7, 8)},
                      FadeCase{"UpWindowed", 0, true, -255, 0, 8, Range(-255, -31, 32)},
                      FadeCase{"DownFullScreen", 1, false, 0, -255, 8, Range(0, -248, -8)},
                      FadeCase{"DownWindowed", 0, false, 0, -255, 8, Range(0, -224, -32)},
                      FadeCase{"UpFromBeyondTo", 1, true, 10, 0, 8, {}},
                      FadeCase{"DownFromBeyondTo", 0, false, -10, 0, 8, {}},
                      FadeCase{"UpStepZero", 1, true, -255, 0, 0, {}},
                      FadeCase{"DownNegativeStep", 1, false, 0, -255, -8, {}}),
    [](const ::testing::TestParamInfo<FadeCase>& info) { return std::string(info.param.name); });

TEST(RangeFades, DarkenOnlyTheRangeThenEndOnTheWholePalette) {
    OpenDisplay(1);
    FillMaster();
    int framesOutsideChanged = 0, frames = 0;
    int lastRed16 = -1;
    headless::SetIdleHook([&] {
        for (int i : {0, 2, 15, 32, 255}) {
            framesOutsideChanged += !Same(WorkingPalette[i], MasterPalette[i]);
        }
        if (WorkingPalette[16].peRed != lastRed16) {
            lastRed16 = WorkingPalette[16].peRed;
            ++frames;
        }
    });
    display.RestorePalette();
    platform::ClearTrace();
    display.FadeRangeDown(0, -255, 16, 31, 8, 33);
    EXPECT_EQ(framesOutsideChanged, 0);
    EXPECT_EQ(frames, 3);  // red 16 goes 16, 8, 0 and stays there
    EXPECT_EQ(TraceCount("SetEntries 0 256"), 33);
    for (int i = 0; i < 256; ++i) {
        if (i == 1) continue;
        EXPECT_TRUE(Same(WorkingPalette[i], {0, 0, 0, PC_RESERVED})) << i;
    }
    display.Shutdown();
}

TEST(RangeFades, RisingRangeFadeEndsWithTheWholePaletteAtTo) {
    OpenDisplay(0);
    FillMaster();
    display.RestorePalette();
    platform::ClearTrace();
    const std::uint64_t start = headless::Elapsed();
    display.FadeRangeUp(-64, 16, 100, 110, 4, 20);
    // Windowed steps of 16: -64, -48, -32, -16, 0, 16.
    EXPECT_EQ(headless::Elapsed() - start, 6u * 20);
    EXPECT_EQ(TraceCount("SetEntries 10 236"), 7);
    for (int i = 0; i < 256; ++i) {
        if (i == 1) continue;
        EXPECT_EQ(WorkingPalette[i].peRed, std::min(i + 16, 255)) << i;
    }
    display.Shutdown();
}
