// The entry's window procedure: keys into KeyTable, Ctrl into WaitEnabled, Pause and close
// requests end the program, the cursor is hidden, window moves go to the Display.
#pragma once

#include <windows.h>

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
