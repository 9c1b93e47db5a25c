#include "display_support.h"

#include <cstring>

#include <gtest/gtest.h>

#include "display.h"
#include "test_resets.h"
#include "window.h"
#include "window_support.h"

namespace testing_support {
namespace {

// The Display's tables as a new process finds them. What they point to is the platform's, and
// goes with the platform's own reset right after.
void ForgetDisplay() {
    display.width = display.height = display.fullScreen = 0;
    DirectDrawObject = nullptr;
    for (int slot = 0; slot < kSurfaceSlots; ++slot) {
        SurfaceTable[slot] = nullptr;
        SurfaceMemory[slot] = nullptr;
        SurfacePitch[slot] = 0;
    }
    DisplayPalette = nullptr;
    DisplayClipper = nullptr;
    std::memset(MasterPalette, 0, sizeof MasterPalette);
    std::memset(WorkingPalette, 0, sizeof WorkingPalette);
    WindowOrigin = {0, 0};
}

// Window moves also go to the Display.
LRESULT CALLBACK DisplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOVE) {
        display.UpdateWindowOrigin();
        return 1;
    }
    return KeysWindowProc(window, message, wParam, lParam);
}

}  // namespace

HWND OpenDisplayWindow(int x, int y) {
    AddTestReset(ForgetDisplay);
    return OpenGameWindow(x, y, DisplayWindowProc);
}

void OpenDisplay(int fullScreen) {
    OpenDisplayWindow();
    ASSERT_EQ(display.Initialize(MainWindow, 320, 240, fullScreen), 1);
}

void UseGreyPalette() {
    PALETTEENTRY greys[256];
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<BYTE>(i);
        greys[i] = {level, level, level, 0};
    }
    ASSERT_EQ(DisplayPalette->SetEntries(0, 0, 256, greys), DD_OK);
}

unsigned char SlotPixel(int slot, int x, int y) {
    return SurfaceMemory[slot][y * SurfacePitch[slot] + x];
}

unsigned char Pattern(int x, int y) {
    return static_cast<unsigned char>((x * 7 + y * 13) & 0xFF);
}

void PaintPattern(int slot) {
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x)
            SurfaceMemory[slot][y * SurfacePitch[slot] + x] = Pattern(x, y);
    }
}

}  // namespace testing_support
