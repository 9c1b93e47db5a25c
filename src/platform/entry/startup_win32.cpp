// The Windows side of startup.h.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// (after <windows.h>, which it needs)
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "startup.h"
#include "utf16.h"

namespace entry {
namespace {

// Attached to the console of the program that started this one (cmd, PowerShell).
bool consoleAttached = false;

bool IsConsole(std::FILE* stream) {
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream))), &mode) !=
           0;
}

// UTF-8 text to a stream: a console is written UTF-16 (WriteConsoleW), so that it shows every
// character whatever its code page; a pipe or a file gets the bytes.
void Write(const std::string& text, std::FILE* stream) {
    if (IsConsole(stream)) {
        std::fflush(stream);
        const std::wstring wide = platform::Utf8ToWide(text);
        DWORD written = 0;
        WriteConsoleW(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream))), wide.data(),
                      static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

bool Goes(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void PrepareProcess() {
    // No message boxes from the system for a missing disk and the like: the program says it.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Libraries loaded from here on (SDL's dinput8, xinput and the like) come from the system's
    // folder or the program's own, never from the current folder or PATH: a DLL planted beside a
    // copy of the game in a shared folder is not loaded.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
    // Held while the game runs (never closed: it goes with the process): the installer and the
    // uninstaller look for it and do not touch the game's files meanwhile.
    CreateMutexW(nullptr, FALSE, L"Local\\Tavlo.Running");
    const bool out = Goes(STD_OUTPUT_HANDLE), err = Goes(STD_ERROR_HANDLE);
    if ((!out || !err) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        consoleAttached = true;
        if (!out) std::freopen("CONOUT$", "w", stdout);
        if (!err) std::freopen("CONOUT$", "w", stderr);
    }
    // Reports and messages byte for byte as on Linux (a replay's report is compared so): no
    // carriage returns added.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

std::vector<std::string> Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(platform::WideToUtf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

void Print(const std::string& text) {
    Write(text, stdout);
}

void PrintError(const std::string& text) {
    Write(text, stderr);
}

void LeaveConsole() {
    if (!consoleAttached) return;
    // The game is a window of its own: Ctrl+C in the console, or closing it, does not end it.
    std::fflush(nullptr);
    FreeConsole();
    consoleAttached = false;
}

void ReportFatal(const std::string& text) {
    Write(text, stderr);
    // Shown where the player reads it: a console shows it, a launcher that keeps the output (a
    // pipe, a file) may not; a run without a screen (TAVLO_VIDEO=headless) shows no box.
    const char* video = std::getenv("TAVLO_VIDEO");
    if (IsConsole(stderr) || (video && std::strcmp(video, "headless") == 0)) return;
    MessageBoxW(nullptr, platform::Utf8ToWide(text).c_str(), L"Tavlo", MB_OK | MB_ICONERROR);
}

}  // namespace entry
