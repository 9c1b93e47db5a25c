// Reading the platform's call trace in tests.
#pragma once

#include <string>

namespace testing_support {

// How many trace lines start with `prefix`.
int TraceCount(const std::string& prefix);
bool Traced(const std::string& line);

}  // namespace testing_support
