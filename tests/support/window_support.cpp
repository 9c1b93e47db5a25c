#include "window_support.h"

#include <cstring>

#include "services.h"
#include "test_resets.h"
#include "window.h"

namespace testing_support {
namespace {

// The entry's state as a new process finds it.
void ResetWindowState() {
    std::memset(KeyTable, 0, sizeof KeyTable);
    WaitEnabled = 1;
    MainWindow = nullptr;
    SetShutdownHandler(nullptr);
}

}  // namespace

LRESULT CALLBACK KeysWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
            KeyTable[wParam & 0xFF] = 1;
            return 1;
        case WM_KEYUP:
            KeyTable[wParam & 0xFF] = 0;
            return 1;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND OpenGameWindow(int x, int y, WNDPROC procedure) {
    AddTestReset(ResetWindowState);
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = "qv";
    RegisterClassA(&windowClass);
    const int width = 2 * GetSystemMetrics(SM_CXBORDER) + 324;
    const int height = 2 * GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYMENUSIZE) +
                       GetSystemMetrics(SM_CYCAPTION) + 245;
    MainWindow = CreateWindowExA(WS_EX_APPWINDOW, "qv", "Tavlo", WS_POPUP | WS_BORDER | WS_SYSMENU,
                                 x, y, width, height, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(MainWindow, SW_SHOWDEFAULT);
    return MainWindow;
}

}  // namespace testing_support
