// The process entry in the browser: the browser host is the only host (behind the page's
// recording, or playing back the run the page was asked to show), then the game's WinMain runs
// as it would under Windows. The page has prepared the working folder (the archive and the
// stored best score) before main is called.
#include <sys/stat.h>
#include <windows.h>

#include "host.h"
#include "session_browser.h"

int main() {
    // Emscripten starts a process with the umask 0777, where a file made anew (ReplaceFile's,
    // the session's) would have no permission left and could not be opened again: the usual one.
    umask(022);
    if (!browser::StartPageSession()) return 1;
    host::SetHostFactory(browser::CreatePageSessionHost);
    host::Current();
    static char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
