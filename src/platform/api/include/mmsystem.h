// The multimedia timer: the one millisecond clock the game paces itself by.
#pragma once

#include <windows.h>

// Milliseconds since an arbitrary start, as an unsigned 32-bit count that wraps about every
// 49.7 days. On the headless host this is the virtual clock.
DWORD WINAPI timeGetTime(void);
