// Shared pieces for tests that run the Display in-process on the headless host.
#pragma once

#include <windows.h>

#include "window_support.h"

namespace testing_support {

// The game's window (window_support.h) whose procedure also sends window moves to the Display.
HWND OpenDisplayWindow(int x = CW_USEDEFAULT, int y = 0);
// OpenDisplayWindow, then Display::Initialize(320, 240, fullScreen); fails the test if it returns
// 0.
void OpenDisplay(int fullScreen = 1);
// Makes palette entry i the grey level i, so that a pixel's index tells which colour GDI
// matched it to.
void UseGreyPalette();
// Pixel (x, y) of a slot through its recorded memory.
unsigned char SlotPixel(int slot, int x, int y);
// Fills a whole slot through its recorded memory with a pattern: (x * 7 + y * 13) & 0xFF.
void PaintPattern(int slot);
unsigned char Pattern(int x, int y);

}  // namespace testing_support
