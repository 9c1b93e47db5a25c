// Reading and replacing files on Windows. Names are UTF-8, turned into the wide names of the
// system's own calls; descriptors are the C runtime's, over handles that programs started by
// the game do not inherit. Windows has no modes beyond read-only: KeepLinkAndMode keeps its
// refusal of a read-only file, and writes through a symbolic link (Developer Mode lets users
// make them) to the file it names.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#include <direct.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>
#include <random>

#include "files.h"
#include "files_system.h"
#include "utf16.h"

// <windows.h> makes ReplaceFile a macro for its own ReplaceFileA/W.
#undef ReplaceFile

namespace platform {
namespace {

int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        default:
            return EIO;
    }
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A new file with a fresh name beside `path` ("folder\.name.XXXXXX"); its name goes to `made`.
int CreateBeside(const std::string& path, std::string& made) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::string folder = FolderOf(path);
    const auto slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // A backslash: a "\\?\" name takes no other separator.
        made = folder + (folder.ends_with('\\') ? "." : "\\.") + name.substr(0, 200) + ".";
        for (int i = 0; i < 6; ++i) made += kLetters[device() % (sizeof kLetters - 1)];
        const int fd = OpenFile(made, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// The last name of a path, lower case (names differing in case are one name on Windows).
std::wstring LastName(const std::wstring& path) {
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

// The file a symbolic link at `path` names, links followed to the end ("\\?\C:\..."); `path`
// itself when it is no link, or one that leads nowhere. A link is a reparse point, or a name
// whose file the system knows by another name at its end (how Wine shows a Unix link).
std::wstring FollowLinks(const std::wstring& path) {
    const HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return path;
    std::wstring target(MAX_PATH, L'\0');
    DWORD length =
        GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), 0);
    if (length >= target.size()) {
        target.resize(length);
        length =
            GetFinalPathNameByHandleW(file, target.data(), static_cast<DWORD>(target.size()), 0);
    }
    CloseHandle(file);
    if (length == 0 || length >= target.size()) return path;
    target.resize(length);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool link =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return link || LastName(target) != LastName(path) ? target : path;
}

// Errors that a program holding the file a moment (a virus scanner, the search indexer, a
// backup) causes, and that go when it lets go.
bool Passing(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// MoveFileExW, tried again for about a second while another program holds one of the files.
DWORD MoveRetrying(const std::wstring& from, const std::wstring& to, DWORD flags) {
    static const DWORD kWaits[] = {10, 30, 60, 100, 200, 300, 300};
    for (std::size_t attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), flags)) return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        // A folder or a read-only file at the name refuses with "access denied" for good.
        const DWORD attributes = GetFileAttributesW(to.c_str());
        const bool forGood = attributes != INVALID_FILE_ATTRIBUTES &&
                             (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
        if (!Passing(error) || forGood || attempt == std::size(kWaits)) return error;
        Sleep(kWaits[attempt]);
    }
}

}  // namespace

namespace files_system {

int CreateTemporaryBeside(const std::string& path, std::string& made, bool /*ownerOnly*/) {
    // The folder's permissions decide (the data folder is under the user's own profile).
    return CreateBeside(path, made);
}

long long WriteSome(int fd, const char* data, std::size_t size) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size, 1 << 30));
    return ::_write(fd, data, chunk);
}

ReadHandle OpenForReading(const std::string& path, FileRead& read, std::size_t& size) {
    const std::wstring wide = Utf8ToWide(path);
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (IsFolder(wide)) {
            read.outcome = ReadOutcome::Folder;
            return -1;
        }
        read.error = ErrnoOf(error);
        read.outcome = read.error == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
        return -1;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        read.outcome = ReadOutcome::NotRegular;
        return -1;
    }
    LARGE_INTEGER known{};
    GetFileSizeEx(file, &known);
    size = static_cast<std::size_t>(std::max<LONGLONG>(known.QuadPart, 0));
    return reinterpret_cast<ReadHandle>(file);
}

long long ReadSome(ReadHandle handle, char* into, std::size_t most) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(most, 1 << 30));
    DWORD n = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle), into, chunk, &n, nullptr)) {
        errno = ErrnoOf(GetLastError());
        return -1;
    }
    return n;
}

void CloseReading(ReadHandle handle) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

int CloseFile(int fd) {
    return ::_close(fd);
}

