// The program's one window and what its window procedure (shell) keeps for every layer: the
// keys held down and the switch that Ctrl throws to suspend all frame waiting.
#pragma once

#include <windows.h>

// One byte per virtual-key code: 1 from a key's key-down until its key-up or until a reader
// consumes it by writing 0.
extern unsigned char KeyTable[256];
// 0 while Ctrl is held: every wait then ends after one pass of the message pump.
extern int WaitEnabled;
// The window's handle, stored once by WinMain.
extern HWND MainWindow;
