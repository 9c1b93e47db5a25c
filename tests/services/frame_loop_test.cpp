// Frame timing on the virtual clock: every pass of the pump with an empty queue is one
// millisecond, so the waits' lengths can be checked exactly.
#include <cstdlib>
#include <set>

#include <gtest/gtest.h>
#include <mmsystem.h>

#include "host_headless.h"
#include "services.h"
#include "system.h"
#include "window.h"
#include "window_support.h"

using namespace testing_support;
using headless::Elapsed;

TEST(WaitFrame, EndsAtTheFramesDurationCountedFromItsStart) {
    OpenGameWindow();
    MarkFrameStart();
    const auto start = Elapsed();
    WaitMilliseconds(10);  // drawing that takes 10 ms counts against the frame
    WaitFrame(33);
    EXPECT_EQ(Elapsed() - start, 33u);
}

TEST(WaitFrame, OverrunFramePumpsOnceAndReturns) {
    OpenGameWindow();
    MarkFrameStart();
    WaitMilliseconds(50);
    const auto before = Elapsed();
    WaitFrame(16);
    EXPECT_EQ(Elapsed() - before, 1u);
}

TEST(WaitMilliseconds, CountsFromTheCallAndLeavesTheFrameStart) {
    OpenGameWindow();
    MarkFrameStart();
    const auto start = Elapsed();
    WaitMilliseconds(300);
    EXPECT_EQ(Elapsed() - start, 300u);
    WaitFrame(33);  // frame start is still where it was: already over
    EXPECT_EQ(Elapsed() - start, 301u);
}

TEST(Waits, EndAcrossTheClocksWrap) {
    platform::SetEnvironment("TAVLO_CLOCK_START", "4294967280");  // 16 ms before the wrap
    OpenGameWindow();
    EXPECT_EQ(timeGetTime(), 4294967280u);
    MarkFrameStart();
    WaitFrame(33);
    EXPECT_EQ(Elapsed(), 33u);
    EXPECT_EQ(timeGetTime(), 17u);
    WaitMilliseconds(900);
    EXPECT_EQ(Elapsed(), 933u);
}

TEST(WaitsDeathTest, QuitMessageEndsTheProcessWithOne) {
    EXPECT_EXIT(
        {
            OpenGameWindow();
            headless::InjectEvent(5, {host::InputEvent::Kind::Quit, 0});
            WaitMilliseconds(100);
            std::exit(7);
        },
        ::testing::ExitedWithCode(1), "^$");
}

TEST(FatalErrorDeathTest, ShowsTheCaptionAndEndsWithOne) {
    EXPECT_EXIT(FatalError("mem over"), ::testing::ExitedWithCode(1),
                "エラーが発生したらしい\\(\\^\\^;: mem over");
}

TEST(RandomRange, StaysInRangeAndReachesEveryValue) {
    std::srand(12345);
    std::set<int> seen;
    for (int i = 0; i < 1000; ++i) {
        int value = RandomRange(0, 3);
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 3);
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_EQ(RandomRange(5, 5), 5);
}
