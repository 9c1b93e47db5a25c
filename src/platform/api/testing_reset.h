// For tests that run many cases in one process: puts the platform back as a new process finds
// it. The caller releases what it made first (a DirectDraw object still alive is forgotten).
#pragma once

namespace platform {

// Windows, classes, the message queue, the display mode and the screen are gone; the failing
// calls are TAVLO_FAIL's again, the trace is empty, and the next call makes a new host.
void ResetApiForTests();

// The parts of it, each in the module whose state it is.
void ResetUserForTests();
void ResetScreenForTests();

}  // namespace platform
