// The shell's services for every other subsystem: the frame loop, the two ends of the
// program, random numbers and the shared formatting buffer.
#pragma once

#include <windows.h>

// Dispatches every pending window message. 1 = queue drained, 0 = WM_QUIT was retrieved.
int PumpMessages();
// Notes the start of a frame (FrameStartTime = timeGetTime()).
void MarkFrameStart();
// Spins, pumping messages, until `ms` after the frame's start; returns at once while Ctrl is
// held. Ends the process with code 1 when WM_QUIT arrives.
void WaitFrame(unsigned ms);
// As WaitFrame, counted from the moment of the call; FrameStartTime is left alone.
void WaitMilliseconds(unsigned ms);
// As WaitMilliseconds, with `work` done inside the wait: after the first look at the queue,
// which lets the platform show the screen, and before any message is handled, so no key can end
// the program first. The wait still ends `ms` after the call.
void WaitMillisecondsDoing(unsigned ms, void (*work)());
// What must be undone before the program ends: the Display names its shutdown here when it is
// set up. QuitProgram and FatalError run it first.
void SetShutdownHandler(void (*handler)());
// The quiet end: shuts the Display down and exits with code 1.
[[noreturn]] void QuitProgram();
// Shuts the Display down, shows `text` (Shift-JIS) in a message box and exits with code 1.
[[noreturn]] void FatalError(const char* text);
// The port's own note for the player at the end of the program (a best score that could not be
// saved): shown once, in a message box after the Display is shut down, however the program
// ends (after FatalError's own message). NULL takes it back. The text is copied.
void SetEndNote(const WCHAR* text);
// low + rand() mod (high - low + 1).
int RandomRange(int low, int high);

// One shared buffer for messages formatted just before FatalError and for digit strings.
extern char FormatBuffer[256];
