// What every system's file module shares: the messages, and the replacement's sequence over
// the steps each system gives (files_system.h).
#include <cerrno>
#include <cstring>

#include "files.h"
#include "files_system.h"

namespace platform {

std::string DescribeRead(const FileRead& read, std::size_t limit) {
    switch (read.outcome) {
        case ReadOutcome::Read:
            return "read";
        case ReadOutcome::Folder:
            return "it is a folder";
        case ReadOutcome::NotRegular:
            return "it is not a regular file";
        case ReadOutcome::TooLarge:
            return "it is larger than " + std::to_string(limit) + " bytes";
        case ReadOutcome::Missing:
        case ReadOutcome::Failed:
            break;
    }
    return std::strerror(read.error);
}

Replaced ReplaceFile(const std::string& path, std::string_view bytes, Existing existing) {
    using namespace files_system;
    Replaced result;
    std::string temporary;
    const int fd = CreateTemporaryBeside(path, temporary);
    if (fd < 0) {
        result.error = errno;
        result.step = "create";
        return result;
    }
    const char* failed = nullptr;
    if (!WriteAll(fd, bytes.data(), bytes.size())) {
        failed = "write";
    } else if (SyncFile(fd) != 0) {
        failed = "fsync";
    }
    int error = errno;
    // close is checked as well: some file systems report a failed write only here.
    if (CloseFile(fd) != 0 && !failed) {
        failed = "close";
        error = errno;
    }
    if (!failed) {
        const Moved moved = MoveIntoPlace(temporary, path, existing, true);
        if (moved.error == 0) {
            result.ok = true;
            result.folderUnsynced = moved.folderUnsynced;
            return result;
        }
        failed = "rename";
        error = moved.error;
    }
    files_system::RemoveFile(temporary);
    result.error = error;
    result.step = failed;
    return result;
}

void RemoveFile(const std::string& path) {
    files_system::RemoveFile(path);
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

}  // namespace platform
