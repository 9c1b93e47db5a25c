// The program's entry: the window class, the window, the Display, then the logo and the
// title loop. And the window procedure that feeds the KeyTable.
#include <cstdlib>
#include <ctime>

#include <windows.h>

#include "display.h"
#include "logo.h"
#include "title_screen.h"
#include "services.h"
#include "shell.h"
#include "window.h"

namespace {
constexpr DWORD kWindowStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;  // 0x80880000, not visible yet
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand) {
    (void)commandLine;
    if (previousInstance == nullptr) {
        WNDCLASSA windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = WindowProc;
        windowClass.cbClsExtra = 0;
        windowClass.cbWndExtra = 0;
        windowClass.hInstance = instance;
        windowClass.hIcon = nullptr;
        windowClass.hCursor = nullptr;
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszMenuName = nullptr;
        windowClass.lpszClassName = "qv";
        if (!RegisterClassA(&windowClass)) return 0;
    }

    const int width = 2 * GetSystemMetrics(SM_CXBORDER) + 324;
    const int height = 2 * GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYMENUSIZE) +
                       GetSystemMetrics(SM_CYCAPTION) + 245;
    MainWindow = CreateWindowExA(WS_EX_APPWINDOW, "qv", "Tavlo", kWindowStyle, CW_USEDEFAULT,
                                 CW_USEDEFAULT, width, height, nullptr, nullptr, instance, nullptr);
    ShowWindow(MainWindow, showCommand);
    UpdateWindow(MainWindow);

    if (!display.Initialize(MainWindow, 320, 240, 1)) {
        // "DirectDrawを初期化出来ません(;;"
        FatalError(
            "DirectDraw\x82\xf0\x8f\x89\x8a\xfa\x89\xbb\x8f\x6f\x97\x88\x82\xdc\x82\xb9"
            "\x82\xf1(;;");
    }
    display.Present();
    WaitMilliseconds(300);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    ShowLogo();
    titleScreen.Run();
    return 1;  // not reached: the title loop never returns
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 1;
        case WM_MOVE:
            display.UpdateWindowOrigin();
            return 1;
        case WM_CLOSE:
            QuitProgram();
        case WM_SETCURSOR:
            SetCursor(nullptr);
            return 1;
        case WM_KEYDOWN:
            if (wParam == VK_PAUSE) QuitProgram();
            KeyTable[wParam & 0xFF] = 1;
            if (wParam == VK_CONTROL) WaitEnabled = 0;
            return 1;
        case WM_KEYUP:
            if (wParam < 200) KeyTable[wParam] = 0;
            if (wParam == VK_CONTROL) WaitEnabled = 1;
            return 1;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
