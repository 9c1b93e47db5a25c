// What every system's file module shares: the messages, the read loop, the write loop and the
// replacement's sequence, over the steps each system gives (files_system.h).
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "files.h"
#include "files_system.h"

namespace platform {

bool WriteAll(int fd, const char* data, std::size_t size, std::size_t* written) {
    std::size_t done = 0;
    bool whole = true;
    while (done < size) {
        const long long n = files_system::WriteSome(fd, data + done, size - done);
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            whole = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (written) *written = done;
    return whole;
}

FileRead ReadRegularFile(const std::string& path, std::size_t limit, Beyond beyond) {
    using namespace files_system;
    FileRead read;
    std::size_t size = 0;
    const ReadHandle handle = OpenForReading(path, read, size);
    if (handle == -1) return read;
    // One byte beyond the limit tells a file that is too long from one that just fits.
    const std::size_t wanted = limit == SIZE_MAX ? limit : limit + 1;
    read.bytes.resize(std::min(wanted, size > 0 ? size + 1 : std::size_t{4096}));
    std::size_t length = 0;
    for (;;) {
        if (length == read.bytes.size()) {
            if (length >= wanted) break;
            read.bytes.resize(std::min(wanted, length * 2));
        }
        const long long n =
            ReadSome(handle, read.bytes.data() + length, read.bytes.size() - length);
        if (n < 0) {
            read.error = errno;
            CloseReading(handle);
            read.bytes.clear();
            read.outcome = ReadOutcome::Failed;
            return read;
        }
        if (n == 0) break;
        length += static_cast<std::size_t>(n);
    }
    CloseReading(handle);
    read.bytes.resize(length);
    read.outcome = ReadOutcome::Read;
    if (length > limit) {
        if (beyond == Beyond::KeepFirst) {
            read.bytes.resize(limit);
        } else {
            read.bytes.clear();
            read.outcome = ReadOutcome::TooLarge;
        }
    }
    return read;
}

bool MakeFolders(const std::string& path) {
    using namespace files_system;
    for (std::size_t i = RootLength(path) + 1; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (MakeFolder(path.substr(0, i)) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

Said ReadReason(const FileRead& read, std::size_t limit) {
    switch (read.outcome) {
        case ReadOutcome::Read:
            return Said("read");  // asked of a read that did not fail: nothing to translate
        case ReadOutcome::Folder:
            return said("it is a folder");
        case ReadOutcome::NotRegular:
            return said("it is not a regular file");
        case ReadOutcome::TooLarge:
            // TRANSLATORS: {1} is a number of bytes.
            return said("it is larger than {1} bytes", {std::to_string(limit)});
        case ReadOutcome::Missing:
        case ReadOutcome::Failed:
            break;
    }
    return std::strerror(read.error);
}

std::string DescribeRead(const FileRead& read, std::size_t limit) {
    return ReadReason(read, limit).Translated();
}

Replaced ReplaceFile(const std::string& path, std::string_view bytes, Existing existing) {
    using namespace files_system;
    Replaced result;
    std::string temporary;
    const int fd = CreateTemporaryBeside(path, temporary, existing == Existing::Private);
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

bool RemoveFile(const std::string& path) {
    return files_system::RemoveFile(path) == 0;
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

}  // namespace platform
