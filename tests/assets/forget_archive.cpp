// The game's Archive as a new process finds it, after every test of this binary: no directory
// is kept from an archive another test wrote under the same name.
#include "archive.h"
#include "test_resets.h"

namespace {

void ForgetArchive() {
    Archive.path[0] = 0;
    Archive.entryCount = 0;
}

const bool registered = (testing_support::AddTestReset(ForgetArchive), true);

}  // namespace
