// The rotation blit, seen through the slots' pixels.
#include <cstring>
#include <set>
#include <utility>

#include <gtest/gtest.h>

#include "display.h"
#include "faults.h"
#include "window.h"
#include "display_support.h"

using namespace testing_support;

namespace {

constexpr int kSrc = 2;
constexpr int kDst = 3;

void FillSlot(int slot, unsigned char value, int width = 320, int height = 240) {
    for (int y = 0; y < height; ++y) {
        std::memset(SurfaceMemory[slot] + y * SurfacePitch[slot], value, width);
    }
}

void Put(int slot, int x, int y, unsigned char value) {
    SurfaceMemory[slot][y * SurfacePitch[slot] + x] = value;
}

// Every pixel of the destination that is not `background`, as (x, y).
std::set<std::pair<int, int>> Written(int slot, unsigned char background, int width = 320,
                                      int height = 240) {
    std::set<std::pair<int, int>> written;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (SlotPixel(slot, x, y) != background) written.insert({x, y});
    return written;
}

class RotateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OpenDisplay(1);
        FillSlot(kSrc, 1);  // transparent everywhere until a test paints something
        FillSlot(kDst, 0);
    }
    void TearDown() override { display.Shutdown(); }
};

}  // namespace

TEST_F(RotateTest, CentrePixelLandsOnTheBoxCentreAtEveryAngle) {
    // A 9 × 7 source at (10, 20) whose only drawn pixel is its centre (4, 3).
    Put(kSrc, 14, 23, 77);
    for (int angle : {0, 1, 33, 45, 90, 180, 269, 270, 359, 360, -45, -720, 100000}) {
        FillSlot(kDst, 0);
        display.RotateBlit(100, 50, 10, 20, 9, 7, angle, kDst, kSrc);
        EXPECT_EQ(Written(kDst, 0), (std::set<std::pair<int, int>>{{104, 53}})) << angle;
        EXPECT_EQ(SlotPixel(kDst, 104, 53), 77) << angle;
    }
}

struct TurnCase {
    int angle;
    int i, j;          // source pixel in a 9 × 9 box, centre (4, 4)
    int landX, landY;  // where it lands, relative to the box
};

class QuarterTurns : public RotateTest, public ::testing::WithParamInterface<TurnCase> {};

TEST_P(QuarterTurns, PixelsOnTheCentreLinesTurnAboutTheCentre) {
    const TurnCase& c = GetParam();
    Put(kSrc, c.i, c.j, 42);
    display.RotateBlit(50, 60, 0, 0, 9, 9, c.angle, kDst, kSrc);
    EXPECT_EQ(Written(kDst, 0), (std::set<std::pair<int, int>>{{50 + c.landX, 60 + c.landY}}));
}

INSTANTIATE_TEST_SUITE_P(
    Angles, QuarterTurns,
    ::testing::Values(
        TurnCase{0, 7, 4, 7, 4},    // right of the centre stays (cos 0 is exact)
        TurnCase{90, 7, 4, 4, 1},   // right of the centre goes above it
        TurnCase{180, 1, 4, 7, 4},  // left of the centre goes to its right
        // Right of the centre goes to its left, but the game's pi lies a hair below pi: the
        // sine comes out a hair above 0 and the row is truncated to the one above.
        TurnCase{180, 7, 4, 1, 3},
        // The same quarter turn as 90, but -270 degrees lands a hair left of the centre
        // column.
        TurnCase{-270, 7, 4, 3, 1}, TurnCase{450, 7, 4, 4, 1}));

TEST_F(RotateTest, AngleZeroIsNotAnExactCopy) {
    // Each pixel of a 15 × 15 box on its own, so that its landing place can be seen.
    int displaced = 0;
    for (int j = 0; j < 15; ++j) {
        for (int i = 0; i < 15; ++i) {
            FillSlot(kSrc, 1);
            FillSlot(kDst, 0);
            Put(kSrc, 30 + i, 40 + j, 9);
            display.RotateBlit(100, 100, 30, 40, 15, 15, 0, kDst, kSrc);
            auto written = Written(kDst, 0);
            ASSERT_EQ(written.size(), 1u) << i << "," << j;
            auto [x, y] = *written.begin();
            // Truncation moves a pixel at most one column left and one row up of its place.
            const int ddx = x - (100 + i), ddy = y - (100 + j);
            EXPECT_TRUE((ddx == 0 || ddx == -1) && (ddy == 0 || ddy == -1))
                << i << "," << j << " -> " << ddx << "," << ddy;
            displaced += ddx != 0 || ddy != 0;
            // The centre and the pixels right of it on the centre row land exactly.
            if (j == 7 && i >= 7) {
                EXPECT_TRUE(ddx == 0 && ddy == 0) << i;
            }
        }
    }
    EXPECT_GT(displaced, 0);
}

