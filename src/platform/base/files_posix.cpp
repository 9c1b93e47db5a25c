// Reading and replacing files on a POSIX system.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "files.h"
#include "files_system.h"

namespace platform {
namespace files_system {

long long WriteSome(int fd, const char* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

ReadHandle OpenForReading(const std::string& path, FileRead& read, std::size_t& size) {
    // O_NONBLOCK: a FIFO must not hold the open up; its kind is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        read.error = errno;
        read.outcome =
            errno == ENOENT || errno == ENOTDIR ? ReadOutcome::Missing : ReadOutcome::Failed;
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        read.error = errno;
        read.outcome = S_ISDIR(info.st_mode) ? ReadOutcome::Folder : ReadOutcome::NotRegular;
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = static_cast<std::size_t>(info.st_size);
    return fd;
}

long long ReadSome(ReadHandle handle, char* into, std::size_t most) {
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle), into, most);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

void CloseReading(ReadHandle handle) {
    ::close(static_cast<int>(handle));
}

int CloseFile(int fd) {
    return ::close(fd);
}

int RemoveFile(const std::string& path) {
    return ::unlink(path.c_str());
}

bool IsSeparator(char c) {
    return c == '/';
}

std::size_t RootLength(const std::string&) {
    return 0;
}

int MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0755);
}

}  // namespace files_system

namespace {

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Where a chain of symbolic links ends (a dangling link: the name it points at).
std::string FollowLinks(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0) return path;
        target.resize(static_cast<std::size_t>(length));
        path = target[0] == '/' ? target : FolderOf(path) + "/" + target;
    }
    return path;
}

mode_t UsualMode() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// A new file with a fresh name beside `path` ("folder/.name.XXXXXX"); its name goes to `made`.
int CreateBeside(const std::string& path, std::string& made) {
    const std::string folder = FolderOf(path);
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Under NAME_MAX whatever the name's length.
    made = folder + "/." + name.substr(0, 200) + ".XXXXXX";
    // mkostemp creates with O_EXCL: a link of that name fails it rather than being followed.
    return ::mkostemp(made.data(), O_CLOEXEC);
}

// `from` copied to a new file beside `to` and renamed over it: a move across file systems,
// still in one step for anyone reading `to`. `from` is removed once the copy is in place.
int CopyIntoPlace(const std::string& from, const std::string& to, mode_t mode) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    std::string temporary;
    const int out = CreateBeside(to, temporary);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    int error = ::fchmod(out, mode) == 0 ? 0 : errno;
    char buffer[65536];
    while (error == 0) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        if (!WriteAll(out, buffer, static_cast<std::size_t>(n))) error = errno;
    }
    ::close(in);
    if (error == 0 && ::fsync(out) != 0) error = errno;
    if (::close(out) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), to.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

int files_system::CreateTemporaryBeside(const std::string& path, std::string& made,
                                        bool ownerOnly) {
    const int fd = CreateBeside(path, made);
    if (fd >= 0 && ::fchmod(fd, ownerOnly ? 0600 : UsualMode()) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(made.c_str());
        errno = error;
        return -1;
    }
    return fd;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int CreateFreshFile(const std::string& path, unsigned mode, bool readsToo) {
    // A folder is not removed (unlink says EISDIR and that is the answer); a file or a link is.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
    return ::open(path.c_str(),
                  (readsToo ? O_RDWR : O_WRONLY) | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  static_cast<mode_t>(mode));
}

Moved MoveIntoPlace(const std::string& from, const std::string& to, Existing existing, bool sync) {
    Moved moved;
    std::string target = to;
    struct stat info;
    mode_t mode = ::stat(from.c_str(), &info) == 0 ? info.st_mode & 07777 : 0600;
    if (existing == Existing::KeepLinkAndMode) {
        target = FollowLinks(to);
        if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            if (::access(target.c_str(), W_OK) != 0) {
                moved.error = errno;
                return moved;
            }
            mode = info.st_mode & 07777;
            if (::chmod(from.c_str(), mode) != 0) {
                moved.error = errno;
                return moved;
            }
        }
    }
    if (std::rename(from.c_str(), target.c_str()) != 0) {
        // Only a link can lead to another file system: a plain rename beside it never does.
        if (errno != EXDEV || existing != Existing::KeepLinkAndMode) {
            moved.error = errno;
            return moved;
        }
        if (const int error = CopyIntoPlace(from, target, mode); error != 0) {
            moved.error = error;
            return moved;
        }
    }
    // The file is in place: from here on the move has succeeded. The folder's sync makes the
    // new name durable; a folder that refuses it does not undo the rename.
    if (sync && !SyncFolder(FolderOf(target))) {
        moved.folderUnsynced = true;
        moved.syncError = errno;
    }
    return moved;
}

int OpenFile(const std::string& path, int flags, unsigned mode) {
    return ::open(path.c_str(), flags | O_CLOEXEC, static_cast<mode_t>(mode));
}

int OpenRegularFile(const std::string& path, int flags, unsigned mode, bool& notRegular) {
    notRegular = false;
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd < 0) return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        notRegular = true;
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int SyncFile(int fd) {
    return ::fsync(fd);
}

bool NameTaken(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

bool DiskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

std::FILE* OpenStream(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

}  // namespace platform
