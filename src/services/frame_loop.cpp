// The frame loop's services: the message pump, frame timing, the two ends of the program and
// random numbers. Frames are paced by spinning on the millisecond clock while pumping messages.
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include <windows.h>

#include <mmsystem.h>

#include "services.h"
#include "window.h"

char FormatBuffer[256];
unsigned char KeyTable[256];
int WaitEnabled = 1;
HWND MainWindow;

namespace {

DWORD FrameStartTime;
void (*ShutdownHandler)() = nullptr;
WCHAR EndNote[512];

void RunShutdownHandler() {
    if (ShutdownHandler) ShutdownHandler();
}

// Mended: the design ends without a word when the best score could not be saved; the player
// who started the game from the desktop never sees standard error. Shown once, at the end, in
// wide characters: it names a folder, whatever language its name is in.
void ShowEndNote() {
    if (EndNote[0] == L'\0') return;
    MessageBoxW(MainWindow, EndNote, L"Tavlo", MB_OK | MB_ICONWARNING);
    EndNote[0] = L'\0';
}

[[noreturn]] void EndWithCodeOne() {
    ShowEndNote();
    std::exit(1);
}

// Waits until `duration` ms after `start`, pumping messages at least once. The elapsed time is
// computed modulo 2^32, so a wait across the clock's wrap ends on time like any other.
void WaitFrom(DWORD start, unsigned duration) {
    for (;;) {
        if (!PumpMessages()) EndWithCodeOne();
        const DWORD elapsed = timeGetTime() - start;
        if (elapsed >= duration || WaitEnabled == 0) return;
    }
}

}  // namespace

int PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!GetMessageA(&message, nullptr, 0, 0)) return 0;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 1;
}

void MarkFrameStart() {
    FrameStartTime = timeGetTime();
}

void WaitFrame(unsigned ms) {
    WaitFrom(FrameStartTime, ms);
}

void WaitMilliseconds(unsigned ms) {
    WaitFrom(timeGetTime(), ms);
}

void WaitMillisecondsDoing(unsigned ms, void (*work)()) {
    const DWORD start = timeGetTime();
    // The look the wait's first pump would take, without handling what it finds: an empty
    // queue is the moment the platform shows what was presented.
    MSG message;
    const BOOL pending = PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    work();
    // That look stands for the first pump when the queue was empty, so the wait's polls are
    // the ones WaitMilliseconds makes.
    if (!pending && (timeGetTime() - start >= ms || WaitEnabled == 0)) return;
    WaitFrom(start, ms);
}

void SetShutdownHandler(void (*handler)()) {
    ShutdownHandler = handler;
}

void SetEndNote(const WCHAR* text) {
    std::swprintf(EndNote, sizeof EndNote / sizeof EndNote[0], L"%ls", text ? text : L"");
}

void QuitProgram() {
    RunShutdownHandler();
    EndWithCodeOne();
}

void FatalError(const char* text) {
    RunShutdownHandler();
    // "エラーが発生したらしい(^^;"
    MessageBoxA(MainWindow, text,
                "\x83\x47\x83\x89\x81\x5b\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xbd\x82\xe7\x82\xb5"
                "\x82\xa2(^^;",
                MB_OK);
    EndWithCodeOne();
}

int RandomRange(int low, int high) {
    return low + std::rand() % (high - low + 1);
}
