// kernel and winmm: the module handle, resources (the program carries none), the old _lopen
// file calls, plain files and their safe replacement, and the millisecond clock. What the game
// tells a debugger (OutputDebugStringA) goes to the seam's listener: the replay session hears
// each round's result there.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <mmsystem.h>
#include <windows.h>

#include "faults.h"
#include "files.h"
#include "host.h"
#include "system.h"
#include "wide_text.h"

namespace {
// The one module there is: the program itself.
struct HINSTANCE__ programModule;
DWORD lastError = 0;
}  // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != nullptr) {
        lastError = 126;  // ERROR_MOD_NOT_FOUND
        return nullptr;
    }
    return &programModule;
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    (void)module, (void)name, (void)type;
    lastError = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
    (void)module, (void)resource;
    return nullptr;
}

LPVOID WINAPI LockResource(HGLOBAL data) {
    return data;
}

HFILE WINAPI _lopen(LPCSTR path, int mode) {
    if (path == nullptr) return HFILE_ERROR;
    int flags = (mode & 3) == 1 ? O_WRONLY : (mode & 3) == 2 ? O_RDWR : O_RDONLY;
    int fd = platform::OpenFile(path, flags, 0);
    if (fd < 0) {
        lastError = 2;  // ERROR_FILE_NOT_FOUND
        return HFILE_ERROR;
    }
    return fd;
}

UINT WINAPI _lread(HFILE file, LPVOID buffer, UINT bytes) {
    if (file == HFILE_ERROR || (buffer == nullptr && bytes != 0)) return static_cast<UINT>(-1);
    UINT total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < bytes) {
        ssize_t n = ::read(file, out + total, bytes - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return total == 0 ? static_cast<UINT>(-1) : total;
        if (n == 0) break;
        total += static_cast<UINT>(n);
    }
    return total;
}

HFILE WINAPI _lclose(HFILE file) {
    if (file == HFILE_ERROR || ::close(file) != 0) return HFILE_ERROR;
    return 0;
}

namespace {

// An open file behind a HANDLE; its name is kept for the note a failed write leaves.
struct FileObject {
    int fd = -1;
    bool writes = false;
    std::string path;
};

DWORD ErrorOf(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ELOOP:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case ENOSPC:
            return ERROR_DISK_FULL;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        default:
            return platform::DiskFull(error) ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
    }
}

BOOL Fail(int error) {
    lastError = ErrorOf(error);
    return FALSE;
}

std::string Quoted(const char* what, const std::string& path) {
    return std::string(what) + " \"" + path + "\"";
}

// A file the program meant to write but could not: Windows would keep quiet, so the reason is
// told here. What it means to the player (a best score lost) the game says itself.
void NoteFailedWrite(const std::string& what, const char* reason) {
    std::fprintf(stderr, "tavlo: cannot %s: %s\n", what.c_str(), reason);
    std::fflush(stderr);
}

BOOL FailWrite(const std::string& what, int error) {
    NoteFailedWrite(what, std::strerror(error));
    return Fail(error);
}

