// The data folder's lock on Windows: the folder itself, opened for adding files while sharing
// that right with nobody, for the rest of the process. A second game asks for the same right
// and is refused with a sharing violation; Windows lets go when the process ends, however it
// ends. (A byte-range lock, LockFileEx, needs a file, and the folder would then get one of its
// own; the share mode needs nothing in it.)
#include <windows.h>

#include <cerrno>

#include "folder_lock.h"
#include "system.h"

namespace host {

FolderLock LockWorkingFolder(int* error) {
    // Kept open to the end: closing it would let the lock go.
    const HANDLE folder = CreateFileW(L".", FILE_ADD_FILE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder != INVALID_HANDLE_VALUE) return FolderLock::Taken;
    const DWORD reason = GetLastError();
    if (reason == ERROR_SHARING_VIOLATION) return FolderLock::HeldByAnother;
    if (error) *error = reason == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
    return FolderLock::Unavailable;
}

std::string WorkingFolder() {
    return platform::CurrentFolder();
}

}  // namespace host
