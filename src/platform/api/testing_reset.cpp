// Putting the platform back for the next test.
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
    host::DiscardHostForTests();
}

}  // namespace platform