FileObject* FileOf(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    return static_cast<FileObject*>(handle);
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
    (void)shareMode, (void)securityAttributes, (void)flagsAndAttributes, (void)templateFile;
    if (fileName == nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    const bool reads = (desiredAccess & GENERIC_READ) != 0;
    const bool writes = (desiredAccess & GENERIC_WRITE) != 0;
    int flags = reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    switch (creationDisposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            flags |= O_TRUNC;
            break;
        default:
            lastError = ERROR_INVALID_PARAMETER;
            return INVALID_HANDLE_VALUE;
    }
    // A file made anew is never written through a link planted at its name: what stands there
    // goes first, then the file is created exclusively. Only plain files are files here: a
    // folder, a FIFO or a device is refused (and a FIFO does not hold the open up).
    bool notRegular = false;
    const int fd = creationDisposition == CREATE_ALWAYS
                       ? platform::CreateFreshFile(fileName, 0666, reads)
                       : platform::OpenRegularFile(fileName, flags, 0666, notRegular);
    if (notRegular) {
        if (writes) NoteFailedWrite(Quoted("write", fileName), "not a plain file");
        lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    if (fd < 0) {
        if (writes) {
            FailWrite(Quoted("write", fileName), errno);
        } else {
            Fail(errno);
        }
        return INVALID_HANDLE_VALUE;
    }
    return new FileObject{fd, writes, fileName};
}

BOOL WINAPI WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytes, LPDWORD written,
                      LPOVERLAPPED overlapped) {
    if (written != nullptr) *written = 0;
    FileObject* file = FileOf(handle);
    if (file == nullptr) return Fail(EBADF);
    if (overlapped != nullptr || (buffer == nullptr && bytes != 0)) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    std::size_t total = 0;
    const bool whole =
        platform::WriteAll(file->fd, static_cast<const char*>(buffer), bytes, &total);
    if (written != nullptr) *written = static_cast<DWORD>(total);
    if (!whole) return FailWrite(Quoted("write", file->path), errno);
    return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE handle) {
    FileObject* file = FileOf(handle);
    if (file == nullptr) return Fail(EBADF);
    if (platform::ShouldFail("FlushFileBuffers"))
        return FailWrite(Quoted("write", file->path), EIO);
    if (platform::SyncFile(file->fd) != 0) return FailWrite(Quoted("write", file->path), errno);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    FileObject* file = FileOf(handle);
    if (file == nullptr) return Fail(EBADF);
    const int result = ::close(file->fd);
    const int error = errno;
    const bool writes = file->writes;
    const std::string path = std::move(file->path);
    delete file;
    if (result != 0) return writes ? FailWrite(Quoted("write", path), error) : Fail(error);
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR existingName, LPCSTR newName, DWORD flags) {
    if (existingName == nullptr || newName == nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && platform::NameTaken(newName)) {
        lastError = ERROR_ALREADY_EXISTS;
        return FALSE;
    }
    auto failed = [&](int error) {
        return FailWrite(Quoted("replace", newName) + Quoted(" with", existingName), error);
    };
    if (platform::ShouldFail("MoveFileExA")) return failed(EIO);
    // A link stays a link: the file goes where it points. An existing file keeps its mode, and
    // one that may not be written is not replaced (Windows refuses a read-only file too).
    const platform::Moved moved =
        platform::MoveIntoPlace(existingName, newName, platform::Existing::KeepLinkAndMode,
                                (flags & MOVEFILE_WRITE_THROUGH) != 0);
    if (moved.error != 0) return failed(moved.error);
    // Renamed, the file is saved: a folder that will not be synced (some file systems refuse
    // it) leaves it in place all the same, only perhaps not yet on the disk.
    if (moved.folderUnsynced) {
        std::fprintf(stderr, "tavlo: \"%s\" is saved, but its folder could not be synced: %s\n",
                     newName, std::strerror(moved.syncError));
    }
    // The file is in place: a host that keeps files elsewhere stores it from here.
    host::Current().FileReplaced(newName);
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR fileName) {
    if (fileName == nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    if (!platform::RemoveFile(fileName)) return Fail(errno);
    return TRUE;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    char path[PATH_MAX];
    if (::getcwd(path, sizeof path) == nullptr) return Fail(errno), 0;
    const auto length = static_cast<DWORD>(std::strlen(path));
    if (buffer == nullptr || bufferLength <= length) return length + 1;
    std::memcpy(buffer, path, length + 1);
    return length;
}

DWORD WINAPI GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
    const std::string utf8 = platform::CurrentFolder();
    if (utf8 == ".") return Fail(ENOENT), 0;
    const std::wstring path = api::WideFromUtf8(utf8);
    const auto length = static_cast<DWORD>(path.size());
    if (buffer == nullptr || bufferLength <= length) return length + 1;
    path.copy(buffer, path.size());
    buffer[length] = L'\0';
    return length;
}

DWORD WINAPI GetLastError(void) {
    return lastError;
}

void WINAPI Sleep(DWORD ms) {
    platform::SleepUntil(platform::MonotonicNanoseconds() +
                         static_cast<std::int64_t>(ms) * 1000000);
}

void WINAPI OutputDebugStringA(LPCSTR text) {
    if (text) host::DebugOutput(text);
}

DWORD WINAPI timeGetTime(void) {
    return host::Current().Milliseconds();
}
