// One game a data folder: two would write the same "tmp.bmp" and "score.dat" at once.
#pragma once

#include <string>

namespace host {

enum class FolderLock { Taken, HeldByAnother };

// Locks the working folder for the rest of the process (the kernel lets go when it ends, however
// it ends). HeldByAnother when another process holds it; a folder that cannot be locked at all
// (a file system without locks) counts as taken.
FolderLock LockWorkingFolder();
// The working folder's path, for messages.
std::string WorkingFolder();

}  // namespace host
