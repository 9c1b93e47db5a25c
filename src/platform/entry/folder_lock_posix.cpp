// The data folder's lock: flock on the folder itself, so no file is added to it.
#include "folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace entry {

FolderLock LockWorkingFolder(std::string* reason) {
    // Kept open to the end: closing it would let the lock go.
    const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) return FolderLock::Taken;
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (error == EWOULDBLOCK) return FolderLock::HeldByAnother;
    if (reason) *reason = std::strerror(error);
    return FolderLock::Unavailable;
}

bool ShowTheHoldersWindow() {
    return false;  // a desktop of many kinds: the other game's window is left where it is
}

}  // namespace entry
