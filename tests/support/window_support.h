// The game's window for in-process tests, as WinMain makes it.
#pragma once

#include <windows.h>

namespace testing_support {

// What the entry's window procedure does for the layers below it: keys into KeyTable.
LRESULT CALLBACK KeysWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registers the game's window class with `procedure` and creates its window at (x, y) as
// WinMain would (CW_USEDEFAULT when x is CW_USEDEFAULT), storing it in MainWindow.
HWND OpenGameWindow(int x = CW_USEDEFAULT, int y = 0, WNDPROC procedure = KeysWindowProc);

}  // namespace testing_support
