// The Windows side of process.h.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

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

void ReportFatal(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    if (consoleAttached) return;
    MessageBoxW(nullptr, platform::Utf8ToWide(text).c_str(), L"Tavlo", MB_OK | MB_ICONERROR);
}

}  // namespace host
