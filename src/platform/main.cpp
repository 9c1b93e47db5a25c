// The process entry on Linux: the host is chosen (a headless script is checked before anything
// runs), then the game's WinMain runs as it would under Windows.
#include <windows.h>

#include "host.h"

int main(int argc, char** argv) {
    (void)argc, (void)argv;
    host::Current();
    static char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
