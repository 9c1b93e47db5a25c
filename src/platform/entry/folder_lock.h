// One game a data folder: two would write the same "tmp.bmp" and "score.dat" at once.
#pragma once

#include <string>

namespace host {

enum class FolderLock { Taken, HeldByAnother, Unavailable };

// Locks the working folder for the rest of the process (the kernel lets go when it ends, however
// it ends). HeldByAnother when another process holds it; Unavailable, with the reason in
// `error`, when it cannot be locked at all (a folder that may not be read, a file system without
// locks): then nothing keeps a second game from writing the same files, and the game must not
// start.
FolderLock LockWorkingFolder(int* error = nullptr);
// The working folder's path, for messages.
std::string WorkingFolder();

}  // namespace host
