// The window procedure: the KeyTable, the Ctrl switch and the ways it ends the program.
#include <gtest/gtest.h>

#include "display.h"
#include "display_support.h"
#include "faults.h"
#include "host_headless.h"
#include "services.h"
#include "shell.h"
#include "trace.h"
#include "trace_support.h"
#include "window.h"

using namespace testing_support;
using headless::Elapsed;

namespace {
void Key(UINT message, WPARAM code) {
    WindowProc(MainWindow, message, code, 0);
}
}  // namespace

TEST(KeyTable, KeyDownSetsAndKeyUpClearsBelow200) {
    OpenGameWindow(CW_USEDEFAULT, 0, WindowProc);
    struct {
        WPARAM code;
        unsigned char afterUp;
    } cases[] = {{VK_RETURN, 0}, {VK_LEFT, 0}, {VK_DOWN, 0}, {199, 0}, {200, 1}, {255, 1}};
    for (auto c : cases) {
        Key(WM_KEYDOWN, c.code);
        EXPECT_EQ(KeyTable[c.code], 1) << c.code;
        Key(WM_KEYUP, c.code);
        EXPECT_EQ(KeyTable[c.code], c.afterUp) << c.code;
    }
    // Auto-repeat sets a consumed entry again.
    Key(WM_KEYDOWN, VK_UP);
    KeyTable[VK_UP] = 0;
    Key(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(KeyTable[VK_UP], 1);
}

TEST(KeyTable, SystemKeysNeverReachTheTable) {
    OpenGameWindow(CW_USEDEFAULT, 0, WindowProc);
    EXPECT_EQ(WindowProc(MainWindow, WM_SYSKEYDOWN, VK_RETURN, 0x20000000), 0);
    EXPECT_EQ(KeyTable[VK_RETURN], 0);
}

TEST(WaitSwitch, CtrlHeldDisablesWaiting) {
    OpenGameWindow(CW_USEDEFAULT, 0, WindowProc);
    Key(WM_KEYDOWN, VK_CONTROL);
    EXPECT_EQ(WaitEnabled, 0);
    EXPECT_EQ(KeyTable[VK_CONTROL], 1);
    Key(WM_KEYUP, VK_CONTROL);
    EXPECT_EQ(WaitEnabled, 1);
}

// Ctrl reaches the waits through the window procedure.
TEST(Waits, CtrlHeldEndsEveryWaitAfterOnePump) {
    OpenGameWindow(CW_USEDEFAULT, 0, WindowProc);
    headless::InjectEvent(0, {host::InputEvent::Kind::KeyDown, VK_CONTROL});
    const auto start = Elapsed();
    WaitMilliseconds(2000);
    EXPECT_EQ(Elapsed() - start, 1u);
    MarkFrameStart();
    WaitFrame(33);
    EXPECT_EQ(Elapsed() - start, 2u);
    headless::InjectEvent(Elapsed(), {host::InputEvent::Kind::KeyUp, VK_CONTROL});
    WaitMilliseconds(100);
    EXPECT_GE(Elapsed() - start, 100u);
}

TEST(Window, MoveUpdatesTheOriginAndCursorIsHidden) {
    OpenGameWindow(CW_USEDEFAULT, 0, WindowProc);
    EXPECT_EQ(WindowProc(MainWindow, WM_MOVE, 0, 0), 1);
    EXPECT_EQ(WindowProc(MainWindow, WM_SETCURSOR, 0, 0), 1);
    EXPECT_EQ(WindowProc(MainWindow, WM_DESTROY, 0, 0), 1);
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
}

TEST(WindowDeathTest, PauseAndCloseEndWithOneAndNoMessage) {
    EXPECT_EXIT(
        {
            OpenDisplay(1);
            Key(WM_KEYDOWN, VK_PAUSE);
        },
        ::testing::ExitedWithCode(1), "^$");
    EXPECT_EXIT(
        {
            OpenDisplay(1);
            WindowProc(MainWindow, WM_CLOSE, 0, 0);
        },
        ::testing::ExitedWithCode(1), "^$");
}

TEST(StartUp, UnregisterableClassReturnsZeroWithoutAWindow) {
    platform::SetFailingCalls("RegisterClassA");
    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT), 0);
    EXPECT_EQ(TraceCount("CreateWindowExA"), 0);
    EXPECT_EQ(TraceCount("DirectDrawCreate"), 0);
}

TEST(StartUpDeathTest, DisplayThatCannotStartShowsTheMessage) {
    EXPECT_EXIT(
        {
            platform::SetFailingCalls("CreateSurface");
            WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWDEFAULT);
        },
        ::testing::ExitedWithCode(1),
        "エラーが発生したらしい\\(\\^\\^;: DirectDrawを初期化出来ません\\(;;");
}
