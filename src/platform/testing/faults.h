// Fault injection: named platform calls can be made to fail, so that the program's failure
// paths can be checked. TAVLO_FAIL=<call>[,<call>...] sets the list from outside.
#pragma once

#include <string>

namespace platform {

// True when the named call is to fail. Reads TAVLO_FAIL on first use.
bool ShouldFail(const char* call);
// Replaces the list of failing calls (comma-separated); for tests in-process.
void SetFailingCalls(const std::string& calls);

}  // namespace platform
