// Files and folders, the one place that knows how to read, write, replace and make them safely
// (docs/hacking.md says which call to use where). What every system shares (the read loop, the
// write loop, the replacement's sequence, the walk that makes folders with their parents, the
// messages) is files.cpp's; it goes through the steps each system gives in files_system.h,
// files_posix.cpp on Linux and in the browser, files_win32.cpp on Windows (UTF-8 names made
// UTF-16 there). Every writer of the platform, the hosts and the tools goes through here.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "catalog.h"

namespace platform {

enum class ReadOutcome {
    Read,        // `bytes` holds the file (or its first `limit` bytes, see Beyond)
    Missing,     // no such file (or a folder on its path is missing)
    Folder,      // a folder stands there
    NotRegular,  // a FIFO, a device or a socket: never opened for reading, never waited on
    TooLarge,    // longer than the limit (Beyond::Refuse)
    Failed,      // could not be opened or read; `error` says why
};

// What to do with a file longer than the limit: refuse it, or keep its first `limit` bytes
// (for a reader that uses only those, as the game's own reads do).
enum class Beyond { Refuse, KeepFirst };

struct FileRead {
    ReadOutcome outcome = ReadOutcome::Failed;
    int error = 0;  // errno for Missing and Failed
    std::string bytes;
    bool ok() const { return outcome == ReadOutcome::Read; }
};

// Reads the regular file at `path` (a link is followed) up to `limit` bytes. The file is opened
// without waiting (a FIFO put there after any check would otherwise block the open) and its kind
// is checked on the open file, so what is read is what was checked. Never more than limit + 1
// bytes are read, whatever the file's length.
FileRead ReadRegularFile(const std::string& path, std::size_t limit,
                         Beyond beyond = Beyond::Refuse);

// Creates `path` and every missing parent (like mkdir -p), past the path's root (Windows: a
// drive, a network share \\server\share, \\?\ paths); false when one cannot be made.
bool MakeFolders(const std::string& path);

// A short reason for a failed read, for a message ("it is a folder", "it is larger than N
// bytes", the system's text for the error): kept unfilled, and in the player's language.
Said ReadReason(const FileRead& read, std::size_t limit);
std::string DescribeRead(const FileRead& read, std::size_t limit);

// What happens to what stands at the path being replaced.
enum class Existing {
    // A link is replaced by the new file, never written through; the new file has the usual
    // mode (0666 less the umask).
    Replace,
    // A link stays a link and the file at its end is replaced (across file systems too); a file
    // that was there keeps its mode.
    KeepLinkAndMode,
    // As Replace, and the new file may be read and written by its owner alone (0600: a secret,
    // such as a score server's key). On Windows the file has its folder's permissions, which for
    // the user's own folders admit no one else.
    Private,
};

struct Replaced {
    bool ok = false;
    int error = 0;               // errno of the step that failed
    const char* step = nullptr;  // "create", "write", "fsync", "close", "rename"
    // The rename is done but the folder could not be synced: the new file is in place (and
    // `ok` is true); it may not yet be on the disk should the machine stop now.
    bool folderUnsynced = false;
};

// Writes `bytes` to a new file beside `path` (a fresh name, created exclusively, never through a
// link), syncs it and renames it over `path`, then syncs the folder. On failure the temporary
// file is removed and the file at `path` is as it was. Once the rename is done the replacement
// has succeeded, whatever the folder's sync says.
Replaced ReplaceFile(const std::string& path, std::string_view bytes, Existing existing);

// The pieces ReplaceFile is made of, for a caller that writes its temporary file itself (the
// kernel's CreateFileA and MoveFileExA, which the game drives step by step).

// Opens `path` as a new, empty file for writing: whatever file or link stood there is removed
// first, then the file is created exclusively (O_EXCL | O_NOFOLLOW), so a link planted there is
// never written through. A folder there is not removed. Returns the descriptor (write-only, or
// read and write with `readsToo`), or -1 with errno.
int CreateFreshFile(const std::string& path, unsigned mode, bool readsToo = false);

struct Moved {
    int error = 0;                // 0: the file is in place
    bool folderUnsynced = false;  // in place, but the folder's sync failed
    int syncError = 0;            // and why
};

// Renames `from` over `to` as Existing says, then (with `sync`) syncs the folder the name is in.
// With KeepLinkAndMode a file at `to` that may not be written is refused (EACCES), as Windows
// refuses a read-only file.
Moved MoveIntoPlace(const std::string& from, const std::string& to, Existing existing, bool sync);

// The folder holding `path` ("." for a bare name).
std::string FolderOf(const std::string& path);

// Opens `path` with open(2)'s access and creation flags (O_RDONLY, O_WRONLY, O_RDWR, O_CREAT,
// O_EXCL, O_TRUNC; binary on every system), never inherited by another program. Returns the
// descriptor, or -1 with errno.
int OpenFile(const std::string& path, int flags, unsigned mode);
// As OpenFile, without waiting on a FIFO, and kept only when it is a regular file: else -1,
// with `notRegular` set for a folder, FIFO or device.
int OpenRegularFile(const std::string& path, int flags, unsigned mode, bool& notRegular);
// Flushes an open file to the disk (fsync); 0, or -1 with errno.
int SyncFile(int fd);
// Whether anything (a file, a folder, a link, even a dangling one) has that name.
bool NameTaken(const std::string& path);
// Whether an errno value means the disk or the user's quota is full.
bool DiskFull(int error);

// A UTF-8 name as a std::filesystem path, and a path's UTF-8 name. Paths are always made and read
// so: a path made from a plain std::string is read in the narrow code page on Windows (MinGW's
// libstdc++ reads it byte by byte), which garbles every name outside ASCII.
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

// Removes the file at `path` (a link itself, never what it names); false with errno (ENOENT when
// nothing was there).
bool RemoveFile(const std::string& path);

// Writes all `size` bytes to an open file; false with errno (ENOSPC when the system took nothing
// more). `written`, when given, gets how many bytes were written either way.
bool WriteAll(int fd, const char* data, std::size_t size, std::size_t* written = nullptr);

// fopen for a UTF-8 name (_wfopen on Windows, binary in every mode given with "b"); null with
// errno.
std::FILE* OpenStream(const std::string& path, const char* mode);

}  // namespace platform
