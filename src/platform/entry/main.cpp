// The process entry on Linux: the command line is read (it is the platform's, never the
// game's), the host is chosen and made before anything runs, so that a bad headless script ends
// the run first; one game a data folder; then the game's WinMain runs as it would under Windows.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>

#include "command_line.h"
#include "folder_lock.h"
#include "data_file_note.h"
#include "host_choice.h"
#include "replay_session.h"

int main(int argc, char** argv) {
    const char* program = argc > 0 && argv[0] ? argv[0] : "tavlo";
    host::CommandLine line = host::ParseCommandLine(argc, argv);
    switch (line.action) {
        case host::CommandLine::Action::Help:
            std::fputs(host::HelpText(program).c_str(), stdout);
            return 0;
        case host::CommandLine::Action::Version:
            std::fputs(host::VersionText().c_str(), stdout);
            return 0;
        case host::CommandLine::Action::Usage:
            std::fprintf(stderr, "%s: %s\n%s", program, line.error.c_str(),
                         host::UsageText(program).c_str());
            return 2;
        case host::CommandLine::Action::Play:
            break;
    }
    // Another folder to play in (--data-dir, or a replay's scratch folder) is moved into
    // before the files named by the caller are opened.
    if (!line.dataDir.empty() || !line.replay.empty()) host::AnchorRelativePaths(line);
    if (!line.dataDir.empty() && ::chdir(line.dataDir.c_str()) != 0) {
        std::fprintf(stderr, "%s: --data-dir %s: %s\n", program, line.dataDir.c_str(),
                     std::strerror(errno));
        return 2;
    }
    int lockError = 0;
    switch (host::LockWorkingFolder(&lockError)) {
        case host::FolderLock::Taken:
            break;
        case host::FolderLock::HeldByAnother:
            std::fprintf(stderr, "%s: the game is already running in %s\n", program,
                         host::WorkingFolder().c_str());
            return 1;
        case host::FolderLock::Unavailable:
            // Unlocked, a second game in the folder could write the same files as this one.
            std::fprintf(stderr,
                         "%s: cannot lock the data folder %s (%s), so the game does not start: "
                         "a second game there could overwrite its best score\n",
                         program, host::WorkingFolder().c_str(), std::strerror(lockError));
            return 1;
    }
    host::SetRunOptions(line.options);
    // The game ends through exit(); the host then closes its window and flushes its files. Set
    // before the replay session's own end, which still reads the host: the last registered runs
    // first.
    std::atexit(host::Shutdown);
    if (const int code = host::replay::StartSession(
            {line.record, line.replay, line.verify, host::CreateHostNamedByEnvironment}, program);
        code >= 0) {
        return code;
    }
    host::SetMessageNote(host::DataFileNoteHere);
    host::SetHostFactory(host::replay::CreateSessionHost);
    host::Current();
    static char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
