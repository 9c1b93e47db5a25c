// One game a data folder: two would write the same "tmp.bmp" and "score.dat" at once.
#pragma once

#include <string>

namespace entry {

enum class FolderLock { Taken, HeldByAnother, Unavailable };

// Locks the working folder for the rest of the process (the system lets go when it ends, however
// it ends). HeldByAnother when another process holds it; Unavailable, with what happened in
// `reason` (the system's words), when it cannot be locked at all (a folder that may not be read
// or written, a file system without locks): then nothing keeps a second game from writing the
// same files, and the game must not start.
FolderLock LockWorkingFolder(std::string* reason = nullptr);
// After HeldByAnother: brings the window of the game that holds the folder to the front, where
// the system lets a program do that (Windows); whether it did.
bool ShowTheHoldersWindow();

}  // namespace entry
