// The Display's set-up, presentation and tear-down, seen through the calls that reached the
// platform, the slots' pixels and the screen.
#include <climits>

#include <gtest/gtest.h>

#include "display.h"
#include "faults.h"
#include "host_headless.h"
#include "window.h"
#include "display_support.h"
#include "trace_support.h"

using namespace testing_support;

struct ModeCase {
    int fullScreen, width, height;
    const char* level;
    bool setsMode;
    int offscreen;
    bool clipper;
};

class DisplayModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(DisplayModes, AsksForTheRightLevelAndBuildsEverySlot) {
    const ModeCase& c = GetParam();
    OpenDisplayWindow();
    ASSERT_EQ(display.Initialize(MainWindow, c.width, c.height, c.fullScreen), 1);
    EXPECT_TRUE(Traced(std::string("SetCooperativeLevel ") + c.level));
    EXPECT_EQ(TraceCount("SetDisplayMode"), c.setsMode ? 1 : 0);
    EXPECT_EQ(TraceCount("CreateSurface offscreen " + std::to_string(c.width) + "x" +
                         std::to_string(c.height)),
              c.offscreen);
    EXPECT_EQ(TraceCount("CreateSurface primary backbuffers=1"), c.fullScreen ? 1 : 0);
    EXPECT_EQ(TraceCount("GetAttachedSurface backbuffer"), c.fullScreen ? 1 : 0);
    EXPECT_EQ(TraceCount("CreateClipper"), c.clipper ? 1 : 0);
    EXPECT_TRUE(Traced("CreatePalette 0x4"));
    EXPECT_EQ(TraceCount("SetPalette"), 1);
    EXPECT_EQ(TraceCount("SetColorKey"), 0);

    // Every slot exists, has recorded memory and holds index 0 everywhere in the display area.
    for (int slot = 0; slot < kSurfaceSlots; ++slot) {
        ASSERT_NE(SurfaceTable[slot], nullptr) << slot;
        ASSERT_NE(SurfaceMemory[slot], nullptr) << slot;
        ASSERT_GE(SurfacePitch[slot], c.width) << slot;
        int nonZero = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) nonZero += SlotPixel(slot, x, y) != 0;
        EXPECT_EQ(nonZero, 0) << slot;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, DisplayModes,
                         ::testing::Values(ModeCase{1, 320, 240, "0x51", true, 8, false},
                                           ModeCase{1, 640, 480, "0x11", true, 8, false},
                                           ModeCase{0, 320, 240, "0x8", false, 9, true}));

TEST(DisplayPresent, FlipShowsTheBackBufferAndTwoFlipsRestoreTheAddresses) {
    OpenDisplay(1);
    unsigned char* front = SurfaceMemory[0];
    unsigned char* back = SurfaceMemory[1];
    PaintPattern(1);

    display.Present();
    EXPECT_EQ(SurfaceMemory[0], back);
    EXPECT_EQ(SurfaceMemory[1], front);
    // The memory recorded for the back buffer before the flip is now what the screen shows.
    const auto& picture = headless::LastPicture();
    ASSERT_EQ(picture.width, 320);
    ASSERT_EQ(picture.height, 240);
    EXPECT_EQ(picture.cause, host::ScreenChange::Flip);
    EXPECT_EQ(picture.pixels[0], Pattern(0, 0));
    EXPECT_EQ(picture.pixels[239 * 320 + 319], Pattern(319, 239));
    EXPECT_EQ(picture.pixels[100 * 320 + 17], Pattern(17, 100));

    display.Present();
    EXPECT_EQ(SurfaceMemory[0], front);
    EXPECT_EQ(SurfaceMemory[1], back);
    EXPECT_EQ(headless::LastPicture().pixels[100 * 320 + 17], 0);
}

TEST(DisplayPresent, WindowedPresentationLandsAtTheWindowOrigin) {
    // A window whose play area starts at (100, 50) on the desktop.
    OpenDisplayWindow(100 - 1 - 2, 50 - 1 - 19 - 19 - 3);
    ASSERT_EQ(display.Initialize(MainWindow, 320, 240, 0), 1);
    EXPECT_EQ(WindowOrigin.x, 100);
    EXPECT_EQ(WindowOrigin.y, 50);
    PaintPattern(1);
    display.Present();

    for (auto [x, y] : {std::pair{0, 0}, {319, 239}, {5, 200}}) {
        EXPECT_EQ(SlotPixel(0, 100 + x, 50 + y), Pattern(x, y)) << x << "," << y;
    }
    // Just outside the play area the desktop is untouched.
    EXPECT_EQ(SlotPixel(0, 99, 50), 0);
    EXPECT_EQ(SlotPixel(0, 420, 50), 0);
    EXPECT_EQ(SlotPixel(0, 100, 290), 0);
    // The screen is the window's client area: exactly the presented picture.
    const auto& picture = headless::LastPicture();
    EXPECT_EQ(picture.width, 320);
    EXPECT_EQ(picture.height, 240);
    EXPECT_EQ(picture.pixels[10 * 320 + 10], Pattern(10, 10));
}

