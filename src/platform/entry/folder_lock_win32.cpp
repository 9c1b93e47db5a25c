// The data folder's lock on Windows: an exclusive byte-range lock (LockFileEx) on the hidden
// file "tavlo.lock" in the folder, held through a handle kept open for the rest of the process.
// A second game opens the same file and is refused the lock; Windows lets go when the process
// ends, however it ends, so a file left behind by a crash locks nothing. (Directories take no
// byte-range locks, hence the file; it stays between games, empty.)
#include <windows.h>

#include <cerrno>

#include "folder_lock.h"
#include "system.h"

namespace host {

FolderLock LockWorkingFolder(int* error) {
    const HANDLE file = CreateFileW(L"tavlo.lock", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (error) *error = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
        return FolderLock::Unavailable;
    }
    OVERLAPPED whole{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        return FolderLock::Taken;  // the handle stays open: closing it would let the lock go
    }
    const DWORD reason = GetLastError();
    CloseHandle(file);
    if (reason == ERROR_LOCK_VIOLATION) return FolderLock::HeldByAnother;
    if (error) *error = ENOLCK;
    return FolderLock::Unavailable;
}

std::string WorkingFolder() {
    return platform::CurrentFolder();
}

}  // namespace host
