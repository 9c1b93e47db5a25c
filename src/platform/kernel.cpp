// kernel and winmm: the module handle, resources (the program carries none), the old _lopen
// file calls and the millisecond clock.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <mmsystem.h>
#include <windows.h>

#include "host.h"

namespace {
// The one module there is: the program itself.
struct HINSTANCE__ programModule;
DWORD lastError = 0;
}  // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != nullptr) {
        lastError = 126;  // ERROR_MOD_NOT_FOUND
        return nullptr;
    }
    return &programModule;
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    (void)module, (void)name, (void)type;
    lastError = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
    (void)module, (void)resource;
    return nullptr;
}

LPVOID WINAPI LockResource(HGLOBAL data) {
    return data;
}

HFILE WINAPI _lopen(LPCSTR path, int mode) {
    if (path == nullptr) return HFILE_ERROR;
    int flags = (mode & 3) == 1 ? O_WRONLY : (mode & 3) == 2 ? O_RDWR : O_RDONLY;
    int fd = ::open(path, flags | O_CLOEXEC);
    if (fd < 0) {
        lastError = 2;  // ERROR_FILE_NOT_FOUND
        return HFILE_ERROR;
    }
    return fd;
}

UINT WINAPI _lread(HFILE file, LPVOID buffer, UINT bytes) {
    if (file == HFILE_ERROR || (buffer == nullptr && bytes != 0)) return static_cast<UINT>(-1);
    UINT total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < bytes) {
        ssize_t n = ::read(file, out + total, bytes - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return total == 0 ? static_cast<UINT>(-1) : total;
        if (n == 0) break;
        total += static_cast<UINT>(n);
    }
    return total;
}

HFILE WINAPI _lclose(HFILE file) {
    if (file == HFILE_ERROR || ::close(file) != 0) return HFILE_ERROR;
    return 0;
}

DWORD WINAPI GetLastError(void) {
    return lastError;
}

void WINAPI Sleep(DWORD ms) {
    ::usleep(static_cast<useconds_t>(ms) * 1000);
}

DWORD WINAPI timeGetTime(void) {
    return host::Current().Milliseconds();
}
