// A record of the calls that reached the platform and what they were given, for tests to read
// (cooperative-level flags, surfaces created, palette hand-overs, ...). One line per call.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Off in the program, so the record cannot grow through a long run; a test's main turns it on.
void EnableTrace(bool on);
// Appends a line while the trace is on; does nothing otherwise.
void Trace(std::string line);
const std::vector<std::string>& TraceLog();
void ClearTrace();

}  // namespace platform
