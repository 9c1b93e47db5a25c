// The Windows side of startup.h.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// (after <windows.h>, which it needs)
#include <shellapi.h>

#include <cstdio>

#include "startup.h"
#include "utf16.h"

namespace host {
namespace {

bool consoleAttached = false;

bool Goes(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void PrepareProcess() {
    // No message boxes from the system for a missing disk and the like: the program says it.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const bool out = Goes(STD_OUTPUT_HANDLE), err = Goes(STD_ERROR_HANDLE);
    if (out && err) {
        consoleAttached = true;
    } else if (AttachConsole(ATTACH_PARENT_PROCESS)) {
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

void ReportFatal(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    if (consoleAttached) return;
    MessageBoxW(nullptr, platform::Utf8ToWide(text).c_str(), L"Tavlo", MB_OK | MB_ICONERROR);
}

}  // namespace host