TEST_F(RotateTest, ValueOneLeavesTheDestinationAlone) {
    PaintPattern(kDst);
    display.RotateBlit(0, 0, 0, 0, 320, 240, 17, kDst, kSrc);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) ASSERT_EQ(SlotPixel(kDst, x, y), Pattern(x, y)) << x << y;
}

TEST_F(RotateTest, WritesStayInsideTheDestinationSlot) {
    // A 100 × 100 box at (260, 180) turned by 30 degrees reaches well past the slot's right
    // and bottom edges, where a write would fall into the next row or past the memory's end.
    FillSlot(kSrc, 5);
    display.RotateBlit(260, 180, 0, 0, 100, 100, 30, kDst, kSrc);
    auto written = Written(kDst, 0);
    EXPECT_FALSE(written.empty());
    for (auto [x, y] : written) {
        ASSERT_GE(x, 240) << x << "," << y;
        ASSERT_GE(y, 160) << x << "," << y;
    }
    // The slot's last column and last row are still drawn.
    int lastColumn = 0, lastRow = 0;
    for (auto [x, y] : written) lastColumn += x == 319, lastRow += y == 239;
    EXPECT_GT(lastColumn, 0);
    EXPECT_GT(lastRow, 0);
}

TEST_F(RotateTest, AHugeBoxVisitsOnlyWhatTheSourceSlotHolds) {
    // 2^30 × 2^30 pixels would take hours to walk; only the slot's 320 × 240 can be read.
    // Unturned, the source pixels land where they are (truncation: at most one up and left),
    // also from a source point left of and above the slot.
    for (auto [srcX, srcY] : {std::pair{0, 0}, {-1000, -2000}}) {
        FillSlot(kSrc, 1);
        FillSlot(kDst, 0);
        Put(kSrc, 5, 7, 8);
        display.RotateBlit(srcX, srcY, srcX, srcY, 1 << 30, 1 << 30, 0, kDst, kSrc);
        auto written = Written(kDst, 0);
        ASSERT_EQ(written.size(), 1u) << srcX;
        auto [x, y] = *written.begin();
        EXPECT_TRUE(x >= 4 && x <= 5 && y >= 6 && y <= 7) << x << "," << y;
    }
}

TEST_F(RotateTest, ZeroWidthDrawsNothingButRefreshesBothSlots) {
    Put(kSrc, 0, 0, 8);
    unsigned char* dst = SurfaceMemory[kDst];
    unsigned char* src = SurfaceMemory[kSrc];
    SurfaceMemory[kDst] = nullptr;
    SurfaceMemory[kSrc] = nullptr;
    display.RotateBlit(0, 0, 0, 0, 0, 10, 0, kDst, kSrc);
    EXPECT_EQ(SurfaceMemory[kDst], dst);
    EXPECT_EQ(SurfaceMemory[kSrc], src);
    display.RotateBlit(0, 0, 0, 0, 10, 0, 0, kDst, kSrc);
    EXPECT_TRUE(Written(kDst, 0).empty());
}

TEST_F(RotateTest, SlotWithoutRecordedMemoryIsNeitherReadNorWritten) {
    FillSlot(kSrc, 6);
    platform::SetFailingCalls("Lock");
    display.RotateBlit(0, 0, 0, 0, 50, 50, 10, kDst, kSrc);
    EXPECT_EQ(SurfaceMemory[kDst], nullptr);
    platform::SetFailingCalls("");
    display.GetSurfaceMemory(kDst);
    display.GetSurfaceMemory(kSrc);
    EXPECT_TRUE(Written(kDst, 0).empty());
}

struct LimitCase {
    int dstX, dstY;
    bool drawn;
};

class FixedLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(FixedLimits, PixelsAt639Or479OrNegativeAreDropped) {
    // A 640 × 480 display, so that the fixed limits lie inside the slot.
    const LimitCase& c = GetParam();
    OpenDisplayWindow();
    ASSERT_EQ(display.Initialize(MainWindow, 640, 480, 1), 1);
    FillSlot(kSrc, 1, 640, 480);
    FillSlot(kDst, 0, 640, 480);
    Put(kSrc, 3, 3, 99);
    // One pixel, the centre of a 1 × 1 box: it lands on (dstX, dstY).
    display.RotateBlit(c.dstX, c.dstY, 3, 3, 1, 1, 0, kDst, kSrc);
    auto written = Written(kDst, 0, 640, 480);
    if (c.drawn) {
        EXPECT_EQ(written, (std::set<std::pair<int, int>>{{c.dstX, c.dstY}}));
    } else {
        EXPECT_TRUE(written.empty());
    }
    display.Shutdown();
}

INSTANTIATE_TEST_SUITE_P(Edges, FixedLimits,
                         ::testing::Values(LimitCase{638, 10, true}, LimitCase{639, 10, false},
                                           LimitCase{10, 478, true}, LimitCase{10, 479, false},
                                           LimitCase{0, 0, true}, LimitCase{-1, 10, false},
                                           LimitCase{10, -1, false}));
