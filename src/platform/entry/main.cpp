// The process entry on Linux: the host is chosen and made before anything runs, so that a bad
// headless script ends the run first; then the game's WinMain runs as it would under Windows.
#include <windows.h>

#include "host_choice.h"

int main(int argc, char** argv) {
    (void)argc, (void)argv;
    host::SetHostFactory(host::CreateHostNamedByEnvironment);
    host::Current();
    static char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
