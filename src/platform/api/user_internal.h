// What the user module tells the rest of the platform about windows.
#pragma once

#include <windows.h>

namespace platform {

// True when hWnd names a live window.
bool IsLiveWindow(HWND hWnd);
// The client area of a window in screen coordinates (where a windowed game's picture lands).
bool WindowClientRect(HWND hWnd, RECT* client);
// Current desktop size: the display mode while one is set, else the host's desktop.
void ScreenSize(int& width, int& height);
// Set by DirectDraw when it takes or gives back the screen.
void SetScreenMode(int width, int height);

}  // namespace platform
