// The process entry in the browser: the browser host is the only host, then the game's WinMain
// runs as it would under Windows. The page has prepared the working folder (the archive and the
// stored best score) before main is called.
#include <windows.h>

#include "host_browser.h"

int main() {
    host::SetHostFactory(host::CreateBrowserHost);
    host::Current();
    static char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