int RemoveFile(const std::string& path) {
    if (DeleteFileW(Utf8ToWide(path).c_str())) return 0;
    errno = ErrnoOf(GetLastError());
    return -1;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The end of the part of `path` that is no folder to make: "C:\", "\\server\share\" (a network
// share, as redirected Pictures and AppData folders are), "\\?\C:\", "\\?\UNC\server\share\".
std::size_t RootLength(const std::string& path) {
    std::size_t at = 0;
    // (Both separators: the system reads "//?/" as it reads "\\?\".)
    const bool doubled = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
    if (doubled && path.size() >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
        at = 4;
        if (path.compare(at, 4, "UNC\\") == 0 || path.compare(at, 4, "UNC/") == 0) {
            at += 4;
        } else {
            return path.size() >= at + 2 && path[at + 1] == ':' ? at + 2 : at;
        }
    } else if (doubled) {
        at = 2;
    } else {
        return path.size() >= 2 && path[1] == ':' ? 2 : 0;
    }
    // A share's two names, server and share.
    for (int names = 0; names < 2 && at < path.size(); ++names) {
        while (at < path.size() && !IsSeparator(path[at])) ++at;
        if (names == 0 && at < path.size()) ++at;
    }
    return at;
}

int MakeFolder(const std::string& path) {
    return ::_wmkdir(Utf8ToWide(path).c_str());
}

}  // namespace files_system

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    // "C:\name" and "\name": the root keeps its separator.
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

int OpenFile(const std::string& path, int flags, unsigned mode) {
    return ::_wopen(Utf8ToWide(path).c_str(), flags | _O_BINARY | _O_NOINHERIT,
                    (mode & 0200) ? _S_IREAD | _S_IWRITE : _S_IREAD);
}

int OpenRegularFile(const std::string& path, int flags, unsigned mode, bool& notRegular) {
    notRegular = false;
    const std::wstring wide = Utf8ToWide(path);
    const int fd = OpenFile(path, flags, mode);
    if (fd < 0) {
        // The C runtime cannot open a folder at all: say which it was.
        notRegular = IsFolder(wide);
        return -1;
    }
    // A device (CON, NUL, COM1) or a pipe is no file here.
    if (GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        notRegular = true;
        ::_close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

int SyncFile(int fd) {
    return ::_commit(fd);
}

bool NameTaken(const std::string& path) {
    return GetFileAttributesW(Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DiskFull(int error) {
    return error == ENOSPC;
}

std::FILE* OpenStream(const std::string& path, const char* mode) {
    return ::_wfopen(Utf8ToWide(path).c_str(), Utf8ToWide(mode).c_str());
}

int CreateFreshFile(const std::string& path, unsigned mode, bool readsToo) {
    const std::wstring wide = Utf8ToWide(path);
    // A folder is not removed; a file is (a read-only one too, as unlink would).
    if (IsFolder(wide)) {
        errno = EISDIR;
        return -1;
    }
    // A read-only file is removed as unlink would remove it: DeleteFileW refuses it otherwise,
    // and a read-only leftover of a crash would then block every later save.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!DeleteFileW(wide.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        errno = ErrnoOf(GetLastError());
        return -1;
    }
    return OpenFile(path, (readsToo ? O_RDWR : O_WRONLY) | O_CREAT | O_EXCL, mode);
}

Moved MoveIntoPlace(const std::string& from, const std::string& to, Existing existing, bool sync) {
    Moved moved;
    const std::wstring source = Utf8ToWide(from);
    std::wstring target = Utf8ToWide(to);
    if (existing == Existing::KeepLinkAndMode) {
        // A link stays a link: the file it names is replaced.
        target = FollowLinks(target);
        // Windows refuses to replace a read-only file; so does this.
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
            moved.error = EACCES;
            return moved;
        }
    }
    // MOVEFILE_WRITE_THROUGH: the call returns only once the move is flushed to the disk.
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (sync ? MOVEFILE_WRITE_THROUGH : 0);
    DWORD error = MoveRetrying(source, target, flags);
    if (error == ERROR_NOT_SAME_DEVICE && existing == Existing::KeepLinkAndMode) {
        // A link to another volume: a copy beside the file it names, renamed over it (still one
        // step for anyone reading it), then the original goes.
        const std::string besideUtf8 = WideToUtf8(target);
        std::string copy;
        const int fd = CreateBeside(besideUtf8, copy);
        if (fd < 0) {
            moved.error = errno;
            return moved;
        }
        ::_close(fd);
        const std::wstring wideCopy = Utf8ToWide(copy);
        error = CopyFileW(source.c_str(), wideCopy.c_str(), FALSE)
                    ? MoveRetrying(wideCopy, target, flags)
                    : GetLastError();
        if (error == ERROR_SUCCESS) {
            DeleteFileW(source.c_str());
        } else {
            DeleteFileW(wideCopy.c_str());
        }
    }
    if (error != ERROR_SUCCESS) moved.error = ErrnoOf(error);
    return moved;
}

}  // namespace platform
