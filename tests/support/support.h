// Shared pieces for tests that run parts of the game in-process on the headless host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace testing_support {

// Registers the game's window class and creates its window at (x, y) as WinMain would
// (CW_USEDEFAULT when x is CW_USEDEFAULT), storing it in MainWindow.
HWND OpenGameWindow(int x = CW_USEDEFAULT, int y = 0);
// OpenGameWindow, then Display::Initialize(320, 240, fullScreen); fails the test if it returns 0.
void OpenDisplay(int fullScreen = 1);
// Makes palette entry i the grey level i, so that a pixel's index tells which colour GDI
// matched it to.
void UseGreyPalette();
// Pixel (x, y) of a slot through its recorded memory.
unsigned char SlotPixel(int slot, int x, int y);
// Fills a whole slot through its recorded memory with a pattern: (x * 7 + y * 13) & 0xFF.
void PaintPattern(int slot);
unsigned char Pattern(int x, int y);
// How many trace lines start with `prefix`.
int TraceCount(const std::string& prefix);
bool Traced(const std::string& line);

// Result of running a program.
struct RunResult {
    int exitCode = -1;
    std::string standardError;
};
// Runs a shell command with the given environment assignments prepended, capturing stderr.
RunResult Run(const std::string& environment, const std::string& command);
// A fresh empty folder under the test's temporary directory.
std::string FreshFolder(const std::string& name);

}  // namespace testing_support
