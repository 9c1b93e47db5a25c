// The system calls of system.h on Windows: wide-character calls, names converted from and to
// UTF-8.
#include <windows.h>
#include <knownfolders.h>
#include <mmsystem.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <random>

#include "catalog.h"
#include "system.h"
#include "utf16.h"

namespace platform {

bool SetEnvironment(const char* name, const std::string& value, bool overwrite) {
    const std::wstring wide = Utf8ToWide(name);
    if (!overwrite && _wgetenv(wide.c_str()) != nullptr) return true;
    // The C runtime's copy (getenv) and the process's (programs started later) both.
    const std::wstring wideValue = Utf8ToWide(value);
    return _wputenv_s(wide.c_str(), wideValue.c_str()) == 0 &&
           SetEnvironmentVariableW(wide.c_str(), wideValue.c_str());
}

bool UnsetEnvironment(const char* name) {
    // An empty value removes the C runtime's copy.
    const std::wstring wide = Utf8ToWide(name);
    return _wputenv_s(wide.c_str(), L"") == 0 && SetEnvironmentVariableW(wide.c_str(), nullptr);
}

// Windows' dialogs take UTF-16 whatever the code page: nothing to do.
Utf8Locale::Utf8Locale() = default;
Utf8Locale::~Utf8Locale() = default;

std::string MakeScratchFolder(const std::string& prefix) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i) name += kLetters[device() % (sizeof kLetters - 1)];
        // A folder made by this call inherits its parent's access (the user's temporary folder
        // is the user's own).
        if (CreateDirectoryW(Utf8ToWide(name).c_str(), nullptr)) return name;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    errno = EEXIST;
    return "";
}

std::string CurrentFolder() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    if (length == 0) return ".";
    std::wstring path(length, L'\0');
    path.resize(GetCurrentDirectoryW(length, path.data()));
    return WideToUtf8(path);
}

bool ChangeFolder(const std::string& path) {
    if (SetCurrentDirectoryW(Utf8ToWide(path).c_str())) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
    return false;
}

std::int64_t MonotonicNanoseconds() {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<std::int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const std::int64_t ticks = now.QuadPart;
    return ticks / frequency * 1000000000 + ticks % frequency * 1000000000 / frequency;
}

namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// A high-resolution timer (Windows 10 1803 and later), or null: then Sleep, with the system
// timer set to 1 ms for the rest of the process (the default is 15.6 ms).
HANDLE SleepTimer() {
    static const HANDLE timer = [] {
        HANDLE made = CreateWaitableTimerExW(
            nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        if (!made) timeBeginPeriod(1);
        return made;
    }();
    return timer;
}

}  // namespace

void SleepUntil(std::int64_t when) {
    const std::int64_t left = when - MonotonicNanoseconds();
    if (left <= 0) return;
    if (HANDLE timer = SleepTimer()) {
        LARGE_INTEGER due;
        due.QuadPart = -std::max<std::int64_t>(left / 100, 1);  // relative, in 100 ns
        if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
            WaitForSingleObject(timer, INFINITE);
            return;
        }
    }
    Sleep(static_cast<DWORD>((left + 999999) / 1000000));
}

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}

std::string LinkTargetOf(const std::string& path) {
    (void)path;  // links are rare on Windows and the game's files are never made as links
    return "";
}

std::string ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return "";
        if (length < path.size()) return WideToUtf8(std::wstring_view(path.data(), length));
        path.resize(path.size() * 2);  // cut short: a longer buffer
    }
}

namespace {

std::string KnownFolder(const KNOWNFOLDERID& id) {
    PWSTR path = nullptr;
    std::string result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path))) {
        result = WideToUtf8(path);
    }
    CoTaskMemFree(path);
    return result;
}

}  // namespace

std::string UserFolderPath(UserFolder folder) {
    switch (folder) {
        case UserFolder::Config:
            return KnownFolder(FOLDERID_RoamingAppData);
        case UserFolder::Data:
            return KnownFolder(FOLDERID_LocalAppData);
        case UserFolder::Pictures:
            return KnownFolder(FOLDERID_Pictures);
    }
    return "";
}

std::string GameFolderPath(UserFolder folder) {
    if (folder == UserFolder::Config) {
        // A whole path in XDG_CONFIG_HOME (/..., X:\...) decides, as on Linux.
        const char* config = std::getenv("XDG_CONFIG_HOME");
        if (config &&
            (config[0] == '/' || (std::isalpha(static_cast<unsigned char>(config[0])) &&
                                  config[1] == ':' && (config[2] == '\\' || config[2] == '/')))) {
            return std::string(config) + "/tavlo";
        }
    }
    const std::string parent = UserFolderPath(folder);
    if (parent.empty()) return "";
    return parent + (folder == UserFolder::Data ? "\\Tavlo" : "/Tavlo");
}

std::vector<std::string> PlayerLanguages() {
    // The user's UI languages as a double-NUL-terminated list of tags ("ja-JP\0en-US\0\0").
    ULONG count = 0, size = 0;
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0) {
        return {};
    }
    std::wstring names(size, L'\0');
    if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size)) return {};
    std::vector<std::string> tags;
    for (std::size_t start = 0; start < names.size() && names[start] != L'\0';) {
        const std::size_t end = names.find(L'\0', start);
        tags.push_back(WideToUtf8(std::wstring_view(names).substr(start, end - start)));
        start = end + 1;
    }
    return LanguagesFromTags(tags);
}

}  // namespace platform
