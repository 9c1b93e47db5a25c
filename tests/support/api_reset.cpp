// Putting the platform back for the next test: kept out of the program, which never needs it.
#include "testing_reset.h"

#include <cstdlib>

#include "faults.h"
#include "host.h"
#include "trace.h"

namespace platform {

void ResetApiForTests() {
    ResetScreenForTests();
    ResetUserForTests();
    const char* failing = std::getenv("TAVLO_FAIL");
    SetFailingCalls(failing ? failing : "");
    ClearTrace();
    // The next Current() makes a new host (a fresh clock, no pending input, the environment
    // read again), as a new process would.
    host::SetDebugListener(nullptr);
    host::Shutdown();
}

}  // namespace platform
