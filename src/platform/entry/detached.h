// A program started to go on on its own after this one ends (the submission of a run after the
// game): detached_posix.cpp (posix_spawn, a session of its own), detached_win32.cpp
// (CreateProcessW, no window, a process group of its own).
#pragma once

#include <string>
#include <vector>

namespace entry {

// Starts `arguments[0]` (a whole path) with the rest as its arguments, its input from nowhere,
// its output and errors appended to `log` (made when missing), inheriting nothing else of this
// process's open files (the data folder's lock among them). Never waits for it. False when it
// could not be started.
bool StartDetached(const std::vector<std::string>& arguments, const std::string& log);

}  // namespace entry
