// The data folder's lock on Windows: an exclusive byte-range lock (LockFileEx) on the hidden
// file "tavlo.lock" in the folder, held through a handle kept open for the rest of the process.
// A second game opens the same file and is refused the lock; Windows lets go when the process
// ends, however it ends, so a file left behind by a crash locks nothing. (Directories take no
// byte-range locks, hence the file.) The holder writes its process id into the file, for a
// second game to find its window, and holds a second handle that deletes the file when it closes:
// the file goes when the game ends, however it ends, the lock going with it (a game that opens
// the file in that moment is told "access denied", the deletion pending, and tries again a moment
// later, when the name is free).
#include <windows.h>

#include <string>

#include "catalog.h"
#include "folder_lock.h"
#include "system.h"
#include "utf16.h"

namespace entry {
namespace {

constexpr const wchar_t* kLockName = L"tavlo.lock";
// The locked byte, and where the holder's process id is (outside the lock, so others read it).
constexpr DWORD kIdOffset = 16;

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = text ? platform::WideToUtf8(text) : "";
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    // TRANSLATORS: {1} is the number of an error Windows has no text for.
    return message.empty() ? platform::Fill(tr("Windows error {1}"), {std::to_string(error)})
                           : message;
}

HANDLE OpenLockFile() {
    return CreateFileW(kLockName, GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_HIDDEN, nullptr);
}

// The process id the holder wrote, or 0.
DWORD HoldersId() {
    const HANDLE file =
        CreateFileW(kLockName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    OVERLAPPED at{};
    at.Offset = kIdOffset;
    DWORD id = 0, read = 0;
    if (!ReadFile(file, &id, sizeof id, &read, &at) || read != sizeof id) id = 0;
    CloseHandle(file);
    return id;
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

FolderLock LockWorkingFolder(std::string* reason) {
    HANDLE file = OpenLockFile();
    // A game that is ending removes the file as it goes: a moment later the name is free.
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 20; ++attempt) {
        if (GetLastError() != ERROR_ACCESS_DENIED) break;
        Sleep(25);
        file = OpenLockFile();
    }
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (reason) {
            // TRANSLATORS: put inside the sentence that names the data folder ("there"); {1}
            // is Windows' reason.
            const std::string text = tr("cannot open tavlo.lock there: {1}");
            *reason = platform::Fill(text, {SystemMessage(error)});
        }
        return FolderLock::Unavailable;
    }
    OVERLAPPED whole{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        // The handle stays open: closing it would let the lock go.
        const DWORD id = GetCurrentProcessId();
        OVERLAPPED at{};
        at.Offset = kIdOffset;
        DWORD written = 0;
        WriteFile(file, &id, sizeof id, &written, &at);
        // Only the holder asks for the deletion: a refused game's handle closes without it.
        CreateFileW(kLockName, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        return FolderLock::Taken;
    }
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (error == ERROR_LOCK_VIOLATION) return FolderLock::HeldByAnother;
    if (reason) {
        // TRANSLATORS: as "cannot open tavlo.lock there"; {1} is Windows' reason.
        *reason = platform::Fill(tr("cannot lock tavlo.lock there: {1}"), {SystemMessage(error)});
    }
    return FolderLock::Unavailable;
}

bool ShowTheHoldersWindow() {
    Search search{HoldersId(), nullptr};
    if (search.process == 0 || search.process == GetCurrentProcessId()) return false;
    EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
    if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
    // Windows lets the program the player just started hand the foreground on; where it does
    // not, the other window flashes in the taskbar instead.
    return SetForegroundWindow(search.found) != 0;
}

}  // namespace entry