TEST(DisplayPresent, AScaledBlitFromEndToEndOfTheIntRangeShowsTheSourcesMiddle) {
    // Scaled down from 2^32 - 2 pixels, every visible pixel comes from the source's centre.
    OpenDisplay(0);
    PaintPattern(1);
    RECT destination{INT_MIN + 1, INT_MIN + 1, INT_MAX, INT_MAX};
    RECT source{0, 0, 320, 240};
    ASSERT_EQ(SurfaceTable[0]->Blt(&destination, SurfaceTable[1], &source, DDBLT_WAIT, nullptr),
              DD_OK);
    for (auto [x, y] : {std::pair{0, 0}, {319, 239}, {100, 7}}) {
        EXPECT_EQ(SlotPixel(0, WindowOrigin.x + x, WindowOrigin.y + y), Pattern(160, 120))
            << x << "," << y;
    }
    EXPECT_EQ(SlotPixel(0, WindowOrigin.x - 1, WindowOrigin.y), 0);  // the clipper's edge
}

TEST(DisplayWindowOrigin, StaysAtZeroInFullScreenWhereverTheWindowIs) {
    OpenDisplayWindow(200, 150);
    ASSERT_EQ(display.Initialize(MainWindow, 320, 240, 1), 1);
    display.UpdateWindowOrigin();
    EXPECT_EQ(WindowOrigin.x, 0);
    EXPECT_EQ(WindowOrigin.y, 0);
}

namespace {

// Leaves a pattern in the stack where the next call's locals will lie.
[[gnu::noinline]] void ScribbleOnTheStack() {
    volatile unsigned char junk[4096];
    for (auto& byte : junk) byte = 0x5A;
}

}  // namespace

TEST(DisplayWindowOrigin, WithoutAWindowRectangleStaysAtZero) {
    // The first WM_MOVE arrives inside CreateWindowExA, before MainWindow is known.
    OpenDisplay(0);
    const HWND window = MainWindow;
    MainWindow = nullptr;
    ScribbleOnTheStack();
    display.UpdateWindowOrigin();
    MainWindow = window;
    EXPECT_EQ(WindowOrigin.x, 0);
    EXPECT_EQ(WindowOrigin.y, 0);
}

TEST(DisplayPalette, WindowedScreenKeepsTheStaticColours) {
    OpenDisplay(0);
    PALETTEENTRY red[256];
    for (auto& e : red) e = {200, 10, 10, PC_RESERVED};
    DisplayPalette->SetEntries(0, 0, 256, red);
    display.Present();
    const auto& colours = headless::LastPicture().colours;
    EXPECT_EQ(colours[0].r, 0);      // black stays black
    EXPECT_EQ(colours[255].g, 255);  // white stays white
    EXPECT_EQ(colours[10].r, 200);   // the free entries follow the palette
    EXPECT_EQ(colours[245].r, 200);
}

// Every DirectDraw call Initialize examines can fail; each failure gives 0, and the Display can
// still be shut down without touching what does not exist.
struct FailureCase {
    const char* call;
    int fullScreen;
};

class DisplayFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(DisplayFailures, InitializeReturnsZeroAndShutdownIsSafe) {
    OpenDisplayWindow();
    platform::SetFailingCalls(GetParam().call);
    EXPECT_EQ(display.Initialize(MainWindow, 320, 240, GetParam().fullScreen), 0);
    display.Shutdown();
}

INSTANTIATE_TEST_SUITE_P(
    Calls, DisplayFailures,
    ::testing::Values(FailureCase{"DirectDrawCreate", 1}, FailureCase{"SetCooperativeLevel", 1},
                      FailureCase{"CreateSurface", 1}, FailureCase{"CreatePalette", 1},
                      FailureCase{"CreateClipper", 0}, FailureCase{"SetHWnd", 0},
                      FailureCase{"SetClipper", 0}, FailureCase{"CreateSurface", 0}));

TEST(DisplayFailuresDeathTest, DisplayModeThatCannotBeSetEndsQuietlyWithOne) {
    EXPECT_EXIT(
        {
            OpenDisplayWindow();
            platform::SetFailingCalls("SetDisplayMode");
            (void)display.Initialize(MainWindow, 320, 240, 1);
        },
        ::testing::ExitedWithCode(1), "^$");
}

TEST(DisplayMemory, FailedLockRecordsANullAddress) {
    OpenDisplay(1);
    platform::SetFailingCalls("Lock");
    display.GetSurfaceMemory(4);
    EXPECT_EQ(SurfaceMemory[4], nullptr);
    EXPECT_EQ(SurfacePitch[4], 0);
}
