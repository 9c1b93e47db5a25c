// The installed program's own folder on Windows: the archive beside tavlo.exe, the player's
// folder %LOCALAPPDATA%\Tavlo holding the archive as a hard link (a copy across volumes, where no
// link can be made without privileges), or the program's own folder for a portable copy.
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>

#include "catalog.h"
#include "data_folder.h"
#include "files.h"
#include "system.h"
#include "utf16.h"

namespace entry {
namespace {

constexpr const char* kPortableMarker = "portable.txt";
// The largest archive compared byte for byte with a copy already in place.
constexpr std::size_t kArchiveLimit = 256u << 20;

std::string FolderOfProgram(const std::string& program) {
    const auto slash = program.find_last_of("\\/");
    return slash == std::string::npos ? "" : program.substr(0, slash);
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(platform::Utf8ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether a new file can be made in `folder` (a folder on a locked stick, a CD or under Program
// Files cannot): one is made and goes again when its handle closes.
bool Writable(const std::string& folder) {
    const std::wstring probe =
        platform::Utf8ToWide(folder + "\\.tavlo-probe-" + std::to_string(GetCurrentProcessId()));
    const HANDLE file = CreateFileW(
        probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// Whether `placed` is the archive already: the same file (a hard link), or a copy with the same
// bytes (made by an earlier start across volumes).
bool SameArchive(const std::string& archive, const std::string& placed) {
    const auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE file = CreateFileW(platform::Utf8ToWide(path).c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const bool known = GetFileInformationByHandle(file, &info) != 0;
        CloseHandle(file);
        return known;
    };
    BY_HANDLE_FILE_INFORMATION one{}, other{};
    if (!identity(archive, one) || !identity(placed, other)) return false;
    if (one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
        one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow) {
        return true;
    }
    if (one.nFileSizeHigh != other.nFileSizeHigh || one.nFileSizeLow != other.nFileSizeLow) {
        return false;
    }
    const platform::FileRead a = platform::ReadRegularFile(archive, kArchiveLimit);
    const platform::FileRead b = platform::ReadRegularFile(placed, kArchiveLimit);
    return a.ok() && b.ok() && a.bytes == b.bytes;
}

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = text ? platform::WideToUtf8(text)
                               : platform::Fill(tr("Windows error {1}"), {std::to_string(error)});
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

}  // namespace

std::string InstalledArchive(const std::string& program) {
    const std::string folder = FolderOfProgram(program);
    if (folder.empty()) return "";
    const std::string archive = folder + "\\tavlo.rka";
    return platform::NameTaken(archive) ? archive : "";
}

std::string PortableFolder(const std::string& program) {
    const std::string folder = FolderOfProgram(program);
    if (folder.empty() || !platform::NameTaken(folder + "\\" + kPortableMarker)) return "";
    return Writable(folder) ? folder : "";
}

std::string PlayerFolder() {
    return platform::GameFolderPath(platform::UserFolder::Data);
}

std::string PlayerFolderText() {
    return "%LOCALAPPDATA%\\Tavlo";
}

std::string NoPlayerFolderText() {
    return tr(
        "Windows does not say where the local application data folder is: the game has no "
        "folder to play in");
}

std::string PrepareFolder(const std::string& folder, const std::string& archive) {
    if (!platform::MakeFolders(folder)) {
        return platform::Fill(tr("cannot make the folder {1}: {2}"),
                              {folder, std::strerror(errno)});
    }
    if (!IsFolder(folder)) return platform::Fill(tr("{1} is not a folder"), {folder});

    const std::string placed = folder + "\\tavlo.rka";
    if (!SameArchive(archive, placed)) {
        // Made under a fresh name and renamed over whatever had the name (an older copy): the
        // name is never without an archive meanwhile.
        const std::wstring from = platform::Utf8ToWide(archive);
        const std::wstring fresh =
            platform::Utf8ToWide(placed + "." + std::to_string(std::random_device()() % 1000000));
        const std::wstring to = platform::Utf8ToWide(placed);
        bool made = CreateHardLinkW(fresh.c_str(), from.c_str(), nullptr) ||
                    CopyFileW(from.c_str(), fresh.c_str(), TRUE);
        if (made && !MoveFileExW(fresh.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            made = false;
        }
        if (!made) {
            const DWORD error = GetLastError();
            DeleteFileW(fresh.c_str());
            // TRANSLATORS: {1} is the game's archive, {2} the folder it plays in, {3} Windows'
            // reason.
            return platform::Fill(tr("cannot put {1} in {2}: {3}"),
                                  {archive, folder, SystemMessage(error)});
        }
    }

    // Created only where nothing has the name: a score that appears meanwhile is not written
    // over either.
    const std::wstring score = platform::Utf8ToWide(folder + "\\score.dat");
    const HANDLE file = CreateFileW(score.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const char zero[4] = {};
        DWORD written = 0;
        const bool whole = WriteFile(file, zero, sizeof zero, &written, nullptr) && written == 4;
        // A short score would read as a damaged one: none at all is said plainly.
        if (!CloseHandle(file) || !whole) DeleteFileW(score.c_str());
    }
    return "";
}

}  // namespace entry
