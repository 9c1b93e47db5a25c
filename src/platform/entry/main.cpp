// The process entry (Linux and Windows): the command line is read (it is the platform's, never the
// game's), the host is chosen and made before anything runs, so that a bad headless script ends
// the run first; one game a data folder; then the game's WinMain runs as it would under Windows.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "auto_submit.h"
#include "catalog.h"
#include "command_line.h"
#include "data_file_note.h"
#include "data_folder.h"
#include "files.h"
#include "folder_lock.h"
#include "host_choice.h"
#include "replay_session.h"
#include "startup.h"
#include "system.h"

namespace {

// A start refused before the game runs: besides the line on stderr, a dialog where there is a
// screen, for the player who started the game from the desktop.
int RefusedStart(const std::string& plain) {
    host::SetHostFactory(entry::CreateHostNamedByEnvironment);
    host::Current().ShowEndNotice(plain);
    host::Shutdown();
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    entry::PrepareProcess();
    // The port's own texts in the player's language: the settings' choice, else the system's.
    const host::Settings& settings = entry::PlayerSettings().settings;
    platform::LoadCatalog(platform::CatalogRoots(),
                          settings.language.empty()
                              ? platform::PlayerLanguages()
                              : platform::LanguagesFromTags({settings.language}));
    std::vector<std::string> arguments = entry::Arguments(argc, argv);
    std::vector<char*> utf8;
    for (std::string& argument : arguments) utf8.push_back(argument.data());
    utf8.push_back(nullptr);
    const char* program = arguments.empty() ? "tavlo" : utf8[0];
    entry::CommandLine line =
        entry::ParseCommandLine(static_cast<int>(arguments.size()), utf8.data());
    switch (line.action) {
        case entry::CommandLine::Action::Help:
            entry::Print(entry::HelpText(program, entry::DefaultFolderText()));
            return 0;
        case entry::CommandLine::Action::Version:
            entry::Print(entry::VersionText());
            return 0;
        case entry::CommandLine::Action::Usage:
            entry::ReportFatal(std::string(program) + ": " + line.error + "\n" +
                               entry::UsageText(program));
            return 2;
        case entry::CommandLine::Action::Submit:
            // A run sent, nothing more: no data folder, no archive, no window.
            return entry::SubmitCommand(line.submit, line.server, line.name, line.dataDir, program);
        case entry::CommandLine::Action::Play:
            break;
    }
    // An installed program plays in the player's own folder unless --data-dir says otherwise. A
    // verify only reads the archive (it plays in a scratch folder under TMPDIR): it takes it
    // where it is installed, and makes nothing ready.
    const bool given = !line.dataDir.empty();
    if (!given && line.verify) {
        const std::string archive = entry::InstalledArchive(platform::ExecutablePath());
        if (!archive.empty()) line.dataDir = platform::FolderOf(archive);
    } else if (!given) {
        const entry::PlayFolder folder = entry::InstalledPlayFolder();
        if (!folder.error.empty()) {
            std::fprintf(stderr, "%s: %s\n", program, folder.error.c_str());
            return RefusedStart(platform::Fill(tr("Tavlo cannot start: {1}."), {folder.error}));
        }
        line.dataDir = folder.path;
    }
    // Another folder to play in (that one, or a replay's scratch folder) is moved into before
    // the files named by the caller are opened.
    if (!line.dataDir.empty() || !line.replay.empty()) entry::AnchorRelativePaths(line);
    if (!line.dataDir.empty() && !platform::ChangeFolder(line.dataDir)) {
        entry::ReportFatal(
            std::string(program) + ": " +
            // TRANSLATORS: {1} is a folder, {2} the system's reason.
            platform::Fill(given ? tr("--data-dir {1}: {2}") : tr("cannot play in {1}: {2}"),
                           {line.dataDir, std::strerror(errno)}) +
            "\n");
        return given ? 2 : 1;
    }
    // A verify writes nothing in the data folder, and many may read one archive at once.
    std::string lockFailure;
    switch (line.verify ? entry::FolderLock::Taken : entry::LockWorkingFolder(&lockFailure)) {
        case entry::FolderLock::Taken:
            break;
        case entry::FolderLock::HeldByAnother: {
            const std::string folder = platform::CurrentFolder();
            std::fprintf(
                stderr, "%s: %s\n", program,
                platform::Fill(tr("the game is already running in {1}"), {folder}).c_str());
            // The game that is open, shown: the player sees where to go on.
            if (entry::ShowTheHoldersWindow()) return 1;
            return RefusedStart(platform::Fill(
                tr("Tavlo is already running with its data in {1}. Only one game can play there "
                   "at a time: switch to the game that is open, or end it and start again."),
                {folder}));
        }
        case entry::FolderLock::Unavailable: {
            // Unlocked, a second game in the folder could write the same files as this one.
            const std::string folder = platform::CurrentFolder();
            std::fprintf(stderr, "%s: %s\n", program,
                         platform::Fill(tr("cannot lock the data folder {1} ({2}), so the game "
                                           "does not start: a second game there could "
                                           "overwrite its best score"),
                                        {folder, lockFailure})
                             .c_str());
            return RefusedStart(platform::Fill(
                tr("Tavlo cannot start: its data folder {1} cannot be locked ({2}), and without "
                   "the lock a second game could overwrite this one's best score. Check that the "
                   "folder can be read and written."),
                {folder, lockFailure}));
        }
    }
    host::SetRunOptions(line.options);
    // The game ends through exit(); the host then closes its window and flushes its files. Set
    // before the replay session's own end, which still reads the host: the last registered runs
    // first.
    std::atexit(host::Shutdown);
    // A player who opted in has every game recorded, and a game that set a new best sent.
    replay::SessionRequest session{line.record, line.replay, line.verify,
                                   entry::CreateHostNamedByEnvironment, nullptr};
    if (const entry::AutoSubmit submit = entry::AutoSubmitOf(settings);
        submit.On() && line.replay.empty()) {
        const char* recording = std::getenv("TAVLO_RECORD");
        if (line.record.empty() && !(recording && *recording)) {
            line.record = entry::NewRunFile(platform::CurrentFolder());
            session.record = line.record;
        }
        session.onNewBest = [submit](const std::string& file) {
            entry::SubmitInBackground(submit, platform::ExecutablePath(), file);
        };
    }
    if (const int code = replay::StartSession(session, program); code >= 0) {
        return code;
    }
    // A checked replay reports on the console; the game itself is a window of its own.
    if (!line.verify) entry::LeaveConsole();
    host::SetMessageNote(entry::DataFileNoteHere);
    host::SetHostFactory(replay::CreateSessionHost);
    host::Current();
    static char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
